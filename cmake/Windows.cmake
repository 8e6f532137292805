# The Windows build (windows preset): the host library stand-in and KAVELO.apx as 64-bit DLLs, the unit
# tests and the Windows tests, all run under Wine. Included by the top CMakeLists.txt when cross-compiling.
# Parts that need libraries Debian has no MinGW build of (OpenSSL, libjpeg-turbo, Boost's compiled parts)
# stay out: the web application stand-in, the native benchmarks and their tests; the simulated host
# builds with Windows' own JPEG codec (WIC) and HTTP stack (the host library's WinHTTP client).
# What must run on the build machine (the resource compiler, the web application stand-in, the drivers of
# the Windows tests) comes from a native build of this tree, named by KAVELO_NATIVE_BUILD.
set(KAVELO_NATIVE_BUILD "${PROJECT_SOURCE_DIR}/build/release" CACHE PATH "A native build of this tree")
set(native_tools_file "${KAVELO_NATIVE_BUILD}/KaveloNativeTools.cmake")
if(NOT EXISTS "${native_tools_file}")
  message(FATAL_ERROR "The Windows build runs tools of a native build, and ${native_tools_file} is missing: "
                      "configure the release preset first (scripts/build.sh release).")
endif()
include("${native_tools_file}")
include("${KAVELO_NATIVE_BUILD}/KaveloNativeModule.cmake")
# The native tools run on this machine as they are. The toolchain's emulator would start them through
# wine, which runs a Linux program and always answers 0: a failing driver would pass.
get_property(native_imported DIRECTORY PROPERTY IMPORTED_TARGETS)
foreach(target ${native_imported})
  if(target MATCHES "^native::")
    set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR "")
  endif()
endforeach()

# Every program runs under Wine in the build's own throwaway prefix.
set(KAVELO_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_SOURCE_DIR}/tools/wine-run.sh;${KAVELO_WINEPREFIX}")

# DLLs and programs side by side, where the Windows loader finds the DLLs.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bin")
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bin")

# GoogleTest from Debian's sources, built with the cross compiler before the project's warning flags.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# It names its targets GTest::gtest and GTest::gtest_main itself, as find_package(GTest) does natively.
add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)

# nlohmann/json is header-only; only its folder is put on the include path, not the host's /usr/include.
set(json_include "${CMAKE_BINARY_DIR}/third_party/include")
file(MAKE_DIRECTORY "${json_include}")
file(CREATE_LINK /usr/include/nlohmann "${json_include}/nlohmann" SYMBOLIC)
add_library(nlohmann_json INTERFACE)
target_include_directories(nlohmann_json SYSTEM INTERFACE "${json_include}")
add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)

add_compile_options(-Wall -Wextra -Wpedantic -Werror)
# Windows 7 API level at least (BCryptGenRandom, the WinHTTP calls); UTF-16 Windows calls.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
# Each DLL and program carries its own C++ runtime and imports only Windows' DLLs and the host library.
add_link_options(-static)

find_package(Threads REQUIRED)
enable_testing()

add_subdirectory(host)
add_subdirectory(resources)
add_subdirectory(Src)
add_subdirectory(hostsim)
add_subdirectory(installer)
add_subdirectory(tests)
if(KAVELO_BENCH)
  add_subdirectory(bench)
endif()
