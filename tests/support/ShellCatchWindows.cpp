// ShellExecuteW calls caught at the Windows level: the entry of ShellExecuteW in a module's import address
// table is pointed at a recorder (with the simulated host's import writer), and put back afterwards. The
// module's code runs unchanged and calls what it believes is the shell.
#include <windows.h>
// After windows.h.
#include <shellapi.h>

#include <mutex>
#include <stdexcept>
#include <vector>

#include "ShellCatch.hpp"
#include "browser/ShellImport.hpp"

namespace testsupport {

namespace {

constexpr INT_PTR kStarted = 42;
constexpr INT_PTR kNoAssociation = SE_ERR_NOASSOC;

std::mutex catchMutex;
ShellCatcher current;
// The patched import entries and what they held.
std::vector<std::pair<void**, void*>> patched;

std::u16string Copy(LPCWSTR text) {
    return text != nullptr ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

HINSTANCE WINAPI CaughtShellExecuteW(HWND owner, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters,
                                     LPCWSTR directory, INT showCommand) {
    ShellCatcher catcher;
    {
        std::lock_guard<std::mutex> lock(catchMutex);
        catcher = current;
    }
    const ShellCall call{Copy(operation),       Copy(file),          showCommand, owner != nullptr,
                         parameters != nullptr, directory != nullptr};
    const bool started = catcher && catcher(call);
    return reinterpret_cast<HINSTANCE>(started ? kStarted : kNoAssociation);
}

}  // namespace

void CatchShell(ShellCatcher catcher, void* module) {
    std::lock_guard<std::mutex> lock(catchMutex);
    current = std::move(catcher);
    HMODULE target = module != nullptr ? static_cast<HMODULE>(module) : GetModuleHandleW(nullptr);
    const std::vector<void**> entries = hostsim::ShellExecuteImports(target);
    // A test program that does not link the module's browser code has nothing to catch; a module
    // named explicitly must import the call.
    if (entries.empty() && module != nullptr)
        throw std::logic_error("CatchShell: the module does not import ShellExecuteW");
    for (void** entry : entries) {
        patched.emplace_back(entry, *entry);
        hostsim::WriteImport(entry, reinterpret_cast<void*>(&CaughtShellExecuteW));
    }
}

void StopCatchingShell() {
    std::lock_guard<std::mutex> lock(catchMutex);
    for (auto it = patched.rbegin(); it != patched.rend(); ++it) hostsim::WriteImport(it->first, it->second);
    patched.clear();
    current = nullptr;
}

}  // namespace testsupport
