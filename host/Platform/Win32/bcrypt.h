// BCryptGenRandom, the system's cryptographic random source, for systems without the Windows API. Only
// non-Windows builds have this folder on their include path; the host library (Win32Posix.cpp) provides
// the call, with the same name and meaning.
#pragma once

#include <windows.h>

using NTSTATUS = long;
using BCRYPT_ALG_HANDLE = void*;
using PUCHAR = unsigned char*;

#define BCRYPT_USE_SYSTEM_PREFERRED_RNG 0x00000002

// Fills `count` bytes at `buffer` from the system's cryptographic random source. `algorithm` must be null
// with BCRYPT_USE_SYSTEM_PREFERRED_RNG in `flags`. Returns 0 (STATUS_SUCCESS), or a negative status when
// no random bytes could be had (every byte of `buffer` is then unspecified).
extern "C" NTSTATUS BCryptGenRandom(BCRYPT_ALG_HANDLE algorithm, PUCHAR buffer, ULONG count, ULONG flags);
