// The few Windows calls and types the add-on uses. On Windows these are the real API; elsewhere the
// host library provides functions of the same name and meaning.
#pragma once

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#else
#include <cstdint>

using HINSTANCE = void*;
using HMODULE = HINSTANCE;
using HWND = void*;
using BOOL = int;
using DWORD = std::uint32_t;
using LPVOID = void*;
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;

#define TRUE 1
#define FALSE 0
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3
#define SW_SHOWNORMAL 1
#define MAX_PATH 260
#define WINAPI

// Writes the full path of the module loaded as `module` (a handle from the system loader) into `buffer`
// as NUL-terminated UTF-16, truncated to `size` units including the NUL. Returns the units written
// without the NUL, or 0 when the module is unknown.
extern "C" DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

// Hands `file` (here: a URL) to the system's launcher for `operation` and returns at once. Returns a
// value above 32 on success and one of 32 or below on failure, as Windows does.
extern "C" HINSTANCE ShellExecuteW(HWND owner, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters,
                                   LPCWSTR directory, int showCommand);
#endif
