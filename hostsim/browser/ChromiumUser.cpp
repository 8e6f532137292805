// Visiting launched pages in the real browser: load, confirm a login, keep a screenshot.
#include "ChromiumUser.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "BrowserLauncher.hpp"

namespace hostsim {

namespace {

using namespace std::chrono_literals;

constexpr auto kPageTime = 15s;

constexpr const char* kConfirmButton = "//button[normalize-space(.)='Confirm']";
// The status and the main heading of the document in the current tab.
constexpr const char* kPageState =
    "const entry = performance.getEntriesByType('navigation')[0];"
    "const heading = document.querySelector('h1');"
    "return {status: entry ? entry.responseStatus : 0, method: entry ? entry.type : '',"
    "        heading: heading ? heading.textContent.trim() : '', path: location.pathname};";
constexpr const char* kLoaded = "return document.readyState === 'complete';";
constexpr const char* kImagesLoaded =
    "return document.readyState === 'complete' && Array.from(document.images).every(i => i.complete);";

std::string Describe(const nlohmann::json& state) {
    return "answered " + std::to_string(state.value("status", 0)) + ": \"" + state.value("heading", "") +
           "\"";
}

}  // namespace

ChromiumUser::ChromiumUser(ChromiumOptions options, std::string screenshotDir)
    : options_(std::move(options)), screenshotDir_(std::move(screenshotDir)) {}

ChromiumUser::~ChromiumUser() {
    Stop();
}

void ChromiumUser::Stop() {
    browser_.reset();
}

Visit ChromiumUser::Open(const std::string& url, int number) {
    std::string restarted;
    Visit visit = Visiting(url, number, &restarted);
    visit.outcome = restarted + visit.outcome;
    return visit;
}

Visit ChromiumUser::Visiting(const std::string& url, int number, std::string* restarted) {
    Visit visit;
    try {
        if (!browser_)
            browser_ = Start(restarted);
        visit.tab = browser_->Open(url);
        if (!browser_->WaitUntil(kLoaded, kPageTime)) {
            visit.outcome = "the page did not finish loading";
            return visit;
        }
        if (!LoginIdOf(url).empty()) {
            ConfirmLogin(&visit);
            if (visit.ok)
                SettleAndShoot("login", number, &visit);
            return visit;
        }
        const nlohmann::json state = browser_->Driver().Execute(kPageState);
        visit.ok = state.value("status", 0) == 200;
        visit.outcome = "opened in a tab, " + Describe(state);
        SettleAndShoot(state.value("path", "") == "/" ? "live" : "page", number, &visit);
    } catch (const std::exception& e) {
        visit.ok = false;
        visit.outcome = std::string("browser failed: ") + e.what();
    }
    return visit;
}

// A browser that exits at its start is started once more; `restarted` tells why, for the account.
std::unique_ptr<Chromium> ChromiumUser::Start(std::string* restarted) {
    try {
        return std::make_unique<Chromium>(options_);
    } catch (const BrowserStartError& e) {
        *restarted = std::string("started the browser again after: ") + e.what() + "; ";
    }
    return std::make_unique<Chromium>(options_);
}

void ChromiumUser::ConfirmLogin(Visit* visit) {
    WebDriver& driver = browser_->Driver();
    const nlohmann::json page = driver.Execute(kPageState);
    if (page.value("status", 0) != 200) {
        visit->outcome = "login not confirmed: the login page " + Describe(page);
        return;
    }
    // A mark on the login page's document: it is gone once the confirmation's answer has replaced it.
    driver.Execute("window.hostsimClicked = true;");
    driver.Click(driver.FindElementByXPath(kConfirmButton));
    if (!browser_->WaitUntil(
            "return window.hostsimClicked === undefined && document.readyState === 'complete';", kPageTime)) {
        visit->outcome = "login not confirmed: clicking \"Confirm\" led to no new page";
        return;
    }
    const nlohmann::json answer = driver.Execute(kPageState);
    visit->ok = answer.value("status", 0) == 200;
    visit->outcome = std::string(visit->ok ? "login confirmed" : "login not confirmed") +
                     ": clicked \"Confirm\", the page " + Describe(answer);
}

void ChromiumUser::SettleAndShoot(const std::string& kind, int number, Visit* visit) {
    if (screenshotDir_.empty())
        return;
    // A page is photographed once its images are in, or after kPageTime with what it has.
    browser_->WaitUntil(kImagesLoaded, kPageTime);
    char name[64];
    std::snprintf(name, sizeof name, "%02d-%s.png", number, kind.c_str());
    std::filesystem::create_directories(screenshotDir_);
    const std::string path = (std::filesystem::path(screenshotDir_) / name).string();
    const std::string png = browser_->Driver().Screenshot();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(png.data(), static_cast<std::streamsize>(png.size()));
    file.close();
    if (!file) {
        visit->outcome += "; cannot write the screenshot " + path;
        return;
    }
    visit->screenshot = path;
    visit->outcome += "; screenshot " + path;
}

}  // namespace hostsim
