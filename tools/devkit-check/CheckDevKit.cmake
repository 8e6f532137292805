# Checks the add-on's sources against a real Archicad API DevKit, as far as it can be done without
# Microsoft's compiler: every source compiles against the kit's headers (clang in Microsoft mode, with the
# kit version's standard and definitions, MinGW-w64's Windows and C++ library headers in place of
# Microsoft's), and, for a kit with libraries, the objects link against its ACAP_STAT.lib and import
# libraries with lld-link: every host symbol resolves, nothing is defined twice, and the add-on defines the
# four entries ACAP_STAT calls. Prints a line per source and a summary; fails on any error.
#
#   cmake -D KIT=<kit or its Support folder> -D WORK_DIR=<scratch folder> -D MINGW_INCLUDE_DIRS=<list>
#         -D MINGW_LIB_DIRS=<list> [-D SOURCE_DIR=<Src or a copy>] [-D SOURCES=<file names>]
#         [-D FALLBACK_KITS=<list>] [-D KAVELO_WEBAPP_ORIGIN=<origin>] [-D CLANG=..] [-D LLD_LINK=..]
#         [-D LLVM_NM=..] -P CheckDevKit.cmake
#
# FALLBACK_KITS lends Windows-only headers that a kit published for another platform lacks (the Archicad 29
# kit here is the macOS one): only headers the kit itself does not have are taken from them.
cmake_minimum_required(VERSION 3.22)
get_filename_component(project_dir "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
# Lists may come with "|" between their items, where a test's command line cannot carry ";".
foreach(list_var MINGW_INCLUDE_DIRS MINGW_LIB_DIRS FALLBACK_KITS)
  string(REPLACE "|" ";" ${list_var} "${${list_var}}")
endforeach()
include("${project_dir}/cmake/DevKitSettings.cmake")
include("${project_dir}/Src/Sources.cmake")

foreach(required KIT WORK_DIR MINGW_INCLUDE_DIRS)
  if(NOT ${required})
    message(FATAL_ERROR "CheckDevKit.cmake needs -D ${required}=...")
  endif()
endforeach()
if(NOT SOURCE_DIR)
  set(SOURCE_DIR "${project_dir}/Src")
endif()
if(NOT SOURCES)
  set(SOURCES ${KAVELO_CORE_SOURCES})
endif()
if(NOT KAVELO_WEBAPP_ORIGIN)
  set(KAVELO_WEBAPP_ORIGIN "https://app.kavelo.io")
endif()
foreach(tool CLANG:clang++ LLD_LINK:lld-link LLVM_NM:llvm-nm)
  string(REPLACE ":" ";" tool "${tool}")
  list(GET tool 0 var)
  list(GET tool 1 name)
  if(NOT ${var})
    find_program(${var} ${name} REQUIRED)
  endif()
endforeach()

kavelo_devkit_support("${KIT}" support)
kavelo_devkit_version("${support}" version)
kavelo_devkit_settings("${support}" ${version} "${SOURCE_DIR}")
get_filename_component(kit_name "${support}" DIRECTORY)
get_filename_component(kit_name "${kit_name}" NAME)
set(with_libraries FALSE)
if(EXISTS "${KAVELO_DEVKIT_ACAP_STAT}")
  set(with_libraries TRUE)
endif()
message("devkit check: ${support} (Archicad ${version}, C++${KAVELO_DEVKIT_CXX_STANDARD}, ${KAVELO_DEVKIT_TOOLSET})")

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/objects" "${WORK_DIR}/case" "${WORK_DIR}/fallback")

# The kits' headers name Windows headers as Microsoft's case-insensitive file system allows
# ("CommCtrl.h"); MinGW-w64's are lower-case. A folder of links under the kits' spelling bridges them.
set(scanned "${support}")
foreach(fallback ${FALLBACK_KITS})
  kavelo_devkit_support("${fallback}" fallback_support)
  list(APPEND scanned "${fallback_support}")
endforeach()
list(REMOVE_DUPLICATES scanned)
set(kit_headers)
foreach(kit ${scanned})
  file(GLOB_RECURSE headers "${kit}/Inc/*.h" "${kit}/Inc/*.hpp" "${kit}/Modules/*.h" "${kit}/Modules/*.hpp")
  list(APPEND kit_headers ${headers})
endforeach()
set(spellings)
foreach(header ${kit_headers})
  file(STRINGS "${header}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*<[^>]+>")
  foreach(line ${lines})
    string(REGEX REPLACE ".*<([^>]+)>.*" "\\1" name "${line}")
    list(APPEND spellings "${name}")
  endforeach()
endforeach()
list(REMOVE_DUPLICATES spellings)
foreach(name ${spellings})
  string(TOLOWER "${name}" lower)
  if(name STREQUAL lower)
    continue()
  endif()
  foreach(dir ${MINGW_INCLUDE_DIRS})
    if(NOT EXISTS "${dir}/${name}" AND EXISTS "${dir}/${lower}")
      get_filename_component(parent "${WORK_DIR}/case/${name}" DIRECTORY)
      file(MAKE_DIRECTORY "${parent}")
      file(CREATE_LINK "${dir}/${lower}" "${WORK_DIR}/case/${name}" SYMBOLIC)
      break()
    endif()
  endforeach()
endforeach()

# Headers this kit lacks that a Windows kit has, linked one by one so that what they include in turn is
# still this kit's own.
foreach(fallback ${FALLBACK_KITS})
  kavelo_devkit_support("${fallback}" fallback_support)
  if(fallback_support STREQUAL support)
    continue()
  endif()
  file(GLOB_RECURSE lent RELATIVE "${fallback_support}/Modules" "${fallback_support}/Modules/*.h"
       "${fallback_support}/Modules/*.hpp")
  foreach(path ${lent})
    string(REGEX REPLACE "^([^/]+)/(.*)$" "\\1;\\2" parts "${path}")
    list(GET parts 0 module)
    list(GET parts 1 inner)
    if(IS_DIRECTORY "${support}/Modules/${module}" AND NOT EXISTS "${support}/Modules/${path}"
       AND NOT EXISTS "${WORK_DIR}/fallback/${inner}")
      get_filename_component(parent "${WORK_DIR}/fallback/${inner}" DIRECTORY)
      file(MAKE_DIRECTORY "${parent}")
      file(CREATE_LINK "${fallback_support}/Modules/${path}" "${WORK_DIR}/fallback/${inner}" SYMBOLIC)
    endif()
  endforeach()
endforeach()

# Microsoft mode with the kit version's compiler version and standard. MinGW's headers need clang to
# present itself as GCC as well, ask for strict ANSI C++ (their 128-bit integer traits are for GNU mode
# only), see __declspec as a macro (their import declarations test for it) and find the SAL annotations
# that Microsoft's headers bring in everywhere. wchar_t stays a type of its own (the kits' builds make it
# unsigned short, /Zc:wchar_t-): MinGW's C++ library cannot do without it, and no host function the
# add-on calls takes one.
set(flags --target=x86_64-pc-windows-msvc -fms-compatibility -fms-extensions
    -fms-compatibility-version=${KAVELO_DEVKIT_MSC_COMPAT} -std=c++${KAVELO_DEVKIT_CXX_STANDARD}
    -fgnuc-version=12 -D__STRICT_ANSI__ -D__declspec=__declspec -Wno-everything -ferror-limit=20
    -nostdinc++ -include sal.h)
foreach(definition ${KAVELO_DEVKIT_DEFINITIONS})
  list(APPEND flags "-D${definition}")
endforeach()
foreach(dir ${KAVELO_DEVKIT_INCLUDE_DIRS})
  list(APPEND flags "-I${dir}")
endforeach()
foreach(dir ${MINGW_INCLUDE_DIRS} "${WORK_DIR}/case")
  list(APPEND flags -isystem "${dir}")
endforeach()
list(APPEND flags -idirafter "${WORK_DIR}/fallback")
if(KAVELO_DEVKIT_FIRST_INCLUDE)
  list(APPEND flags -include ${KAVELO_DEVKIT_FIRST_INCLUDE})
endif()

set(errors 0)
set(compiled 0)
set(objects)
foreach(source ${SOURCES})
  get_filename_component(stem "${source}" NAME_WE)
  set(object "${WORK_DIR}/objects/${stem}.obj")
  execute_process(COMMAND "${CLANG}" ${flags} -c "${SOURCE_DIR}/${source}" -o "${object}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(result EQUAL 0)
    message("  compiled  ${source}")
    math(EXPR compiled "${compiled} + 1")
    list(APPEND objects "${object}")
  else()
    message("  FAILED    ${source}\n${output}")
    math(EXPR errors "${errors} + 1")
  endif()
endforeach()
list(LENGTH SOURCES source_count)
set(summary "${kit_name}: ${compiled} of ${source_count} sources compiled")

if(NOT with_libraries)
  string(APPEND summary "; headers only, nothing to link")
elseif(errors EQUAL 0)
  # Names the add-on's objects refer to and do not define themselves: what the kit must give.
  execute_process(COMMAND "${LLVM_NM}" --undefined-only --no-sort --format=just-symbols ${objects}
                  OUTPUT_VARIABLE undefined RESULT_VARIABLE nm_result)
  execute_process(COMMAND "${LLVM_NM}" --defined-only --extern-only --format=just-symbols ${objects}
                  OUTPUT_VARIABLE defined)
  string(REGEX REPLACE "\n" ";" undefined "${undefined}")
  string(REGEX REPLACE "\n" ";" defined "${defined}")
  list(FILTER undefined EXCLUDE REGEX ":$|^$")
  list(REMOVE_DUPLICATES undefined)
  list(REMOVE_ITEM undefined ${defined})
  list(LENGTH undefined external_count)

  # Windows' own functions come from MinGW's import libraries; the thread-safe statics' epoch, a
  # thread-local of Microsoft's runtime, is stood in for so that its relocations resolve.
  set(system_libraries)
  foreach(library ${KAVELO_DEVKIT_SYSTEM_LIBRARIES})
    find_file(import_${library} lib${library}.a PATHS ${MINGW_LIB_DIRS} NO_DEFAULT_PATH)
    if(NOT import_${library})
      message(FATAL_ERROR "No lib${library}.a in ${MINGW_LIB_DIRS}")
    endif()
    list(APPEND system_libraries "${import_${library}}")
  endforeach()
  file(WRITE "${WORK_DIR}/runtime.c" "__declspec(thread) int _Init_thread_epoch;\n")
  execute_process(COMMAND "${CLANG}" -x c --target=x86_64-pc-windows-msvc -c "${WORK_DIR}/runtime.c"
                  -o "${WORK_DIR}/runtime.obj" COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND "${LLD_LINK}" /dll /machine:x64 /nodefaultlib /noentry /force:unresolved
                  "/def:${SOURCE_DIR}/KAVELO.def" "/out:${WORK_DIR}/KAVELO.apx" ${objects}
                  "${WORK_DIR}/runtime.obj" "${KAVELO_DEVKIT_ACAP_STAT}" ${KAVELO_DEVKIT_IMPORT_LIBS}
                  ${system_libraries}
                  OUTPUT_VARIABLE link_output ERROR_VARIABLE link_output)
  string(REGEX REPLACE "\n" ";" link_lines "${link_output}")
  set(runtime)
  set(missing)
  set(link_errors)
  foreach(line ${link_lines})
    if(line MATCHES "undefined symbol: (.*)$")
      set(symbol "${CMAKE_MATCH_1}")
      # The C++ library's and the C runtime's names (the host's interface is all C++) are Microsoft's
      # runtime's to give, which is not to be had here.
      if(symbol MATCHES "std::|type_info|^[A-Za-z_][A-Za-z0-9_]*$")
        list(APPEND runtime "${symbol}")
      else()
        list(APPEND missing "${symbol}")
      endif()
    elseif(line MATCHES "error: (.*)$")
      list(APPEND link_errors "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES runtime)
  list(REMOVE_DUPLICATES missing)
  list(LENGTH runtime runtime_count)
  list(LENGTH missing missing_count)
  math(EXPR resolved "${external_count} - ${runtime_count} - ${missing_count}")
  string(REPLACE ";" "\n" runtime_text "${runtime}")
  file(WRITE "${WORK_DIR}/runtime-symbols.txt" "${runtime_text}\n")
  message("  linked    ${resolved} host symbols resolved in ACAP_STAT.lib and the import libraries, ${missing_count} missing")
  message("  runtime   ${runtime_count} symbols left to Microsoft's C++ runtime (also in ${WORK_DIR}/runtime-symbols.txt):")
  foreach(symbol ${runtime})
    message("              ${symbol}")
  endforeach()
  foreach(symbol ${missing})
    message("  MISSING   ${symbol}")
  endforeach()
  foreach(error ${link_errors})
    message("  LINK      ${error}")
  endforeach()

  # The entries ACAP_STAT calls must be the add-on's own, defined once.
  execute_process(COMMAND "${LLVM_NM}" --undefined-only --format=just-symbols "${KAVELO_DEVKIT_ACAP_STAT}"
                  OUTPUT_VARIABLE library_undefined)
  set(entry_errors)
  foreach(entry CheckEnvironment RegisterInterface Initialize FreeData)
    list(FIND defined "${entry}" found)
    if(found EQUAL -1)
      list(APPEND entry_errors "${entry} is not defined by the add-on")
    endif()
    if(NOT library_undefined MATCHES "(^|\n)${entry}\n")
      list(APPEND entry_errors "ACAP_STAT.lib does not call ${entry}")
    endif()
  endforeach()
  if(entry_errors)
    foreach(error ${entry_errors})
      message("  ENTRY     ${error}")
    endforeach()
  else()
    message("  entries   CheckEnvironment, RegisterInterface, Initialize, FreeData: the add-on's, called by ACAP_STAT.lib")
  endif()

  list(LENGTH link_errors link_error_count)
  list(LENGTH entry_errors entry_error_count)
  math(EXPR errors "${errors} + ${missing_count} + ${link_error_count} + ${entry_error_count}")
  string(APPEND summary "; ${resolved} host symbols resolved, ${missing_count} missing, ${link_error_count} link errors")
endif()

if(errors GREATER 0)
  message(FATAL_ERROR "devkit check: ${summary}: ${errors} errors")
endif()
message("devkit check: ${summary}: no errors")
