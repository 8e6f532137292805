// The browser launcher that ShellExecuteW calls reach: through the host library's own ShellExecuteW
// where there is no Windows API, through the simulated host's redirection of a module's import on Windows.
#include <cstdio>
#include <mutex>

#include "PlatformControl.hpp"

namespace Platform::Control {

namespace {

constexpr std::intptr_t kShellOk = 42;
constexpr std::intptr_t kShellNoAssociation = 31;  // SE_ERR_NOASSOC

std::u16string Copy(const char16_t* text) {
    return text != nullptr ? std::u16string(text) : std::u16string();
}

std::mutex launcherMutex;
Launcher& CurrentLauncher() {
    static Launcher launcher;
    return launcher;
}

}  // namespace

void SetLauncher(Launcher launcher) {
    std::lock_guard<std::mutex> lock(launcherMutex);
    CurrentLauncher() = std::move(launcher);
}

std::intptr_t Launch(const ShellRequest& request) {
    Launcher launcher;
    {
        std::lock_guard<std::mutex> lock(launcherMutex);
        launcher = CurrentLauncher();
    }
    if (!launcher) {
        std::fputs("ShellExecuteW: no browser launcher is set; nothing was opened\n", stderr);
        return kShellNoAssociation;
    }
    return launcher(request) ? kShellOk : kShellNoAssociation;
}

std::intptr_t Launch(const char16_t* operation, const char16_t* file, const char16_t* parameters,
                     const char16_t* directory, int showCommand) {
    return Launch(ShellRequest{Copy(operation), Copy(file), showCommand, Copy(parameters), Copy(directory)});
}

}  // namespace Platform::Control
