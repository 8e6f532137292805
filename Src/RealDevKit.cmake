# The add-on against a real Archicad 27 DevKit (AC_API_DEVKIT_DIR: the DevKit's folder, or its Support
# folder), with Microsoft's compiler on 64-bit Windows. Nothing of the project's stand-ins is built or
# linked: the DevKit's headers, ACAP_STAT.lib, the module import libraries and its resource compiler.
# This path cannot run on the project's machines (no DevKit, no MSVC); see Src/README.md.
if(NOT MSVC OR NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
  message(FATAL_ERROR "A real DevKit (AC_API_DEVKIT_DIR=${AC_API_DEVKIT_DIR}) builds only with MSVC for x64")
endif()
set(support "${AC_API_DEVKIT_DIR}")
if(EXISTS "${AC_API_DEVKIT_DIR}/Support/Inc")
  set(support "${AC_API_DEVKIT_DIR}/Support")
endif()
file(GLOB module_dirs LIST_DIRECTORIES true "${support}/Modules/*")
set(import_libs)
foreach(module GSRoot RS InputOutput DGLib GSUtils HTTP JSONConversion)
  file(GLOB lib "${support}/Modules/${module}/Win/*Imp.LIB")
  list(APPEND import_libs ${lib})
endforeach()

add_library(KAVELO SHARED ${KAVELO_CORE_SOURCES} KAVELO.def)
# The resources as the DevKit's own CompileResources.py builds them (cmake/DevKitResources.cmake).
include(${PROJECT_SOURCE_DIR}/cmake/DevKitResources.cmake)
kavelo_devkit_resources(OUTPUT_VARIABLE devkit_res TARGET KAVELO
  SUPPORT "${support}" RESOURCES "${PROJECT_SOURCE_DIR}/resources" BINARY_DIR "${CMAKE_CURRENT_BINARY_DIR}/ResConv"
  DOMAIN "${KAVELO_WEBAPP_DOMAIN}" STYLE MSVC INCLUDES "${CMAKE_CURRENT_SOURCE_DIR}"
  PREPROCESSOR "${CMAKE_C_COMPILER}" RESCONV "${support}/Tools/Win/ResConv.exe" RC "${CMAKE_RC_COMPILER}")
set_target_properties(KAVELO PROPERTIES PREFIX "" SUFFIX ".apx" OUTPUT_NAME KAVELO
  MSVC_RUNTIME_LIBRARY "MultiThreadedDLL" CXX_STANDARD 17)
target_include_directories(KAVELO PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} "${PROJECT_SOURCE_DIR}/resources"
  "${support}/Inc" ${module_dirs})
target_compile_definitions(KAVELO PRIVATE ACExtension KAVELO_WEBAPP_ORIGIN="${KAVELO_WEBAPP_ORIGIN}"
  _ITERATOR_DEBUG_LEVEL=0)
target_compile_options(KAVELO PRIVATE /Zc:wchar_t- /EHsc /utf-8)
target_link_libraries(KAVELO PRIVATE "${support}/Lib/ACAP_STAT.lib" ${import_libs} ${KAVELO_SYSTEM_LIBRARIES}
  kernel32 user32)
