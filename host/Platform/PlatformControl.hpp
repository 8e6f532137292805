// Control of the Windows-call stand-in: the browser launcher that ShellExecuteW hands URLs to.
#pragma once

#include <functional>
#include <string>

namespace Platform::Control {

struct ShellRequest {
    std::u16string operation;  // as the caller passed it, e.g. u"open"
    std::u16string file;       // the URL, UTF-16 exactly as passed
    int showCommand = 0;
};

// Receives every ShellExecuteW call. Returns true when the launch was started. Without a launcher,
// ShellExecuteW fails with SE_ERR_NOASSOC (31) and writes why to standard error.
using Launcher = std::function<bool(const ShellRequest& request)>;
void SetLauncher(Launcher launcher);

}  // namespace Platform::Control
