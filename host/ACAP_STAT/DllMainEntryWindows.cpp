// The module's entry point on Windows, as the DevKit's add-on library has it (DllMainEntry, which the
// module's link names as its entry): the C runtime's start-up before DllMain and its shutdown after it.
// The GNU toolchain's own DLL entry does exactly that (with the runtime's pseudo-relocations and security
// cookie first), so the call is handed to it, and it calls DllMain.
#include <windows.h>

extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE module, DWORD reason, LPVOID reserved);

extern "C" BOOL WINAPI DllMainEntry(HANDLE module, DWORD reason, LPVOID reserved) {
    return DllMainCRTStartup(module, reason, reserved);
}
