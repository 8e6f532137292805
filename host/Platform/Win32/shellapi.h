// ShellExecuteW for systems without the Windows API; see windows.h beside this file.
#pragma once

#include <windows.h>

// Hands `file` (here: a URL) to the system's launcher for `operation` and returns at once. Returns a
// value above 32 on success and one of 32 or below on failure, as Windows does.
extern "C" HINSTANCE ShellExecuteW(HWND owner, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters,
                                   LPCWSTR directory, int showCommand);
