// The upload of a 3840 x 2160 capture through the loaded module to the local web application stand-in,
// beside curl posting the same JSON body to the same endpoint with the same TLS set-up; and the export's
// peak memory beside the JPEG's size. Prints figures only.
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
#include "Server.hpp"

extern char** environ;

namespace {

constexpr int kRuns = 7;
constexpr const char* kLinkId = "6f1c2d3e-4a5b-4c6d-8e7f-0a1b2c3d4e5f";
constexpr std::size_t kAutomateSlot = 648;

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The process's resident-set high-water mark in KiB.
long PeakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

double RunCurl(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

}  // namespace

int main() {
    const std::string root = (std::filesystem::temp_directory_path() / "kavelo-upload-bench").string();
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);

    webapp::ServerOptions serverOptions;
    serverOptions.dataDir = root + "/webapp";
    serverOptions.maxBodyBytes = 64 * 1024 * 1024;
    webapp::Server server(serverOptions);
    server.Start();
    server.LinkAccount(kLinkId);
    HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", server.Port());
    HTTP::Control::AddTrustAnchorPem(server.CaCertPem());

    hostsim::Options options;
    options.dataDir = root + "/host";
    options.windowWidth = 3840;
    options.windowHeight = 2160;
    hostsim::Host host(options);
    std::string error;
    if (!host.Load(KAVELO_MODULE_PATH, &error) || host.Start() != NoError) {
        std::fprintf(stderr, "cannot load the module: %s\n", error.c_str());
        return 1;
    }
    hostsim::StoredPreferences record;
    record.version = 1;
    record.bytes.assign(48, 0);
    std::memcpy(record.bytes.data(), kLinkId, 36);
    host.Preferences().Save(host.Key(), record, &error);

    // The first export renders and saves the 4K view; its peak memory is the export's.
    const GS::Control::MemoryStats before = GS::Control::GetMemoryStats();
    GS::Control::ResetPeak();
    const long residentBefore = PeakResidentKiB();
    host.QueueDialogAnswers({DG::Control::Action::Click(2)});
    host.RunMenuCommandByText("Export from current view");
    const long residentAfter = PeakResidentKiB();
    const GS::Control::MemoryStats after = GS::Control::GetMemoryStats();
    const std::string capture = host.ApplicationDataFolder() + "/KaveloArchiCapture.jpeg";
    const double jpegBytes = static_cast<double>(std::filesystem::file_size(capture));
    if (server.Requests().size() != 1 || server.Images().size() != 1) {
        std::fprintf(stderr, "the first export did not reach the server\n");
        return 1;
    }
    const std::string body = server.Requests()[0].body;

    // Later exports reuse that capture file (the save is made to fail, so the module reads the file left
    // from the first export): what is timed is reading, encoding and the HTTPS upload.
    std::vector<double> moduleMs;
    for (int i = 0; i < kRuns; ++i) {
        host.FailSlot(kAutomateSlot, static_cast<GSErrCode>(0x81060001), 1);
        host.QueueDialogAnswers({DG::Control::Action::Click(2)});
        const auto start = Clock::now();
        host.RunMenuCommandByText("Export from current view");
        moduleMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }

    const std::string bodyFile = root + "/body.json";
    std::ofstream(bodyFile, std::ios::binary) << body;
    const std::string caFile = root + "/ca.pem";
    std::ofstream(caFile) << server.CaCertPem();
    const std::vector<std::string> curl = {"curl",
                                           "-sS",
                                           "-o",
                                           "/dev/null",
                                           "--fail",
                                           "--connect-to",
                                           "app.kavelo.io:443:127.0.0.1:" + std::to_string(server.Port()),
                                           "--cacert",
                                           caFile,
                                           "-H",
                                           std::string("X-Api-Key: ") + kLinkId,
                                           "-H",
                                           "Content-Type: application/json",
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

    const double moduleMedian = Median(moduleMs);
    const double curlMedian = Median(curlMs);
    const double modulePeak = static_cast<double>(after.peakBytes - before.liveBytes);
    std::printf("capture 3840 x 2160: JPEG %.0f bytes, request body %zu bytes\n", jpegBytes, body.size());
    std::printf("upload (median of %d): module %.1f ms, curl %.1f ms, ratio %.2f\n", kRuns, moduleMedian,
                curlMedian, moduleMedian / curlMedian);
    std::printf(
        "export peak memory: module heap %.0f bytes = %.2f x JPEG; process resident peak grew by %ld KiB = "
        "%.2f x JPEG\n",
        modulePeak, modulePeak / jpegBytes, residentAfter - residentBefore,
        static_cast<double>(residentAfter - residentBefore) * 1024.0 / jpegBytes);

    host.Unload();
    server.Stop();
    std::filesystem::remove_all(root);
    return 0;
}
