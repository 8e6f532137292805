// The redirection of a module's ShellExecuteW import to hostsim's launcher: the module's code runs
// unchanged, and its call arrives with every argument as passed, for the launcher to hand to the shell.
#include "ShellImport.hpp"

#include <vector>

#include "PlatformControl.hpp"
#include "WindowsText.hpp"

namespace hostsim {

namespace {

const char16_t* Utf16(LPCWSTR text) {
    return reinterpret_cast<const char16_t*>(text);
}

HINSTANCE WINAPI LaunchThroughHost(HWND, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters,
                                   LPCWSTR directory, INT showCommand) {
    return reinterpret_cast<HINSTANCE>(Platform::Control::Launch(
        Utf16(operation), Utf16(file), Utf16(parameters), Utf16(directory), showCommand));
}

}  // namespace

std::vector<void**> ShellExecuteImports(HMODULE module) {
    std::vector<void**> entries;
    const HMODULE shell = LoadLibraryW(L"shell32.dll");
    const auto real = reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteW"));
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (real == nullptr || imports.VirtualAddress == 0)
        return entries;
    for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         library->Name != 0; ++library) {
        for (auto** entry = reinterpret_cast<void**>(base + library->FirstThunk); *entry != nullptr;
             ++entry) {
            if (*entry == real)
                entries.push_back(entry);
        }
    }
    return entries;
}

bool WriteImport(void** entry, void* function) {
    DWORD old = 0;
    if (!VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &old))
        return false;
    *entry = function;
    VirtualProtect(entry, sizeof *entry, old, &old);
    return true;
}

bool RedirectShellImport(HMODULE module, std::string* error) {
    const std::vector<void**> entries = ShellExecuteImports(module);
    if (entries.empty()) {
        *error = "the module does not import ShellExecuteW from shell32.dll";
        return false;
    }
    for (void** entry : entries) {
        if (!WriteImport(entry, reinterpret_cast<void*>(&LaunchThroughHost))) {
            *error =
                "cannot write the module's import of ShellExecuteW: " + Platform::ErrorText(GetLastError());
            return false;
        }
    }
    return true;
}

}  // namespace hostsim
