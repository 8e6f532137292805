// CryptProtectData and CryptUnprotectData, the data protection of the user's secrets, for systems without
// the Windows API. Only non-Windows builds have this folder on their include path; the host library
// (DataProtectionPosix.cpp) provides the calls, with the same names and meaning: data protected for one
// user cannot be unprotected by another.
#pragma once

#include <windows.h>

typedef struct _CRYPTOAPI_BLOB {
    DWORD cbData;
    BYTE* pbData;
} DATA_BLOB;

// Never shown: callers pass CRYPTPROTECT_UI_FORBIDDEN and no prompt.
typedef struct _CRYPTPROTECT_PROMPTSTRUCT CRYPTPROTECT_PROMPTSTRUCT;

#define CRYPTPROTECT_UI_FORBIDDEN 0x1

// Protects `in` for the current user: *out receives the protected bytes, to be freed with LocalFree.
// `entropy`, when given, must be given again to unprotect. `description`, `reserved` and `prompt` must be
// null (this system keeps no description and shows no prompt). Returns non-zero on success; otherwise zero
// with the reason for GetLastError.
extern "C" BOOL CryptProtectData(DATA_BLOB* in, LPCWSTR description, DATA_BLOB* entropy, PVOID reserved,
                                 CRYPTPROTECT_PROMPTSTRUCT* prompt, DWORD flags, DATA_BLOB* out);
// The reverse: *out receives the original bytes (to be freed with LocalFree) only when `in` was protected
// for the current user with the same entropy and has not changed since; otherwise zero, with
// ERROR_INVALID_DATA for GetLastError. `description` must be null.
extern "C" BOOL CryptUnprotectData(DATA_BLOB* in, LPWSTR* description, DATA_BLOB* entropy, PVOID reserved,
                                   CRYPTPROTECT_PROMPTSTRUCT* prompt, DWORD flags, DATA_BLOB* out);
