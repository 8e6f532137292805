# Rules of the LLVM toolchain file (llvm-msvc-x86_64.cmake) that must come after the platform's: every C++
# source is compiled with wchar_t as a type of its own, whatever the build's options say before it.
string(REPLACE "<FLAGS>" "<FLAGS> /Zc:wchar_t" CMAKE_CXX_COMPILE_OBJECT "${CMAKE_CXX_COMPILE_OBJECT}")
