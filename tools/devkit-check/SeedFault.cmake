# Proves that the real build against a kit (RealBuild.cmake) catches what it is for: copies the project's
# build (CMakeLists.txt, cmake/, Src/, resources/) into WORK_DIR, plants one fault in the copy's Src/, runs
# the real build of the copy against KIT (a kit with libraries) and fails unless that build fails and says
# why.
#   cmake -D FAULT=<misspelled-name|wrong-argument|duplicate-symbol|missing-host-function|wrong-toolset>
#         -D KIT=<kit> -D WORK_DIR=<folder>
#         [-D WINE_PREFIX=<folder>] -P SeedFault.cmake
cmake_minimum_required(VERSION 3.22)
get_filename_component(project_dir "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)

# Each fault: the source it goes into, the text replaced and its replacement, and what the build must say.
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
elseif(FAULT STREQUAL "missing-host-function")
  # Calls of host functions that the kit's libraries lack, declared as a header would declare them: one
  # with a type of namespace std in its signature and one with a C name, which both look like names of
  # Microsoft's runtime to a check that goes by their spelling.
  set(source AddOnMain.cpp)
  set(from "GSErrCode MenuCommandHandler(const API_MenuParams* menuParams) {")
  set(to "#include <string>\nnamespace GS {\nGSErrCode SeededMissingFunction(const std::string& name);\n}\nextern \"C\" GSErrCode SeededMissingCFunction(void);\n\n${from}\n    if (GS::SeededMissingFunction(std::string(\"KAVELO\")) != NoError || SeededMissingCFunction() != NoError)\n        return APIERR_GENERAL;")
  set(expected "MISSING   [^\n]*GS::SeededMissingFunction\\(class std::" "MISSING   SeededMissingCFunction\n")
elseif(FAULT STREQUAL "wrong-toolset")
  # No change to the sources: the compiler presents itself as Visual Studio 2022's (v143), which the 27 and
  # 28 kits do not take.
  set(source AddOnMain.cpp)
  set(from "")
  set(options "-DCONFIGURE_OPTIONS=-DKAVELO_MSC_COMPAT=19.38")
  # (CMake's message folds the long line: a space may have become a line break.)
  set(expected "needs Microsoft's C\\+\\+ compiler for x64 with the v142[ \n]+toolset.*this compiler is[ \n]+_MSC_VER[ \n]+1938")
else()
  message(FATAL_ERROR "FAULT must be misspelled-name, wrong-argument, duplicate-symbol, missing-host-function or wrong-toolset, not '${FAULT}'")
endif()

set(copy "${WORK_DIR}/project")
file(REMOVE_RECURSE "${copy}")
file(MAKE_DIRECTORY "${copy}")
foreach(part CMakeLists.txt cmake Src resources)
  file(COPY "${project_dir}/${part}" DESTINATION "${copy}")
endforeach()
if(from)
  file(READ "${copy}/Src/${source}" text)
  string(FIND "${text}" "${from}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${source} no longer holds '${from}': move the planted fault to what it holds now")
  endif()
  string(REPLACE "${from}" "${to}" text "${text}")
  file(WRITE "${copy}/Src/${source}" "${text}")
endif()

# A fault the compiler catches needs only its source compiled; one the linker catches needs the module.
set(only)
if(NOT FAULT MATCHES "^(duplicate-symbol|missing-host-function|wrong-toolset)$")
  set(only "-DSOURCES=${source}")
endif()
set(prefix)
if(WINE_PREFIX)
  set(prefix "-DWINE_PREFIX=${WINE_PREFIX}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" "-DKIT=${KIT}" "-DBINARY_DIR=${WORK_DIR}/build" "-DSOURCE_DIR=${copy}"
                        ${only} ${prefix} ${options} -P "${CMAKE_CURRENT_LIST_DIR}/RealBuild.cmake"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "The real build passed a source tree with a ${FAULT}:\n${output}")
endif()
foreach(said ${expected})
  if(NOT output MATCHES "${said}")
    message(FATAL_ERROR "The real build failed on the ${FAULT}, but not saying /${said}/:\n${output}")
  endif()
endforeach()
message("caught the ${FAULT}")
