// Launch recording and the ways hostsim can open a URL.
#include "BrowserLauncher.hpp"

#include <ostream>
#include <sstream>

#include "LaunchRecord.hpp"
#include "SystemShell.hpp"
#include "Text.hpp"

namespace hostsim {

namespace {

std::vector<std::string> SplitCommand(const std::string& command) {
    std::istringstream in(command);
    std::vector<std::string> parts;
    for (std::string part; in >> part;) parts.push_back(part);
    return parts;
}

}  // namespace

BrowserMode ParseBrowserMode(const std::string& value, std::string* command) {
    command->clear();
    if (value == "none")
        return BrowserMode::None;
    if (value == "xdg-open")
        return BrowserMode::XdgOpen;
    if (value == "confirm-login")
        return BrowserMode::ConfirmLogin;
    if (value == "chromium")
        return BrowserMode::Chromium;
    *command = value;
    return BrowserMode::Command;
}

std::string LoginIdOf(const std::string& url) {
    const auto scheme = url.find("://");
    if (scheme == std::string::npos)
        return std::string();
    const auto pathStart = url.find('/', scheme + 3);
    if (pathStart == std::string::npos)
        return std::string();
    const auto queryStart = url.find('?', pathStart);
    if (queryStart == std::string::npos || url.compare(pathStart, queryStart - pathStart, "/login") != 0)
        return std::string();
    std::istringstream query(url.substr(queryStart + 1));
    for (std::string pair; std::getline(query, pair, '&');) {
        if (pair.compare(0, 4, "eid=") == 0)
            return pair.substr(4);
    }
    return std::string();
}

BrowserLauncher::BrowserLauncher(BrowserMode mode, std::string command, std::ostream* log)
    : mode_(mode), command_(SplitCommand(command)), log_(log) {}

BrowserLauncher::~BrowserLauncher() {
    StopBrowser();
    Reap(false);
}

void BrowserLauncher::SetChromium(ChromiumOptions options, std::string screenshotDir) {
    chromium_ = std::make_unique<ChromiumUser>(std::move(options), std::move(screenshotDir));
}

void BrowserLauncher::StopBrowser() {
    if (chromium_)
        chromium_->Stop();
}

void BrowserLauncher::SetMode(BrowserMode mode, std::string command) {
    mode_ = mode;
    command_ = SplitCommand(command);
}

bool BrowserLauncher::Open(const Platform::Control::ShellRequest& request) {
    Launch launch;
    launch.operation = request.operation;
    launch.file = request.file;
    launch.url = ToUtf8(request.file);
    launch.showCommand = request.showCommand;
    if (log_ != nullptr)
        *log_ << "browser: " << ToUtf8(request.operation) << " " << launch.url << "\n";
    if (HandOver(launch, request))
        Act(launch);
    if (log_ != nullptr)
        *log_ << "browser: " << launch.outcome << "\n";
    launches_.push_back(std::move(launch));
    return launches_.back().started;
}

// The system's handler receives the URL first, as it would on the user's machine; what the mode says is
// done with the URL only once the handler has it exactly as launched.
bool BrowserLauncher::HandOver(Launch& launch, const Platform::Control::ShellRequest& request) {
    if (recordFolder_.empty()) {
        launch.outcome = "not opened: hostsim has no folder for launch records";
        return false;
    }
    if (!recordFolderReady_) {
        std::error_code failure;
        std::filesystem::remove_all(recordFolder_, failure);
        if (!failure)
            std::filesystem::create_directories(recordFolder_, failure);
        if (failure) {
            launch.outcome = "not opened: cannot make " + Utf8Of(recordFolder_) + ": " + failure.message();
            return false;
        }
        recordFolderReady_ = true;
    }
    const std::filesystem::path record = LaunchRecordPath(recordFolder_, ++recordCount_);
    std::string why;
    const std::optional<std::u16string> received = HandToSystemHandler(request, record, &why);
    if (!received) {
        launch.outcome = why;
        return false;
    }
    launch.record = record;
    if (*received != request.file) {
        launch.outcome = "not opened: the handler received " + ToUtf8(*received) + ", not the URL launched";
        return false;
    }
    return true;
}

void BrowserLauncher::Act(Launch& launch) {
    switch (mode_) {
        case BrowserMode::None:
            launch.started = true;
            launch.outcome = "recorded, not opened";
            break;
        case BrowserMode::XdgOpen:
            launch.started = Spawn({"xdg-open", launch.url}, &launch.outcome);
            break;
        case BrowserMode::Command: {
            if (command_.empty()) {
                launch.outcome = "no browser command given";
                break;
            }
            std::vector<std::string> argv = command_;
            argv.push_back(launch.url);
            launch.started = Spawn(argv, &launch.outcome);
            break;
        }
        case BrowserMode::ConfirmLogin:
            launch.started = true;
            if (LoginIdOf(launch.url).empty()) {
                launch.outcome = "opened; not a login page, nothing to confirm";
            } else {
                launch.outcome = "login confirmation pending";
                pending_.push_back(launches_.size());
            }
            break;
        case BrowserMode::Chromium:
            // Like the shell, this returns at once; the browser opens the page when hostsim is idle.
            launch.started = true;
            launch.outcome = "opening pending";
            pending_.push_back(launches_.size());
            break;
    }
}

int BrowserLauncher::RunPending() {
    const std::vector<std::size_t> pending = std::move(pending_);
    pending_.clear();
    for (std::size_t index : pending) {
        Launch& launch = launches_[index];
        if (mode_ == BrowserMode::Chromium) {
            if (!chromium_)
                chromium_ = std::make_unique<ChromiumUser>(ChromiumOptions{}, std::string());
            const Visit visit = chromium_->Open(launch.url, static_cast<int>(index) + 1);
            launch.tab = visit.tab;
            launch.screenshot = visit.screenshot;
            launch.outcome = visit.outcome;
        } else if (!confirmer_) {
            launch.outcome = "login not confirmed: no HTTP client for the browser";
        } else {
            std::string outcome;
            const bool confirmed = confirmer_(launch.url, &outcome);
            launch.outcome = (confirmed ? "login confirmed: " : "login not confirmed: ") + outcome;
        }
        if (log_ != nullptr)
            *log_ << "browser: " << launch.outcome << "\n";
    }
    Reap(false);
    return static_cast<int>(pending.size());
}

void BrowserLauncher::WaitForChildren() {
    Reap(true);
}

}  // namespace hostsim
