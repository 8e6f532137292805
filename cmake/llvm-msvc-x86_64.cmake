# Toolchain: LLVM's Microsoft-compatible tools in the place of Microsoft's, so that Src/RealDevKit.cmake, the
# build users' modules come from, runs here against a real Archicad DevKit (AC_API_DEVKIT_DIR): clang-cl
# with the _MSC_VER of the toolset the kit version demands, lld-link, llvm-rc, llvm-lib and llvm-mt, with
# MinGW-w64's Windows and C++ library headers and Windows import libraries in the place of Microsoft's
# (cmake/MinGWHeaders.cmake). Microsoft's C++ runtime is not to be had here: the link leaves its names
# unresolved (/force:unresolved), and tools/devkit-check/RealBuild.cmake, which runs this build, fails on
# any other name left so. What it builds is for checking, never for users: its version resource says
# "Not for distribution" unless configured otherwise, and its runtime imports are missing.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(llvm_dirs /usr/lib/llvm-14/bin /usr/lib/llvm-15/bin /usr/lib/llvm-16/bin)
find_program(CMAKE_C_COMPILER clang-cl PATHS ${llvm_dirs} REQUIRED)
set(CMAKE_CXX_COMPILER "${CMAKE_C_COMPILER}")
find_program(KAVELO_LLD_LINK lld-link PATHS ${llvm_dirs} REQUIRED)
find_program(KAVELO_LLVM_RC llvm-rc PATHS ${llvm_dirs} REQUIRED)
find_program(CMAKE_AR llvm-lib PATHS ${llvm_dirs} REQUIRED)
find_program(CMAKE_MT llvm-mt PATHS ${llvm_dirs} REQUIRED)
# Nothing can be linked into a program without Microsoft's runtime: the compiler checks make libraries.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES AC_API_DEVKIT_DIR KAVELO_FALLBACK_KITS KAVELO_MSC_COMPAT)

include("${CMAKE_CURRENT_LIST_DIR}/DevKitSettings.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/MinGWHeaders.cmake")
if(NOT AC_API_DEVKIT_DIR)
  message(FATAL_ERROR "llvm-msvc-x86_64.cmake builds against a real Archicad DevKit: give -DAC_API_DEVKIT_DIR=<kit>")
endif()
kavelo_devkit_support("${AC_API_DEVKIT_DIR}" kit_support)
kavelo_devkit_version("${kit_support}" kit_version)
kavelo_devkit_settings("${kit_support}" ${kit_version} "${CMAKE_CURRENT_LIST_DIR}")

# Where the headers' and libraries' links go: once per build folder (try_compile's folders get none).
set(links "${CMAKE_BINARY_DIR}/mingw-for-msvc")
kavelo_mingw_include_dirs(mingw_includes)
set(fallbacks)
foreach(fallback ${KAVELO_FALLBACK_KITS})
  kavelo_devkit_support("${fallback}" fallback_support)
  list(APPEND fallbacks "${fallback_support}")
endforeach()
# MinGW's import libraries of the Windows DLLs the add-on calls and those CMake links by default, under
# the names lld-link looks for; at every configure, so that a library the add-on takes on is there too.
if(NOT CMAKE_BINARY_DIR MATCHES "/CMakeFiles/CMakeScratch/|/CMakeTmp")
  file(MAKE_DIRECTORY "${links}/lib")
  set(libraries ${KAVELO_DEVKIT_SYSTEM_LIBRARIES} gdi32 winspool ole32 oleaut32 uuid comdlg32 advapi32)
  list(REMOVE_DUPLICATES libraries)
  foreach(library ${libraries})
    find_file(import_${library} lib${library}.a PATHS /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH REQUIRED)
    file(CREATE_LINK "${import_${library}}" "${links}/lib/${library}.lib" SYMBOLIC)
  endforeach()
endif()
if((NOT EXISTS "${links}/done" OR NOT EXISTS "${links}/gnu-begin.h") AND NOT CMAKE_BINARY_DIR MATCHES "/CMakeFiles/CMakeScratch/|/CMakeTmp")
  kavelo_mingw_gnu_wrappers("${links}" "${CMAKE_C_COMPILER}" "${mingw_includes}")
  kavelo_mingw_header_links("${links}" "${kit_support}" "${fallbacks}" "${mingw_includes}")
  # The thread-safe statics' epoch, a thread-local of Microsoft's runtime, stood in for so that its
  # relocations resolve.
  file(WRITE "${links}/runtime.c" "__declspec(thread) int _Init_thread_epoch;\n")
  execute_process(COMMAND "${CMAKE_C_COMPILER}" /nologo /c "/Tc${links}/runtime.c" "/Fo${links}/runtime.obj"
                  COMMAND_ERROR_IS_FATAL ANY)
  # rc as llvm-rc stands it in for the scripts ResConv writes (LlvmRc.cmake).
  file(WRITE "${links}/bin/llvm-rc" "#!/bin/sh\nexec \"${CMAKE_COMMAND}\" \"-DCLANG_CL=${CMAKE_C_COMPILER}\" \"-DLLVM_RC=${KAVELO_LLVM_RC}\" -P \"${CMAKE_CURRENT_LIST_DIR}/LlvmRc.cmake\" -- \"$@\"\n")
  file(CHMOD "${links}/bin/llvm-rc" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
       WORLD_READ WORLD_EXECUTE)
  # lld-link, keeping what it says in link.log beside it: the names left to Microsoft's runtime are
  # warnings of a link that succeeds, whose output the build does not show.
  file(WRITE "${links}/bin/lld-link" "#!/bin/sh\n\"${KAVELO_LLD_LINK}\" \"$@\" >\"${links}/link.log\" 2>&1\nstatus=$?\ncat \"${links}/link.log\"\nexit $status\n")
  file(CHMOD "${links}/bin/lld-link" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
       WORLD_READ WORLD_EXECUTE)
  file(WRITE "${links}/done" "")
endif()
set(CMAKE_RC_COMPILER "${links}/bin/llvm-rc")
set(CMAKE_LINKER "${links}/bin/lld-link")

# The compiler version goes with the compiler itself, so that CMake's identification (MSVC_VERSION, which
# RealDevKit.cmake checks) sees it too.
# KAVELO_MSC_COMPAT presents another version instead (a test shows RealDevKit.cmake refusing it).
if(KAVELO_MSC_COMPAT)
  set(KAVELO_DEVKIT_MSC_COMPAT "${KAVELO_MSC_COMPAT}")
endif()
set(CMAKE_C_COMPILER_ARG1 "-fms-compatibility-version=${KAVELO_DEVKIT_MSC_COMPAT}")
set(CMAKE_CXX_COMPILER_ARG1 "-fms-compatibility-version=${KAVELO_DEVKIT_MSC_COMPAT}")
# The kits' headers see what Microsoft's compiler shows them: no __GNUC__ (MinGW's headers get GCC's macros
# from their wrappers in mingw-for-msvc/gnu, kavelo_mingw_gnu_wrappers), wchar_t as unsigned short
# (/Zc:wchar_t-, the kits' option), and constant evaluation cut at the 100,000 steps that Microsoft
# documents for cl, so that a table computed at compile time fails here first. MinGW's headers in
# Microsoft mode need strict ANSI C++ (their 128-bit integer traits are for GNU mode only), __declspec seen
# as a macro (their import declarations test for it) and the SAL annotations that Microsoft's headers
# bring in everywhere. The kits' headers are not warning-free under clang; their warnings are not the
# add-on's.
set(flags "--target=x86_64-pc-windows-msvc -Wno-everything")
foreach(option -nostdinc++ -fconstexpr-steps=100000)
  string(APPEND flags " /clang:${option}")
endforeach()
string(APPEND flags " /D__STRICT_ANSI__ /D__declspec=__declspec /FIsal.h")
# MinGW's COM interfaces carry no GUID for Microsoft mode's own __uuidof, so the inline helpers that its
# shell header (shobjidl.h, through shlobj.h) gives from Internet Explorer 7's API on do not compile; the
# known-folder call the add-on makes is older. Microsoft's headers have the GUIDs and need none of this.
string(APPEND flags " /D_WIN32_IE=0x0600")
foreach(dir "${links}/gnu" ${mingw_includes} "${links}/case")
  string(APPEND flags " -imsvc \"${dir}\"")
endforeach()
string(APPEND flags " /clang:-idirafter \"/clang:${links}/fallback\"")
set(CMAKE_C_FLAGS_INIT "${flags}")
set(CMAKE_CXX_FLAGS_INIT "${flags}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "/nodefaultlib /force:unresolved /demangle:no \"/libpath:${links}/lib\" \"${links}/runtime.obj\"")
