// ShellExecuteW calls caught through the host library's launcher, which serves the whole process.
#include "PlatformControl.hpp"
#include "ShellCatch.hpp"

namespace testsupport {

void CatchShell(ShellCatcher catcher, void*) {
    Platform::Control::SetLauncher([catcher](const Platform::Control::ShellRequest& request) {
        return catcher(ShellCall{request.operation, request.file, request.showCommand, false, false, false});
    });
}

void StopCatchingShell() {
    Platform::Control::SetLauncher(nullptr);
}

}  // namespace testsupport
