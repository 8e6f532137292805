// Starting and collecting the browser programs of hostsim on Windows: CreateProcessW with a command line
// quoted as the C runtime splits it, and no shell.
#include "BrowserLauncher.hpp"

#include <windows.h>

#include "WindowsText.hpp"

namespace hostsim {

namespace {

// One argument as the C runtime's command-line splitter reads it back.
std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

}  // namespace

bool BrowserModeAvailable(BrowserMode mode, std::string* why) {
    if (mode == BrowserMode::XdgOpen) {
        *why =
            "--browser xdg-open is not available on Windows (there is no xdg-open; name a program instead)";
        return false;
    }
    if (mode == BrowserMode::Chromium) {
        *why = "--browser chromium is not available on Windows (hostsim drives Debian's Chromium only)";
        return false;
    }
    return true;
}

bool BrowserLauncher::Spawn(const std::vector<std::string>& argv, std::string* outcome) {
    std::wstring commandLine;
    for (const std::string& argument : argv)
        commandLine += (commandLine.empty() ? L"" : L" ") + QuoteArgument(Platform::Widen(argument));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        *outcome = "cannot start " + argv[0] + ": " + Platform::ErrorText(GetLastError());
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    children_.push_back(static_cast<pid_t>(process.dwProcessId));
    *outcome = "handed to " + argv[0] + " (process " + std::to_string(process.dwProcessId) + ")";
    return true;
}

void BrowserLauncher::Reap(bool wait) {
    std::vector<pid_t> running;
    for (const pid_t id : children_) {
        const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
        if (process == nullptr)
            continue;  // gone already
        if (WaitForSingleObject(process, wait ? INFINITE : 0) == WAIT_TIMEOUT)
            running.push_back(id);
        CloseHandle(process);
    }
    children_ = std::move(running);
}

}  // namespace hostsim
