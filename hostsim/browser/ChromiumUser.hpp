// The person at hostsim's real browser: every URL the add-on launches opens in a tab of one headless
// Chromium; on a login page the person clicks the page's own "Confirm" button; other pages stay open in
// their tabs. Optionally keeps a screenshot of each page once it has been dealt with.
#pragma once

#include <memory>
#include <string>

#include "Chromium.hpp"

namespace hostsim {

struct Visit {
    bool ok = false;
    std::string tab;         // the tab's WebDriver handle, empty when no tab was opened
    std::string screenshot;  // the PNG file written, empty when none
    std::string outcome;     // what happened, for the account
};

class ChromiumUser {
public:
    // The browser starts at the first visit, so a run that launches nothing starts none. `screenshotDir`
    // empty: no screenshots.
    ChromiumUser(ChromiumOptions options, std::string screenshotDir);
    ~ChromiumUser();  // Stop

    // Opens `url` in a new tab and deals with the page. `number` names the screenshot file.
    // Never throws: a failure is told in the result.
    Visit Open(const std::string& url, int number);
    // Stops the browser; the next Open starts a new one.
    void Stop();
    // The running browser, or null.
    Chromium* Browser() { return browser_.get(); }

private:
    Visit Visiting(const std::string& url, int number, std::string* restarted);
    std::unique_ptr<Chromium> Start(std::string* restarted);
    void ConfirmLogin(Visit* visit);
    void SettleAndShoot(const std::string& kind, int number, Visit* visit);

    ChromiumOptions options_;
    std::string screenshotDir_;
    std::unique_ptr<Chromium> browser_;
};

}  // namespace hostsim
