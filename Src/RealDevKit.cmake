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

# The resources: the DevKit's ResConv compiles each GRC file, and the .rc script includes the results.
set(grc_out "${CMAKE_CURRENT_BINARY_DIR}/ResConv")
file(MAKE_DIRECTORY "${grc_out}")
file(GLOB grc_files "${PROJECT_SOURCE_DIR}/resources/RINT/*.grc" "${PROJECT_SOURCE_DIR}/resources/RFIX/*.grc")
set(rc_inputs)
foreach(grc ${grc_files})
  get_filename_component(name "${grc}" NAME_WE)
  add_custom_command(OUTPUT "${grc_out}/${name}.ro"
    COMMAND "${support}/Tools/Win/ResConv.exe" -m r -D WINDOWS -T W -q utf8 1252 -i "${grc}"
            -p "${PROJECT_SOURCE_DIR}/resources/RFIX/Images" -o "${grc_out}/${name}.ro"
    DEPENDS "${grc}" VERBATIM)
  list(APPEND rc_inputs "${grc_out}/${name}.ro")
endforeach()
set(rc_script "${grc_out}/KAVELO.rc")
set(rc_text "")
foreach(ro ${rc_inputs})
  string(APPEND rc_text "#include \"${ro}\"\n")
endforeach()
file(GENERATE OUTPUT "${rc_script}" CONTENT "${rc_text}")

add_library(KAVELO SHARED ${KAVELO_CORE_SOURCES} KAVELO.def "${rc_script}")
set_source_files_properties("${rc_script}" PROPERTIES OBJECT_DEPENDS "${rc_inputs}")
set_target_properties(KAVELO PROPERTIES PREFIX "" SUFFIX ".apx" OUTPUT_NAME KAVELO
  MSVC_RUNTIME_LIBRARY "MultiThreadedDLL" CXX_STANDARD 17)
target_include_directories(KAVELO PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} "${PROJECT_SOURCE_DIR}/resources"
  "${support}/Inc" ${module_dirs})
target_compile_definitions(KAVELO PRIVATE ACExtension KAVELO_WEBAPP_ORIGIN="${KAVELO_WEBAPP_ORIGIN}"
  _ITERATOR_DEBUG_LEVEL=0)
target_compile_options(KAVELO PRIVATE /Zc:wchar_t- /EHsc /utf-8)
target_link_libraries(KAVELO PRIVATE "${support}/Lib/ACAP_STAT.lib" ${import_libs} ${KAVELO_SYSTEM_LIBRARIES}
  kernel32 user32)
