// A DLL planted where an installer's plug-ins would be found: any process that loads it leaves a mark, the
// file C:\planted-dll-loaded.txt.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        HANDLE mark = CreateFileW(L"C:\\planted-dll-loaded.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (mark != INVALID_HANDLE_VALUE) {
            CloseHandle(mark);
        }
    }
    return TRUE;
}

// What rundll32 calls, so that the test can load the DLL as a program would.
extern "C" __declspec(dllexport) void CALLBACK Entry(HWND, HINSTANCE, LPSTR, int) {}
