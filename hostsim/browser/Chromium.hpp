// hostsim's real browser: one headless Chromium, driven through chromedriver (WebDriver), with a new
// profile in a temporary folder, host names routed to loopback and the web application's verified key
// pinned.
#pragma once

#include <sys/types.h>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "WebDriver.hpp"

namespace hostsim {

// Connections to host:port go to toAddress:toPort instead.
struct BrowserRoute {
    std::string host;
    std::uint16_t port = 443;
    std::string toAddress;
    std::uint16_t toPort = 0;
};

struct ChromiumOptions {
    std::string program = "/usr/lib/chromium/chromium";  // the browser itself, not Debian's shell wrapper
    std::string driver = "/usr/bin/chromedriver";
    // Routed host names; they are the only names the browser resolves. For each, the server's certificate
    // is verified against trustPems (and the system's authorities) before the browser starts, and the
    // browser accepts only that certificate's key for it.
    std::vector<BrowserRoute> routes;
    std::vector<std::string> trustPems;
    int windowWidth = 1200;
    int windowHeight = 900;
    std::chrono::milliseconds commandTimeout{30000};
};

// chromedriver or the browser did not start (as opposed to a server whose certificate fails, which
// fails the same way every time). Chromium sometimes exits at its start on a busy machine.
class BrowserStartError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Chromium {
public:
    // Starts chromedriver and, through it, the browser. Throws std::runtime_error saying what failed,
    // BrowserStartError when the driver or the browser did not start; nothing is left running then.
    explicit Chromium(ChromiumOptions options);
    Chromium(const Chromium&) = delete;
    Chromium& operator=(const Chromium&) = delete;
    ~Chromium();  // Stop

    // Closes the browser, stops chromedriver (and every process it started) and removes the profile.
    // Never throws; further use throws.
    void Stop();
    bool Running() const { return driverPid_ > 0; }

    // Opens `url` in a tab of its own (the first one takes the blank start tab), makes it the current
    // tab and waits for the page to load. Returns the tab's handle.
    std::string Open(const std::string& url);
    void ShowTab(const std::string& handle) { driver_->SwitchToWindow(handle); }
    // Evaluates `condition` (a script body returning true when it holds) in the current tab every 50 ms
    // until it holds or `timeout` has passed; returns whether it held.
    bool WaitUntil(const std::string& condition, std::chrono::milliseconds timeout);
    // The WebDriver commands, acting on the current tab.
    WebDriver& Driver() { return *driver_; }
    const std::string& ProfileFolder() const { return profile_; }

private:
    void StartDriver();
    std::vector<std::string> BrowserArguments(const std::vector<std::string>& pins) const;

    ChromiumOptions options_;
    std::string root_;     // temporary folder of this run: home/, tmp/ and profile/
    std::string profile_;  // root_/profile
    pid_t driverPid_ = 0;  // also the process group of the driver and the browser
    std::unique_ptr<WebDriver> driver_;
    bool blankTabUsed_ = false;
};

// For programs: SIGINT, SIGTERM and SIGHUP end every running browser's processes before the program ends
// as the signal would have ended it. (The browser runs in a process group of its own, so a Ctrl-C at the
// terminal does not reach it.)
void StopBrowsersOnSignals();

}  // namespace hostsim
