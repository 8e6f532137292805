// hostsim's view of the module's browser launches on Windows: the module calls ShellExecuteW, and hostsim
// points the module's import of it at the launcher set through Platform::Control::SetLauncher (which the
// host library's own ShellExecuteW reaches on other systems); the launcher passes each call on to the
// system's ShellExecuteW. Windows builds only.
#pragma once

#include <string>
#include <vector>

#include "Win32Interface.hpp"
// After Win32Interface.hpp, which leaves it out.
#include <shellapi.h>

namespace hostsim {

// Points every import entry of ShellExecuteW in `module` (a handle from LoadLibraryW) at the launcher.
// Returns false with *error saying why when the module imports no ShellExecuteW or an entry cannot be
// written. The entries stay redirected until the module is freed.
bool RedirectShellImport(HMODULE module, std::string* error);

// The import entries of `module` that hold shell32's ShellExecuteW (none when it imports no such call).
std::vector<void**> ShellExecuteImports(HMODULE module);
// Writes `function` into the import entry; false (GetLastError says why) when the page cannot be written.
bool WriteImport(void** entry, void* function);

}  // namespace hostsim
