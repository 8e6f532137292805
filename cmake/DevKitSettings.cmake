# What a real Archicad API DevKit demands of an add-on built against it, in one place: the build with
# Microsoft's compiler (Src/RealDevKit.cmake) and the check of Src/ against the kits here
# (tools/devkit-check) both take their include roots, definitions, language standard and libraries from
# these functions, so the two cannot drift apart.

# The modules whose import libraries the add-on links, and the Windows libraries it calls.
set(KAVELO_DEVKIT_IMPORT_MODULES GSRoot RS InputOutput DGLib GSUtils HTTP JSONConversion)
set(KAVELO_DEVKIT_SYSTEM_LIBRARIES kernel32 user32 shell32 bcrypt crypt32 ole32 uuid)

# Sets <out-var> to the kit's Support folder: <dir> itself or <dir>/Support, whichever holds Inc and
# Modules. With REQUIRE_LIBRARIES it must hold Lib too (a kit to link against, not only headers). Stops
# with a message naming the folder and what it lacks.
function(kavelo_devkit_support dir out_var)
  cmake_parse_arguments(PARSE_ARGV 2 arg "REQUIRE_LIBRARIES" "" "")
  get_filename_component(dir "${dir}" ABSOLUTE)
  set(support "${dir}")
  if(EXISTS "${dir}/Support/Inc")
    set(support "${dir}/Support")
  endif()
  set(needed Inc Modules)
  if(arg_REQUIRE_LIBRARIES)
    list(APPEND needed Lib)
  endif()
  set(missing)
  foreach(folder ${needed})
    if(NOT IS_DIRECTORY "${support}/${folder}")
      list(APPEND missing ${folder})
    endif()
  endforeach()
  if(missing)
    string(REPLACE ";" ", " missing "${missing}")
    message(FATAL_ERROR "${dir} is not an Archicad API DevKit (or its Support folder): no ${missing} in ${support}")
  endif()
  set(${out_var} "${support}" PARENT_SCOPE)
endfunction()

# Sets <out-var> to the Archicad version the kit is for (27, 28, 29, ...): the newest ServerMainVers_NN00
# its ACAPinc.h defines.
function(kavelo_devkit_version support out_var)
  file(STRINGS "${support}/Inc/ACAPinc.h" lines REGEX "^[ \t]*#[ \t]*define[ \t]+ServerMainVers_[0-9]+00[ \t]")
  set(newest 0)
  foreach(line ${lines})
    string(REGEX MATCH "ServerMainVers_([0-9]+)00" ignored "${line}")
    if(CMAKE_MATCH_1 GREATER newest)
      set(newest ${CMAKE_MATCH_1})
    endif()
  endforeach()
  if(newest EQUAL 0)
    message(FATAL_ERROR "${support}/Inc/ACAPinc.h names no ServerMainVers_NN00: give AC_VERSION")
  endif()
  set(${out_var} ${newest} PARENT_SCOPE)
endfunction()

# Sets, in the caller's scope, what building the add-on's sources (in <source-dir>, the project's Src/ or
# a copy of it) against the kit in <support> for Archicad <version> takes:
#   KAVELO_DEVKIT_INCLUDE_DIRS    the sources, resources/ (ResourceIds.hpp), the kit's Inc and every Modules/*
#   KAVELO_DEVKIT_DEFINITIONS     WINDOWS, UNICODE, _UNICODE, _ITERATOR_DEBUG_LEVEL=0, ACExtension and the
#                                 web application's origin (KAVELO_WEBAPP_ORIGIN of the caller)
#   KAVELO_DEVKIT_CXX_STANDARD    17 up to Archicad 28, 20 from 29 on
#   KAVELO_DEVKIT_TOOLSET         the Visual Studio toolset the kit's headers demand (v142, v143)
#   KAVELO_DEVKIT_MSC_MIN/MAX     the _MSC_VER range of that toolset that the kit's GSRoot/Definitions.hpp
#                                 accepts
#   KAVELO_DEVKIT_MSC_COMPAT      the same as a compiler version, for clang's -fms-compatibility-version
#   KAVELO_DEVKIT_FIRST_INCLUDE   the header every source must include first (GSRoot.hpp from 28 on, where
#                                 the host's allocator must come before anything else), or empty
#   KAVELO_DEVKIT_MSVC_OPTIONS    Microsoft's compiler options the kit's headers assume
#   KAVELO_DEVKIT_ACAP_STAT       the add-on library, Lib/ACAP_STAT.lib
#   KAVELO_DEVKIT_IMPORT_LIBS     the import library of each module in KAVELO_DEVKIT_IMPORT_MODULES; with
#                                 REQUIRE_LIBRARIES a missing one stops with its name
function(kavelo_devkit_settings support version source_dir)
  cmake_parse_arguments(PARSE_ARGV 3 arg "REQUIRE_LIBRARIES" "" "")
  get_filename_component(project_dir "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/.." ABSOLUTE)
  file(GLOB module_dirs LIST_DIRECTORIES true "${support}/Modules/*")
  set(include_dirs "${source_dir}" "${project_dir}/resources" "${support}/Inc")
  foreach(dir ${module_dirs})
    if(IS_DIRECTORY "${dir}")
      list(APPEND include_dirs "${dir}")
    endif()
  endforeach()
  set(KAVELO_DEVKIT_INCLUDE_DIRS "${include_dirs}" PARENT_SCOPE)
  set(KAVELO_DEVKIT_DEFINITIONS WINDOWS UNICODE _UNICODE _ITERATOR_DEBUG_LEVEL=0 ACExtension
      "KAVELO_WEBAPP_ORIGIN=\"${KAVELO_WEBAPP_ORIGIN}\"" PARENT_SCOPE)

  if(version LESS 29)
    set(KAVELO_DEVKIT_CXX_STANDARD 17 PARENT_SCOPE)
    set(KAVELO_DEVKIT_TOOLSET v142 PARENT_SCOPE)
    set(KAVELO_DEVKIT_MSC_MIN 1920 PARENT_SCOPE)
    set(KAVELO_DEVKIT_MSC_MAX 1929 PARENT_SCOPE)
    set(KAVELO_DEVKIT_MSC_COMPAT 19.29 PARENT_SCOPE)
  else()
    set(KAVELO_DEVKIT_CXX_STANDARD 20 PARENT_SCOPE)
    set(KAVELO_DEVKIT_TOOLSET v143 PARENT_SCOPE)
    set(KAVELO_DEVKIT_MSC_MIN 1930 PARENT_SCOPE)
    set(KAVELO_DEVKIT_MSC_MAX 1949 PARENT_SCOPE)
    set(KAVELO_DEVKIT_MSC_COMPAT 19.38 PARENT_SCOPE)
  endif()
  if(version LESS 28)
    set(KAVELO_DEVKIT_FIRST_INCLUDE "" PARENT_SCOPE)
  else()
    set(KAVELO_DEVKIT_FIRST_INCLUDE GSRoot.hpp PARENT_SCOPE)
  endif()
  set(KAVELO_DEVKIT_MSVC_OPTIONS /Zc:wchar_t- /EHsc /utf-8 PARENT_SCOPE)

  set(KAVELO_DEVKIT_ACAP_STAT "${support}/Lib/ACAP_STAT.lib" PARENT_SCOPE)
  set(import_libs)
  set(missing)
  foreach(module ${KAVELO_DEVKIT_IMPORT_MODULES})
    file(GLOB lib "${support}/Modules/${module}/Win/*Imp.LIB" "${support}/Modules/${module}/Win/*Imp.lib")
    if(lib)
      list(APPEND import_libs ${lib})
    else()
      list(APPEND missing "${module} (Modules/${module}/Win/*Imp.LIB)")
    endif()
  endforeach()
  if(arg_REQUIRE_LIBRARIES)
    if(NOT EXISTS "${support}/Lib/ACAP_STAT.lib")
      list(INSERT missing 0 "Lib/ACAP_STAT.lib")
    endif()
    if(missing)
      string(REPLACE ";" ", " missing "${missing}")
      message(FATAL_ERROR "The DevKit in ${support} lacks libraries the add-on links: ${missing}")
    endif()
  endif()
  set(KAVELO_DEVKIT_IMPORT_LIBS "${import_libs}" PARENT_SCOPE)
endfunction()
