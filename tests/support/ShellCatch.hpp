// Catches the ShellExecuteW calls of the code under test, so tests see the exact UTF-16 URL the module
// hands to the shell and no browser starts.
#pragma once

#include <functional>
#include <string>

namespace testsupport {

struct ShellCall {
    std::u16string operation;  // as passed, e.g. u"open"
    std::u16string file;       // the URL, UTF-16 exactly as passed
    int showCommand = 0;
    bool owner = false;       // a window was passed
    bool parameters = false;  // parameters were passed
    bool directory = false;   // a working folder was passed
};

// Answers true when the launch is to count as started.
using ShellCatcher = std::function<bool(const ShellCall& call)>;

// Sends every ShellExecuteW call of `module` to `catcher` until StopCatchingShell. `module` is the
// module's handle as the system loader returned it; nullptr stands for the test program itself. On
// Windows this redirects the module's import of ShellExecuteW; elsewhere the host library's launcher
// receives the calls of the whole process.
void CatchShell(ShellCatcher catcher, void* module = nullptr);
void StopCatchingShell();

}  // namespace testsupport
