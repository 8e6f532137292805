# The add-on against a real Archicad DevKit (AC_API_DEVKIT_DIR: the kit's folder or its Support folder),
# with Microsoft's compiler on 64-bit Windows, as the host vendor's add-on template builds it. Nothing of
# the project's stand-ins is built or linked: the kit's headers, ACAP_STAT.lib, the module import libraries
# and its resource compiler. The include roots, definitions, standard and libraries come from
# cmake/DevKitSettings.cmake, which the check of Src/ against the kits here uses too; see Src/README.md.
include(${PROJECT_SOURCE_DIR}/cmake/DevKitSettings.cmake)
kavelo_devkit_support("${AC_API_DEVKIT_DIR}" support REQUIRE_LIBRARIES)
if(NOT AC_VERSION)
  kavelo_devkit_version("${support}" detected_version)
  set(AC_VERSION ${detected_version} CACHE STRING "The Archicad version of the DevKit (from its ACAPinc.h)")
endif()
kavelo_devkit_settings("${support}" ${AC_VERSION} "${CMAKE_CURRENT_SOURCE_DIR}" REQUIRE_LIBRARIES)

set(toolset_range "${KAVELO_DEVKIT_MSC_MIN}")
if(KAVELO_DEVKIT_MSC_MAX)
  string(APPEND toolset_range "-${KAVELO_DEVKIT_MSC_MAX}")
else()
  string(APPEND toolset_range " or later")
endif()
set(toolset_needed "the Archicad ${AC_VERSION} DevKit needs Microsoft's C++ compiler for x64 with the ${KAVELO_DEVKIT_TOOLSET} toolset (_MSC_VER ${toolset_range}) and C++${KAVELO_DEVKIT_CXX_STANDARD}")
if(NOT MSVC OR NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
  message(FATAL_ERROR "${toolset_needed}; this is ${CMAKE_CXX_COMPILER_ID} for ${CMAKE_SIZEOF_VOID_P}-byte pointers")
endif()
if(MSVC_VERSION LESS KAVELO_DEVKIT_MSC_MIN OR (KAVELO_DEVKIT_MSC_MAX AND MSVC_VERSION GREATER KAVELO_DEVKIT_MSC_MAX))
  message(FATAL_ERROR "${toolset_needed}; this compiler is _MSC_VER ${MSVC_VERSION} (with Visual Studio's generator: -T ${KAVELO_DEVKIT_TOOLSET})")
endif()

add_library(KAVELO SHARED ${KAVELO_CORE_SOURCES} KAVELO.def)
# The resources as the DevKit's own CompileResources.py builds them (cmake/DevKitResources.cmake).
include(${PROJECT_SOURCE_DIR}/cmake/DevKitResources.cmake)
kavelo_devkit_resources(OUTPUT_VARIABLE devkit_res TARGET KAVELO
  SUPPORT "${support}" RESOURCES "${PROJECT_SOURCE_DIR}/resources" BINARY_DIR "${CMAKE_CURRENT_BINARY_DIR}/ResConv"
  DOMAIN "${KAVELO_WEBAPP_DOMAIN}" STYLE MSVC INCLUDES "${CMAKE_CURRENT_SOURCE_DIR}"
  PREPROCESSOR "${CMAKE_C_COMPILER}" RESCONV "${support}/Tools/Win/ResConv.exe" RC "${CMAKE_RC_COMPILER}")
set_target_properties(KAVELO PROPERTIES PREFIX "" SUFFIX ".apx" OUTPUT_NAME KAVELO
  MSVC_RUNTIME_LIBRARY "MultiThreadedDLL" CXX_STANDARD ${KAVELO_DEVKIT_CXX_STANDARD} CXX_STANDARD_REQUIRED ON
  CXX_EXTENSIONS OFF RUNTIME_OUTPUT_DIRECTORY "$<1:${CMAKE_BINARY_DIR}>")
target_include_directories(KAVELO PRIVATE ${KAVELO_DEVKIT_INCLUDE_DIRS})
target_compile_definitions(KAVELO PRIVATE ${KAVELO_DEVKIT_DEFINITIONS})
target_compile_options(KAVELO PRIVATE ${KAVELO_DEVKIT_MSVC_OPTIONS})
# From Archicad 28 on the host's allocator must come first in every source, as the template's precompiled
# header does it.
if(KAVELO_DEVKIT_FIRST_INCLUDE)
  target_precompile_headers(KAVELO PRIVATE "<${KAVELO_DEVKIT_FIRST_INCLUDE}>")
endif()
target_link_libraries(KAVELO PRIVATE "${KAVELO_DEVKIT_ACAP_STAT}" ${KAVELO_DEVKIT_IMPORT_LIBS}
  ${KAVELO_DEVKIT_SYSTEM_LIBRARIES})
