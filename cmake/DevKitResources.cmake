# The module's resources built by a real DevKit's tools, in the order and with the options of the kit's
# own Support/Tools/CompileResources.py: each GRC file of resources/RINT and resources/RFIX preprocessed,
# then compiled by the vendor's ResConv into an rc script (and .ico files, which ResConv writes into its
# working folder), then the native top file resources/RFIX.win/*.rc2, which includes those scripts,
# compiled into a .res file in that same folder. Src/RealDevKit.cmake runs it with Microsoft's cl and rc;
# the Windows build runs ResConv under Wine with MinGW's preprocessor and windres standing in for them, and
# compares what it yields with our own resource compiler's resources.

set(KAVELO_RESCONV "" CACHE FILEPATH "The host vendor's ResConv.exe (empty: the one of a kit in KAVELO_CHECK_DEVKITS)")

# kavelo_find_resconv(<variable>)
# Sets <variable> to the path of the vendor's ResConv.exe: KAVELO_RESCONV (the cache variable, or else the
# environment variable) when set, which must exist; else Tools/Win/ResConv.exe of the first kit in
# KAVELO_CHECK_DEVKITS (a CMake list, or else the environment variable of that name; each a kit's Support
# folder or the folder that holds it, relative ones from the project's folder). Empty when no kit has one.
function(kavelo_find_resconv variable)
  set(resconv "${KAVELO_RESCONV}")
  if(NOT resconv)
    set(resconv "$ENV{KAVELO_RESCONV}")
  endif()
  if(resconv)
    get_filename_component(resconv "${resconv}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
    if(NOT EXISTS "${resconv}")
      message(FATAL_ERROR "KAVELO_RESCONV names ${resconv}, which does not exist")
    endif()
    set(${variable} "${resconv}" PARENT_SCOPE)
    return()
  endif()
  set(kits "${KAVELO_CHECK_DEVKITS}")
  if(NOT kits)
    set(kits "$ENV{KAVELO_CHECK_DEVKITS}")
  endif()
  foreach(kit IN LISTS kits)
    get_filename_component(kit "${kit}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
    foreach(candidate "${kit}/Tools/Win/ResConv.exe" "${kit}/Support/Tools/Win/ResConv.exe")
      if(EXISTS "${candidate}")
        set(${variable} "${candidate}" PARENT_SCOPE)
        return()
      endif()
    endforeach()
  endforeach()
  set(${variable} "" PARENT_SCOPE)
endfunction()

# kavelo_resconv_options(<out-var> <support> <Archicad version> [<python>])
# Sets <out-var> to ResConv's options as the kit's own CompileResources.py gives them, but for the files:
# Windows resources (-T W), UTF-8 in and out (-q utf8 utf8: the rc step reads them with /c65001), images
# at 100% and 200% (-w 2), and from Archicad 29 on, where the kit has Tools/Win/SVGColorChange.py, the
# Python that runs it and the script itself (-py, -sc), which makes the dark-mode icons. <python> is found
# when not given.
function(kavelo_resconv_options out_var support version)
  set(options -m r -T W -q utf8 utf8 -w 2)
  set(script "${support}/Tools/Win/SVGColorChange.py")
  if(version GREATER_EQUAL 29 AND EXISTS "${script}")
    set(python "${ARGV3}")
    if(NOT python)
      find_package(Python3 COMPONENTS Interpreter)
      if(NOT Python3_Interpreter_FOUND)
        message(FATAL_ERROR "The Archicad ${version} DevKit's ResConv runs ${script}, which needs Python 3: none found")
      endif()
      set(python "${Python3_EXECUTABLE}")
    endif()
    list(APPEND options -py "${python}" -sc "${script}")
  endif()
  set(${out_var} "${options}" PARENT_SCOPE)
endfunction()

# kavelo_devkit_resources(
#   OUTPUT_VARIABLE <var>         set to the .res file made: <BINARY_DIR>/<top file's name>.res
#   SUPPORT <folder>              the kit's Support folder (Inc, Modules/DGLib on the include paths)
#   RESOURCES <folder>            the resources' folder: RINT/, RFIX/ (Images/), RFIX.win/ with one .rc2
#   BINARY_DIR <folder>           where the preprocessed files, ResConv's outputs and the .res go
#   DOMAIN <domain>               the web application's domain, which string list 32000 names
#   STYLE MSVC|GNU                how the tools below take their options: cl and rc, or cpp and windres
#   PREPROCESSOR <command>...     cl, or a C preprocessor that takes -E -P -x c (cpp, gcc)
#   RESCONV <command>...          ResConv.exe, or the command that runs it (under Wine)
#   RC <command>...               rc, or windres
#   [AC_VERSION <n>]              the Archicad version the version resource names (default: AC_VERSION)
#   [FOR_DISTRIBUTION <bool>]     whether the module is made for distribution (default:
#                                 AC_ADDON_FOR_DISTRIBUTION); if not, its version resource says so
#   [INCLUDES <folder>...]        more include folders for both compilations (the add-on's sources)
#   [TARGET <target>])            a module target to link the .res into (link or lld-link: the .res on
#                                 its command line, and no manifest of the linker's own beside ours)
# The domain reaches the preprocessor in the header that the GRC includes, written from
# resources/WebAppDomain.h.in to BINARY_DIR, so that no quoted text has to pass a command line; the version
# resource's values in AddOnVersion.h beside it. windres
# cannot read ResConv's icon lines (I32101&96<TAB>ICON "I32101&96.ico"), so in the GNU style
# ResConvForWindres.cmake rewrites them, with the .ico files, into BINARY_DIR/windres, where windres runs.
function(kavelo_devkit_resources)
  cmake_parse_arguments(PARSE_ARGV 0 arg ""
    "OUTPUT_VARIABLE;SUPPORT;RESOURCES;BINARY_DIR;DOMAIN;STYLE;TARGET;AC_VERSION;FOR_DISTRIBUTION"
    "PREPROCESSOR;RESCONV;RC;INCLUDES")
  if(NOT DEFINED arg_AC_VERSION)
    set(arg_AC_VERSION "${AC_VERSION}")
  endif()
  if(NOT DEFINED arg_FOR_DISTRIBUTION)
    set(arg_FOR_DISTRIBUTION "${AC_ADDON_FOR_DISTRIBUTION}")
  endif()
  foreach(required OUTPUT_VARIABLE SUPPORT RESOURCES BINARY_DIR DOMAIN STYLE PREPROCESSOR RESCONV RC)
    if(NOT arg_${required})
      message(FATAL_ERROR "kavelo_devkit_resources: ${required} is required")
    endif()
  endforeach()
  if(NOT arg_STYLE MATCHES "^(MSVC|GNU)$")
    message(FATAL_ERROR "kavelo_devkit_resources: STYLE is MSVC or GNU, not ${arg_STYLE}")
  endif()
  foreach(dir "${arg_SUPPORT}/Inc" "${arg_SUPPORT}/Modules/DGLib")
    if(NOT IS_DIRECTORY "${dir}")
      message(FATAL_ERROR "kavelo_devkit_resources: ${arg_SUPPORT} is not a DevKit's Support folder (no ${dir})")
    endif()
  endforeach()
  set(res_dir "${arg_RESOURCES}")
  set(out "${arg_BINARY_DIR}")
  file(MAKE_DIRECTORY "${out}")
  file(GLOB grc_files CONFIGURE_DEPENDS "${res_dir}/RINT/*.grc" "${res_dir}/RFIX/*.grc")
  file(GLOB top_files CONFIGURE_DEPENDS "${res_dir}/RFIX.win/*.rc2")
  list(LENGTH top_files top_count)
  if(NOT top_count EQUAL 1)
    message(FATAL_ERROR "kavelo_devkit_resources: ${res_dir}/RFIX.win holds ${top_count} .rc2 files, not one")
  endif()
  get_filename_component(top_dir "${top_files}" DIRECTORY)
  get_filename_component(top_name "${top_files}" NAME_WE)
  file(GLOB inputs CONFIGURE_DEPENDS
    "${res_dir}/*.hpp" "${res_dir}/*.h.in" "${res_dir}/RFIX/Images/*" "${res_dir}/RFIX.win/*")
  # The GRC includes the domain's header, which lies in the objects' folder as the template's include
  # paths have it.
  set(KAVELO_WEBAPP_DOMAIN "${arg_DOMAIN}")
  set(domain_header "${out}/WebAppDomain.h")
  configure_file("${res_dir}/WebAppDomain.h.in" "${domain_header}" @ONLY)
  include("${CMAKE_CURRENT_FUNCTION_LIST_DIR}/VersionResource.cmake")
  kavelo_version_header("${out}/AddOnVersion.h" "${arg_AC_VERSION}" "${arg_FOR_DISTRIBUTION}")

  set(includes "${arg_SUPPORT}/Inc" "${arg_SUPPORT}/Modules/DGLib" ${arg_INCLUDES} "${out}")
  set(preprocess_options)
  set(rc_options)
  if(arg_STYLE STREQUAL "MSVC")
    foreach(dir ${includes})
      list(APPEND preprocess_options /I "${dir}")
    endforeach()
    foreach(dir ${includes} "${top_dir}")
      list(APPEND rc_options /i "${dir}")
    endforeach()
  else()
    foreach(dir ${includes})
      list(APPEND preprocess_options -I "${dir}")
    endforeach()
    # The rewritten scripts first, before ResConv's own in BINARY_DIR.
    foreach(dir "${out}/windres" ${includes} "${top_dir}")
      list(APPEND rc_options -I "${dir}")
    endforeach()
    file(MAKE_DIRECTORY "${out}/windres")
  endif()

  kavelo_resconv_options(resconv_options "${arg_SUPPORT}" "${arg_AC_VERSION}")
  set(scripts)
  foreach(grc ${grc_files})
    get_filename_component(name "${grc}" NAME)
    if(arg_STYLE STREQUAL "MSVC")
      # /Tc names the GRC file as C: cl takes it so, clang-cl would take a file it does not know for
      # the linker.
      set(preprocess ${arg_PREPROCESSOR} /nologo /X /EP /P ${preprocess_options} /DWINDOWS /utf-8
        "/Fi${out}/${name}.i" "/Tc${grc}")
    else()
      set(preprocess ${arg_PREPROCESSOR} -E -P -x c ${preprocess_options} -DWINDOWS "${grc}"
        -o "${out}/${name}.i")
    endif()
    add_custom_command(OUTPUT "${out}/${name}.i"
      COMMAND ${preprocess}
      DEPENDS "${grc}" "${domain_header}" ${inputs}
      COMMENT "Preprocessing ${name} for ResConv"
      VERBATIM)
    # ResConv looks for images in both folders and writes its .ico files into its working folder.
    add_custom_command(OUTPUT "${out}/${name}.rc2"
      COMMAND ${arg_RESCONV} ${resconv_options}
        -p "${res_dir}/RFIX/Images$<SEMICOLON>${res_dir}/RFIX" -i "${name}.i" -o "${name}.rc2"
      DEPENDS "${out}/${name}.i" ${inputs}
      WORKING_DIRECTORY "${out}"
      COMMENT "Compiling ${name} with ResConv"
      VERBATIM)
    if(arg_STYLE STREQUAL "GNU")
      add_custom_command(OUTPUT "${out}/windres/${name}.rc2"
        COMMAND ${CMAKE_COMMAND} "-DFROM=${out}" "-DTO=${out}/windres" "-DSCRIPT=${name}.rc2"
          -P "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/ResConvForWindres.cmake"
        DEPENDS "${out}/${name}.rc2" "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/ResConvForWindres.cmake"
        VERBATIM)
      list(APPEND scripts "${out}/windres/${name}.rc2")
    else()
      list(APPEND scripts "${out}/${name}.rc2")
    endif()
  endforeach()

  set(res "${out}/${top_name}.res")
  if(arg_STYLE STREQUAL "MSVC")
    set(compile ${arg_RC} /nologo /c65001 ${rc_options} /fo "${res}" "${top_files}")
    set(rc_dir "${out}")
  else()
    set(compile ${arg_RC} ${rc_options} -c 65001 -O res -i "${top_files}" -o "${res}")
    set(rc_dir "${out}/windres")
  endif()
  add_custom_command(OUTPUT "${res}"
    COMMAND ${compile}
    DEPENDS ${scripts} ${inputs} "${out}/AddOnVersion.h"
    WORKING_DIRECTORY "${rc_dir}"
    COMMENT "Compiling the native top file ${top_name}.rc2 with ResConv's scripts"
    VERBATIM)
  set(${arg_OUTPUT_VARIABLE} "${res}" PARENT_SCOPE)

  if(arg_TARGET)
    add_custom_target(${arg_TARGET}_devkit_resources DEPENDS "${res}")
    add_dependencies(${arg_TARGET} ${arg_TARGET}_devkit_resources)
    target_link_options(${arg_TARGET} PRIVATE "${res}" /MANIFEST:NO)
    set_property(TARGET ${arg_TARGET} APPEND PROPERTY LINK_DEPENDS "${res}")
  endif()
endfunction()
