// hostsim's browser: receives every ShellExecuteW of the process, hands it to the system's handler of the
// URL (which keeps what it received as a launch record), and either leaves it there, hands the URL to the
// system's browser or to a command the user names, plays a person who confirms the web application's
// login page, or opens it in a real headless Chromium where a person confirms.
#pragma once

#include <sys/types.h>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "ChromiumUser.hpp"
#include "PlatformControl.hpp"

namespace hostsim {

enum class BrowserMode {
    None,          // record and print only
    XdgOpen,       // xdg-open URL
    Command,       // COMMAND URL, without a shell
    ConfirmLogin,  // a person confirms /login?eid=... pages over HTTPS when hostsim is idle
    Chromium,      // every URL opens in a tab of one headless Chromium when hostsim is idle; a person
                   // clicks "Confirm" on login pages
};

struct Launch {
    std::u16string operation;  // as handed over
    std::u16string file;       // the URL, UTF-16 as handed over
    std::string url;           // the same as UTF-8
    int showCommand = 0;
    std::filesystem::path record;  // what the system's handler received (empty when nothing was handed over)
    bool started = false;          // what ShellExecuteW was told
    std::string outcome;           // what the browser did with it, for the account
    std::string tab;               // Chromium: the WebDriver handle of the tab it opened in
    std::string screenshot;        // Chromium: the screenshot kept of it
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

    // The Platform::Control::Launcher behaviour: records the request, hands it to the system's handler and
    // starts what the mode says. Returns whether the launch was started: false when the handler could not
    // have it or received another URL than the one launched.
    bool Open(const Platform::Control::ShellRequest& request);

    // Where the run's launch records go ("01.utf16le", ...); the folder is emptied at the run's first
    // launch. Must be set before the first launch.
    void SetRecordFolder(std::filesystem::path folder) { recordFolder_ = std::move(folder); }

    // Runs the login confirmations (or, for Chromium, the visits) launched since the last call, then
    // collects finished child processes. Returns the number of actions run.
    int RunPending();
    // Waits for every child process started so far.
    void WaitForChildren();

    void SetLoginConfirmer(LoginConfirmer confirmer) { confirmer_ = std::move(confirmer); }
    void SetMode(BrowserMode mode, std::string command);
    // How Chromium mode starts its browser, and where it keeps screenshots (empty: none).
    void SetChromium(ChromiumOptions options, std::string screenshotDir);
    // The real browser of Chromium mode, or null while none runs.
    Chromium* RealBrowser() { return chromium_ ? chromium_->Browser() : nullptr; }
    // Stops the real browser, if one runs.
    void StopBrowser();
    BrowserMode Mode() const { return mode_; }

    const std::vector<Launch>& Launches() const { return launches_; }
    void ClearLaunches() { launches_.clear(); }

private:
    bool Spawn(const std::vector<std::string>& argv, std::string* outcome);
    bool HandOver(Launch& launch, const Platform::Control::ShellRequest& request);
    void Act(Launch& launch);
    void Reap(bool wait);

    BrowserMode mode_;
    std::vector<std::string> command_;
    std::ostream* log_;
    LoginConfirmer confirmer_;
    std::vector<Launch> launches_;
    std::filesystem::path recordFolder_;
    bool recordFolderReady_ = false;
    std::size_t recordCount_ = 0;       // records made this run; ClearLaunches does not start them again
    std::vector<std::size_t> pending_;  // launches waiting for hostsim to be idle: indices into launches_
    std::vector<pid_t> children_;       // process ids
    std::unique_ptr<ChromiumUser> chromium_;
};

// Parses a --browser value: "none", "xdg-open", "confirm-login", "chromium", or any other text as a command.
BrowserMode ParseBrowserMode(const std::string& value, std::string* command);
// Whether this platform's hostsim has `mode`; false with *why saying what is missing when not (Windows
// has no xdg-open and no Chromium of its own here).
bool BrowserModeAvailable(BrowserMode mode, std::string* why);

// The eid of a login-page URL (path "/login", query "eid=..."), or empty when the URL is not one.
std::string LoginIdOf(const std::string& url);

}  // namespace hostsim
