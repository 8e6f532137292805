// The upload of a 3840 x 2160 capture through the loaded module to the web application stand-in (its own
// process, on loopback), beside curl posting the same JSON body to the same endpoint with the same TLS
// set-up; and the export's peak memory beside the JPEG's size. Prints figures only.
#include <fcntl.h>
#include <openssl/evp.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "DGControl.hpp"
#include "GSRootControl.hpp"
#include "HTTPControl.hpp"
#include "Host.hpp"

extern char** environ;

namespace {

constexpr int kRuns = 9;
constexpr std::size_t kAutomateSlot = 648;
using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    }
    return -1;
}

// Lets VmHWM start again from the current resident size.
void ResetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

std::string EncodeBase64(const std::string& bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The web application stand-in as its own process; it stops when its standard input closes.
struct WebappProcess {
    pid_t pid = 0;
    int stdinWrite = -1;
    std::uint16_t port = 0;
    std::string caPath;

    bool Start(const std::string& dataDir) {
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> args = {KAVELO_WEBAPP_PROGRAM,  "--data-dir",       dataDir,
                                         "--until-stdin-closes", "--max-body-bytes", "67108864"};
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        stdinWrite = in[1];
        if (spawned != 0)
            return false;
        FILE* output = ::fdopen(out[0], "r");
        char line[1024];
        while ((port == 0 || caPath.empty()) && std::fgets(line, sizeof line, output) != nullptr) {
            std::string text(line);
            text.erase(text.find_last_not_of("\r\n") + 1);
            if (text.rfind("listening on 127.0.0.1:", 0) == 0)
                port = static_cast<std::uint16_t>(std::stoi(text.substr(23)));
            else if (text.rfind("ca: ", 0) == 0)
                caPath = text.substr(4);
        }
        return port != 0 && !caPath.empty();
    }

    ~WebappProcess() {
        if (stdinWrite >= 0)
            ::close(stdinWrite);
        if (pid > 0)
            ::waitpid(pid, nullptr, 0);
    }
};

double RunCurl(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

}  // namespace

int main() {
    const std::string root = (std::filesystem::temp_directory_path() / "kavelo-upload-bench").string();
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);

    WebappProcess webapp;
    if (!webapp.Start(root + "/webapp")) {
        std::fprintf(stderr, "the web application stand-in did not start\n");
        return 1;
    }
    HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", webapp.port);
    HTTP::Control::AddTrustAnchorPem(ReadFile(webapp.caPath));

    hostsim::Options options;
    options.dataDir = root + "/host";
    options.windowWidth = 3840;
    options.windowHeight = 2160;
    options.browser = hostsim::BrowserMode::ConfirmLogin;
    hostsim::Host host(options);
    std::string error;
    if (!host.Load(KAVELO_MODULE_PATH, &error) || host.Start() != NoError) {
        std::fprintf(stderr, "cannot load the module: %s\n", error.c_str());
        return 1;
    }
    // First use: link, and the person confirms the login page.
    host.QueueDialogAnswers({DG::Control::Action::Click(1)});
    host.RunMenuCommandByText("Export from current view");
    host.Idle();

    // The first export renders and saves the 4K view (the host's part), then reads, encodes and uploads it.
    GS::Control::ResetPeak();
    const auto moduleBefore = GS::Control::GetMemoryStats();
    ResetPeakResident();
    const long residentBefore = StatusKiB("VmRSS:");
    host.QueueDialogAnswers({DG::Control::Action::Click(1)});
    host.RunMenuCommandByText("Export from current view");
    const long withRendering = StatusKiB("VmHWM:") - residentBefore;
    const double modulePeak =
        static_cast<double>(GS::Control::GetMemoryStats().peakBytes - moduleBefore.liveBytes);
    const std::string capture = host.ApplicationDataFolder() + "/KaveloArchiCapture.jpeg";
    const std::string jpeg = ReadFile(capture);
    if (!host.Reports().empty()) {
        std::fprintf(stderr, "the export failed: %s\n", host.Reports().back().text.c_str());
        return 1;
    }

    // Later exports reuse that capture file (the save is made to fail, so the module reads the file left by
    // the first export): what is timed and measured is reading, encoding and the HTTPS upload.
    std::vector<double> moduleMs;
    long exportPeak = 0;
    for (int i = 0; i < kRuns; ++i) {
        host.FailSlot(kAutomateSlot, static_cast<GSErrCode>(0x81060001), 1);
        host.QueueDialogAnswers({DG::Control::Action::Click(1)});
        ResetPeakResident();
        const long before = StatusKiB("VmRSS:");
        const auto start = Clock::now();
        host.RunMenuCommandByText("Export from current view");
        moduleMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        exportPeak = std::max(exportPeak, StatusKiB("VmHWM:") - before);
    }

    const std::string body = "{\"image\":\"data:image/jpeg;base64," + EncodeBase64(jpeg) +
                             "\",\"name\":\"Archicad export\",\"source\":\"archicad\"}";
    const std::string bodyFile = root + "/body.json";
    std::ofstream(bodyFile, std::ios::binary) << body;
    const std::string linkId = [&] {
        const auto stored = host.StoredPreferencesOfAddOn();
        return std::string(reinterpret_cast<const char*>(stored->bytes.data()));
    }();
    // "Expect:" keeps curl from waiting for a 100 Continue before a large body, which the module does not do.
    const std::vector<std::string> curl = {"curl",
                                           "-sS",
                                           "-o",
                                           "/dev/null",
                                           "--fail",
                                           "--connect-to",
                                           "app.kavelo.io:443:127.0.0.1:" + std::to_string(webapp.port),
                                           "--cacert",
                                           webapp.caPath,
                                           "-H",
                                           "X-Api-Key: " + linkId,
                                           "-H",
                                           "Content-Type: application/json",
                                           "-H",
                                           "Expect:",
                                           "--data-binary",
                                           "@" + bodyFile,
                                           "https://app.kavelo.io/api/v1/images"};
    std::vector<double> curlMs;
    for (int i = 0; i < kRuns; ++i) {
        const double ms = RunCurl(curl);
        if (ms < 0) {
            std::fprintf(stderr, "curl failed\n");
            return 1;
        }
        curlMs.push_back(ms);
    }

    const double jpegBytes = static_cast<double>(jpeg.size());
    std::printf("capture 3840 x 2160: JPEG %zu bytes, request body %zu bytes\n", jpeg.size(), body.size());
    std::printf(
        "upload, median of %d: module %.1f ms (read, encode, JSON, HTTPS), curl %.1f ms (process, HTTPS); "
        "ratio %.2f\n",
        kRuns, Median(moduleMs), Median(curlMs), Median(moduleMs) / Median(curlMs));
    std::printf(
        "peak memory of an export: module heap %.0f bytes = %.2f x JPEG; process resident growth %ld KiB "
        "= %.2f x JPEG\n",
        modulePeak, modulePeak / jpegBytes, exportPeak, static_cast<double>(exportPeak) * 1024.0 / jpegBytes);
    std::printf(
        "with the host's rendering of the 4K view (%d x %d RGB) included: resident growth %ld KiB = %.2f x "
        "JPEG\n",
        options.windowWidth, options.windowHeight, withRendering,
        static_cast<double>(withRendering) * 1024.0 / jpegBytes);

    host.Unload();
    std::filesystem::remove_all(root);
    return 0;
}
