// hostsim's browser: receives every ShellExecuteW of the process, records it, and either leaves it there,
// hands the URL to the system's browser or to a command the user names, or plays a person who confirms
// the web application's login page.
#pragma once

#include <sys/types.h>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "PlatformControl.hpp"

namespace hostsim {

enum class BrowserMode {
    None,          // record and print only
    XdgOpen,       // xdg-open URL
    Command,       // COMMAND URL, without a shell
    ConfirmLogin,  // a person confirms /login?eid=... pages over HTTPS when hostsim is idle
};

struct Launch {
    std::u16string operation;  // as handed over
    std::u16string file;       // the URL, UTF-16 as handed over
    std::string url;           // the same as UTF-8
    int showCommand = 0;
    bool started = false;  // what ShellExecuteW was told
    std::string outcome;   // what the browser did with it, for the account
};

// Confirms the login page at `url` as a person in a browser would; returns false with *outcome saying why
// when the page cannot be had or the confirmation is refused, true with *outcome describing the answer.
using LoginConfirmer = std::function<bool(const std::string& url, std::string* outcome)>;

class BrowserLauncher {
public:
    // `command` is used in Command mode (split at spaces into a program and its arguments); `log`, when not
    // null, receives one line per launch and per outcome.
    BrowserLauncher(BrowserMode mode, std::string command, std::ostream* log);
    BrowserLauncher(const BrowserLauncher&) = delete;
    BrowserLauncher& operator=(const BrowserLauncher&) = delete;
    ~BrowserLauncher();

    // The Platform::Control::Launcher behaviour: records the request and starts what the mode says.
    // Returns whether the launch was started.
    bool Open(const Platform::Control::ShellRequest& request);

    // Runs the login confirmations launched since the last call, then collects finished child processes.
    // Returns the number of confirmations run.
    int RunPending();
    // Waits for every child process started so far.
    void WaitForChildren();

    void SetLoginConfirmer(LoginConfirmer confirmer) { confirmer_ = std::move(confirmer); }
    void SetMode(BrowserMode mode, std::string command);
    BrowserMode Mode() const { return mode_; }

    const std::vector<Launch>& Launches() const { return launches_; }
    void ClearLaunches() { launches_.clear(); }

private:
    bool Spawn(const std::vector<std::string>& argv, std::string* outcome);
    void Reap(bool wait);

    BrowserMode mode_;
    std::vector<std::string> command_;
    std::ostream* log_;
    LoginConfirmer confirmer_;
    std::vector<Launch> launches_;
    std::vector<std::size_t> pendingConfirmations_;  // indices into launches_
    std::vector<pid_t> children_;
};

// Parses a --browser value: "none", "xdg-open", "confirm-login", or any other text as a command.
BrowserMode ParseBrowserMode(const std::string& value, std::string* command);

// The eid of a login-page URL (path "/login", query "eid=..."), or empty when the URL is not one.
std::string LoginIdOf(const std::string& url);

}  // namespace hostsim
