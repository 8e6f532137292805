// Starting and stopping chromedriver with its browser, and the few page-level steps hostsim needs.
#include "Chromium.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "ServerKeyPin.hpp"

extern char** environ;

namespace hostsim {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kDriverStartTime = 20s;
constexpr auto kStopTime = 5s;
constexpr auto kPollInterval = 50ms;

// A proxy setting of the environment (http_proxy, HTTPS_PROXY, all_proxy, no_proxy, SOCKS_SERVER, ...),
// which Chromium follows outside a desktop session.
bool IsProxySetting(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string suffix = "_proxy";
    return name.rfind("socks_", 0) == 0 ||
           (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0);
}

// The environment of the driver and the browser: the caller's, with the home, configuration and temporary
// folders moved into this run's folder, so that nothing of the person's own browser is read or written
// and nothing is left behind, and without proxy settings: a proxy would take the browser's traffic
// around the routes.
std::vector<std::string> DriverEnvironment(const std::string& root) {
    static const char* const kMoved[] = {"HOME", "TMPDIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME",
                                         "XDG_DATA_HOME"};
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        if (std::find(std::begin(kMoved), std::end(kMoved), name) == std::end(kMoved) &&
            !IsProxySetting(name))
            environment.push_back(text);
    }
    const std::string home = root + "/home";
    environment.push_back("HOME=" + home);
    environment.push_back("TMPDIR=" + root + "/tmp");
    environment.push_back("XDG_CONFIG_HOME=" + home + "/.config");
    environment.push_back("XDG_CACHE_HOME=" + home + "/.cache");
    environment.push_back("XDG_DATA_HOME=" + home + "/.local/share");
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Reads what the driver prints until it names its port, for at most kDriverStartTime.
std::uint16_t ReadDriverPort(int fd) {
    const std::string marker = "started successfully on port ";
    std::string printed;
    const auto deadline = Clock::now() + kDriverStartTime;
    while (Clock::now() < deadline) {
        pollfd entry{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (poll(&entry, 1, static_cast<int>(left.count()) + 1) <= 0)
            continue;
        char buffer[512];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        printed.append(buffer, static_cast<std::size_t>(got));
        const auto at = printed.find(marker);
        if (at != std::string::npos && printed.find('.', at + marker.size()) != std::string::npos)
            return static_cast<std::uint16_t>(std::stoul(printed.substr(at + marker.size())));
    }
    throw BrowserStartError("chromedriver did not say which port it listens on" +
                            (printed.empty() ? std::string() : ": " + printed));
}

// The process groups of the running browsers, for the signal handler: a fixed table of atomics, which a
// handler may read.
constexpr int kMaxBrowsers = 8;
std::atomic<pid_t> runningGroups[kMaxBrowsers];

void RememberGroup(pid_t group) {
    for (auto& slot : runningGroups) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, group))
            return;
    }
}

void ForgetGroup(pid_t group) {
    for (auto& slot : runningGroups) {
        pid_t expected = group;
        slot.compare_exchange_strong(expected, 0);
    }
}

void EndBrowsersAndDie(int signal) {
    for (auto& slot : runningGroups) {
        const pid_t group = slot.load();
        if (group > 0)
            kill(-group, SIGKILL);
    }
    ::signal(signal, SIG_DFL);
    raise(signal);
}

}  // namespace

void StopBrowsersOnSignals() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::signal(signal, EndBrowsersAndDie);
}

Chromium::Chromium(ChromiumOptions options) : options_(std::move(options)) {
    std::vector<std::string> pins;
    for (const BrowserRoute& route : options_.routes) {
        pins.push_back(
            VerifiedServerKeyPin(route.host, route.toAddress, route.toPort, options_.trustPems, 10s));
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "hostsim-chromium-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error(std::string("cannot make a temporary folder: ") + std::strerror(errno));
    root_ = pattern;
    profile_ = root_ + "/profile";
    try {
        for (const char* folder : {"/home", "/tmp", "/profile"})
            std::filesystem::create_directories(root_ + folder);
        StartDriver();
        nlohmann::json chromeOptions = {{"binary", options_.program}, {"args", BrowserArguments(pins)}};
        const auto timeout = options_.commandTimeout.count();
        try {
            driver_->StartSession(
                {{"browserName", "chrome"},
                 {"acceptInsecureCerts", false},
                 {"pageLoadStrategy", "normal"},
                 {"timeouts", {{"pageLoad", timeout}, {"script", timeout}, {"implicit", 0}}},
                 {"goog:chromeOptions", chromeOptions}});
        } catch (const WebDriverError& e) {
            throw BrowserStartError(e.what());
        }
    } catch (...) {
        Stop();
        throw;
    }
}

Chromium::~Chromium() {
    Stop();
}

std::vector<std::string> Chromium::BrowserArguments(const std::vector<std::string>& pins) const {
    std::vector<std::string> args = {"--headless",
                                     "--no-sandbox",
                                     "--disable-gpu",
                                     "--disable-quic",
                                     "--no-proxy-server",
                                     "--no-first-run",
                                     "--no-default-browser-check",
                                     "--disable-background-networking",
                                     "--disable-component-update",
                                     "--disable-sync",
                                     "--disable-breakpad",
                                     "--disable-dev-shm-usage",
                                     "--hide-scrollbars",
                                     "--force-device-scale-factor=1",
                                     "--lang=en-US",
                                     "--user-data-dir=" + profile_,
                                     "--window-size=" + std::to_string(options_.windowWidth) + "," +
                                         std::to_string(options_.windowHeight)};
    // Routed names go to their addresses; every other name fails to resolve, so no page reaches beyond
    // what the routes name.
    std::string rules;
    for (const BrowserRoute& route : options_.routes)
        rules += "MAP " + route.host + ":" + std::to_string(route.port) + " " + route.toAddress + ":" +
                 std::to_string(route.toPort) + ", ";
    args.push_back("--host-resolver-rules=" + rules + "MAP * ~NOTFOUND");
    if (!pins.empty()) {
        std::string list;
        for (const std::string& pin : pins) list += (list.empty() ? "" : ",") + pin;
        args.push_back("--ignore-certificate-errors-spki-list=" + list);
    }
    return args;
}

void Chromium::StartDriver() {
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("cannot make a pipe: ") + std::strerror(errno));
    std::vector<std::string> argv = {options_.driver, "--port=0",
                                     "--log-path=" + root_ + "/chromedriver.log"};
    std::vector<std::string> environment = DriverEnvironment(root_);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group, which the browser's processes join: Stop ends them all together.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0].c_str(), &actions, &attributes, Pointers(argv).data(),
                                    Pointers(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(output[1]);
    if (spawned != 0) {
        close(output[0]);
        throw std::runtime_error("cannot start " + options_.driver + ": " + std::strerror(spawned));
    }
    driverPid_ = pid;
    RememberGroup(pid);
    std::uint16_t port = 0;
    try {
        port = ReadDriverPort(output[0]);
    } catch (...) {
        close(output[0]);
        throw;
    }
    // The driver prints little after its start; nobody reads it any more.
    close(output[0]);
    driver_ = std::make_unique<WebDriver>(port, options_.commandTimeout);
    const auto deadline = Clock::now() + kDriverStartTime;
    while (!driver_->Ready()) {
        if (Clock::now() >= deadline)
            throw BrowserStartError("chromedriver on port " + std::to_string(port) + " never became ready");
        std::this_thread::sleep_for(kPollInterval);
    }
}

void Chromium::Stop() {
    if (driver_ && driver_->HasSession()) {
        try {
            driver_->EndSession();
        } catch (const std::exception&) {
            // The processes are ended below all the same.
        }
    }
    // The driver removes its own temporary folders when it exits of its own accord, so it is asked to
    // first; a signal ends it only when it does not within kStopTime.
    if (driver_)
        driver_->ShutDownDriver();
    driver_.reset();
    if (driverPid_ > 0) {
        auto deadline = Clock::now() + kStopTime;
        bool signalled = false;
        int status = 0;
        while (waitpid(driverPid_, &status, WNOHANG) == 0) {
            if (Clock::now() >= deadline) {
                if (signalled) {
                    kill(-driverPid_, SIGKILL);
                    waitpid(driverPid_, &status, 0);
                    break;
                }
                kill(-driverPid_, SIGTERM);
                signalled = true;
                deadline = Clock::now() + kStopTime;
            }
            std::this_thread::sleep_for(10ms);
        }
        // Browser processes the driver left behind are in the same group.
        kill(-driverPid_, SIGKILL);
        ForgetGroup(driverPid_);
        driverPid_ = 0;
    }
    if (!root_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
        root_.clear();
    }
}

std::string Chromium::Open(const std::string& url) {
    if (!driver_)
        throw std::runtime_error("the browser is not running");
    std::string tab;
    if (!blankTabUsed_) {
        tab = driver_->CurrentWindow();
        blankTabUsed_ = true;
    } else {
        tab = driver_->NewTab();
        driver_->SwitchToWindow(tab);
    }
    driver_->NavigateTo(url);
    return tab;
}

bool Chromium::WaitUntil(const std::string& condition, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const nlohmann::json held = driver_->Execute(condition);
        if (held.is_boolean() && held.get<bool>())
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPollInterval);
    }
}

}  // namespace hostsim
