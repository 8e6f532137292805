# What the release's builds are given, as the cmake/ functions give it: the version resource's build number
# beyond 16 bits, ResConv's options per Archicad version and kit, the toolset's _MSC_VER range per version.
#   cmake -D WORK_DIR=<folder> -P BuildSettingsTest.cmake
cmake_minimum_required(VERSION 3.22)
get_filename_component(project_dir "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
include("${project_dir}/cmake/VersionResource.cmake")
include("${project_dir}/cmake/DevKitResources.cmake")
include("${project_dir}/cmake/DevKitSettings.cmake")
set(failures 0)
function(expect what actual wanted)
  if(NOT "${actual}" STREQUAL "${wanted}")
    message("FAILED: ${what}: '${actual}', not '${wanted}'")
    math(EXPR failures "${failures} + 1")
    set(failures ${failures} PARENT_SCOPE)
  endif()
endfunction()

# A run number beyond 65535: PRODUCTVERSION's last field modulo 65536, the text whole.
set(PROJECT_VERSION 1.2.3)
set(PROJECT_VERSION_MAJOR 1)
set(PROJECT_VERSION_MINOR 2)
set(PROJECT_VERSION_PATCH 3)
set(KAVELO_BUILD_NUMBER 70001)
kavelo_version_header("${WORK_DIR}/AddOnVersion.h" 27 ON)
file(STRINGS "${WORK_DIR}/AddOnVersion.h" numeric REGEX "define KAVELO_PRODUCT_VERSION ")
file(STRINGS "${WORK_DIR}/AddOnVersion.h" text REGEX "define KAVELO_PRODUCT_VERSION_TEXT ")
expect("the numeric product version of build 70001" "${numeric}" "#define KAVELO_PRODUCT_VERSION 0,27,0,4465")
expect("the product version text of build 70001" "${text}" "#define KAVELO_PRODUCT_VERSION_TEXT \"0.27.0.70001\"")

# ResConv as the kits' CompileResources.py runs it: UTF-8 both ways; the dark-mode icons' script from 29 on,
# where the kit has it.
file(REMOVE_RECURSE "${WORK_DIR}/kit")
file(MAKE_DIRECTORY "${WORK_DIR}/kit/Tools/Win")
kavelo_resconv_options(options "${WORK_DIR}/kit" 29 /usr/bin/python3)
expect("ResConv for a 29 kit without SVGColorChange.py" "${options}" "-m;r;-T;W;-q;utf8;utf8;-w;2")
file(WRITE "${WORK_DIR}/kit/Tools/Win/SVGColorChange.py" "")
kavelo_resconv_options(options "${WORK_DIR}/kit" 28 /usr/bin/python3)
expect("ResConv for a 28 kit" "${options}" "-m;r;-T;W;-q;utf8;utf8;-w;2")
kavelo_resconv_options(options "${WORK_DIR}/kit" 29 /usr/bin/python3)
expect("ResConv for a 29 kit with SVGColorChange.py" "${options}"
       "-m;r;-T;W;-q;utf8;utf8;-w;2;-py;/usr/bin/python3;-sc;${WORK_DIR}/kit/Tools/Win/SVGColorChange.py")

# The toolsets' ranges, as the kits' GSRoot/Definitions.hpp accept them.
foreach(case "27 v142 1920-1929" "28 v142 1920-1929" "29 v143 1930-1949")
  string(REGEX MATCH "^[0-9]+" version "${case}")
  kavelo_devkit_settings("${WORK_DIR}/kit" ${version} "${WORK_DIR}")
  expect("Archicad ${version}'s toolset"
         "${version} ${KAVELO_DEVKIT_TOOLSET} ${KAVELO_DEVKIT_MSC_MIN}-${KAVELO_DEVKIT_MSC_MAX}" "${case}")
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} build settings not as the release needs them")
endif()
message("build number, ResConv's options and toolset ranges as the release needs them")
