# Proves that the DevKit check catches what it is for: copies Src/ into WORK_DIR, plants one fault in the
# copy, runs CheckDevKit.cmake on it against KIT (a kit with libraries) and fails unless the check fails
# and says why.
#   cmake -D FAULT=<misspelled-name|wrong-argument|duplicate-symbol> -D KIT=<kit> -D WORK_DIR=<folder>
#         -D MINGW_INCLUDE_DIRS=<list> -D MINGW_LIB_DIRS=<list> [-D KAVELO_WEBAPP_ORIGIN=..] -P SeedFault.cmake
cmake_minimum_required(VERSION 3.22)
get_filename_component(project_dir "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
# Lists may come with "|" between their items, where a test's command line cannot carry ";".
foreach(list_var MINGW_INCLUDE_DIRS MINGW_LIB_DIRS FALLBACK_KITS)
  string(REPLACE "|" ";" ${list_var} "${${list_var}}")
endforeach()

# Each fault: the source it goes into, the text replaced and its replacement, and what the check must say.
if(FAULT STREQUAL "misspelled-name")
  set(source Preferences.cpp)
  set(from "ACAPI_GetPreferences(&version, &size, nullptr)")
  set(to "ACAPI_GetPreference(&version, &size, nullptr)")
  set(expected "FAILED    Preferences.cpp.*ACAPI_GetPreference")
elseif(FAULT STREQUAL "wrong-argument")
  set(source AddOnMain.cpp)
  set(from "ACAPI_MenuItem_InstallMenuHandler(KAVELO_MENU_EXPORT, MenuCommandHandler)")
  set(to "ACAPI_MenuItem_InstallMenuHandler(KAVELO_MENU_EXPORT, PaletteWindowCallback)")
  set(expected "FAILED    AddOnMain.cpp.*ACAPI_MenuItem_InstallMenuHandler")
elseif(FAULT STREQUAL "duplicate-symbol")
  # The add-on library defines ACAPI_WriteReport; an add-on that defines it too cannot link.
  set(source AddOnMain.cpp)
  set(from "GSErrCode MenuCommandHandler(const API_MenuParams* menuParams) {")
  set(to "void ACAPI_WriteReport(const GS::UniString&, bool, ...) {}\n\n${from}")
  set(expected "LINK      duplicate symbol: .*ACAPI_WriteReport")
else()
  message(FATAL_ERROR "FAULT must be misspelled-name, wrong-argument or duplicate-symbol, not '${FAULT}'")
endif()

set(copy "${WORK_DIR}/Src")
file(REMOVE_RECURSE "${WORK_DIR}")
file(COPY "${project_dir}/Src/" DESTINATION "${copy}")
file(READ "${copy}/${source}" text)
string(FIND "${text}" "${from}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${source} no longer holds '${from}': move the planted fault to what it holds now")
endif()
string(REPLACE "${from}" "${to}" text "${text}")
file(WRITE "${copy}/${source}" "${text}")

# A fault the compiler catches needs only its source compiled; one the linker catches needs them all.
set(only)
if(NOT FAULT STREQUAL "duplicate-symbol")
  set(only "-DSOURCES=${source}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" "-DKIT=${KIT}" "-DWORK_DIR=${WORK_DIR}/check" "-DSOURCE_DIR=${copy}"
                        "-DMINGW_INCLUDE_DIRS=${MINGW_INCLUDE_DIRS}" "-DMINGW_LIB_DIRS=${MINGW_LIB_DIRS}"
                        "-DKAVELO_WEBAPP_ORIGIN=${KAVELO_WEBAPP_ORIGIN}" ${only}
                        -P "${CMAKE_CURRENT_LIST_DIR}/CheckDevKit.cmake"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "The check passed a source tree with a ${FAULT}:\n${output}")
endif()
if(NOT output MATCHES "${expected}")
  message(FATAL_ERROR "The check failed on the ${FAULT}, but not saying /${expected}/:\n${output}")
endif()
message("caught the ${FAULT} in ${source}")
