// The upload of a 3840 x 2160 capture through the loaded module to the web application stand-in (its own
// process, on loopback), beside curl posting the same JSON body to the same endpoint with the same TLS
// set-up; the export's peak memory beside the JPEG's size; and the same uploads to a sink that does no
// work on the body, with the module's steps timed one by one and the machine's TLS cipher throughput as
// the limit; last, the memory of an export whose answer runs to 30 MiB. Prints figures only.
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

#include "Base64.hpp"
#include "Certificates.hpp"
#include "DGControl.hpp"
#include "File.hpp"
#include "GSRootControl.hpp"
#include "HTTP/Client/ClientConnection.hpp"
#include "HTTP/Client/Request.hpp"
#include "HTTP/Client/Response.hpp"
#include "HTTP/Encoding/BodyIBinaryChannel.hpp"
#include "HTTP/Encoding/BodyOBinaryChannel.hpp"
#include "HTTPControl.hpp"
#include "HTTPException.hpp"
#include "Host.hpp"
#include "IBinaryChannelUtilities.hpp"
#include "IOBinProtocolXs.hpp"
#include "Location.hpp"
#include "ObjectState.hpp"
#include "ObjectStateJSONConversion.hpp"
#include "TlsSink.hpp"
#include "URI.hpp"

extern char** environ;

namespace {

constexpr int kRuns = 9;
// Uploads to the sink are short, and a busy machine spreads them widely: more of them steady the medians.
constexpr int kSinkRuns = 25;
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

// Runs a program found on PATH and returns what it printed on standard output; empty when it failed.
std::string Capture(const std::vector<std::string>& args) {
    int out[2];
    if (::pipe(out) != 0)
        return "";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string text;
    char piece[4096];
    for (ssize_t got; spawned == 0 && (got = ::read(out[0], piece, sizeof piece)) > 0;)
        text.append(piece, static_cast<std::size_t>(got));
    ::close(out[0]);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "";
    return text;
}

// The name `openssl speed -evp` knows for a TLS cipher suite's bulk cipher; empty when unknown.
std::string EvpCipherOf(const std::string& suite) {
    const std::pair<const char*, const char*> known[] = {{"AES_256_GCM", "aes-256-gcm"},
                                                         {"AES256-GCM", "aes-256-gcm"},
                                                         {"AES_128_GCM", "aes-128-gcm"},
                                                         {"AES128-GCM", "aes-128-gcm"},
                                                         {"CHACHA20_POLY1305", "chacha20-poly1305"},
                                                         {"CHACHA20-POLY1305", "chacha20-poly1305"}};
    for (const auto& entry : known) {
        if (suite.find(entry.first) != std::string::npos)
            return entry.second;
    }
    return "";
}

// OpenSSL's own figure for `cipher` on 16 KiB blocks (TLS records), in bytes per second; 0 when unknown.
double CipherBytesPerSecond(const std::string& cipher) {
    const std::string report =
        Capture({"openssl", "speed", "-evp", cipher, "-bytes", "16384", "-seconds", "2"});
    // The figure is the last word of the last line, in thousands of bytes per second ("4567890.12k").
    const std::size_t lineStart = report.find_last_of('\n', report.size() >= 2 ? report.size() - 2 : 0);
    const std::size_t wordStart = report.find_last_of(' ');
    if (report.empty() || wordStart == std::string::npos || wordStart < lineStart)
        return 0;
    return std::strtod(report.c_str() + wordStart + 1, nullptr) * 1000.0;
}

// The module's upload, replayed step by step with the host-library calls it makes, each step timed.
struct Steps {
    std::vector<double> readEncode, json, connect, send, answer;
    // The same body streamed as the module streams it: its length declared, written in 16 KiB pieces.
    std::vector<double> streamed;
};

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Connects, then times the body streamed through BeginSend in the module's pieces; true when answered 201.
bool StreamUpload(const std::string& linkId, const char* body, USize length, Steps& steps) {
    constexpr USize kPiece = 16 * 1024;
    HTTP::Client::ClientConnection connection(IO::URI::URI("https://app.kavelo.io"));
    connection.SetTimeout(8000);
    connection.Connect();
    HTTP::Client::Request request(HTTP::MessageHeader::Method::Post, "/api/v1/images",
                                  HTTP::MessageHeader::HTTPVersion::Version11);
    request.GetRequestHeaderFieldCollection().Add("X-Api-Key", GS::UniString(linkId.c_str(), CC_UTF8));
    request.GetRequestHeaderFieldCollection().Add("Content-Length",
                                                  GS::UniString(std::to_string(length).c_str(), CC_UTF8));
    const auto start = Clock::now();
    HTTP::Encoding::BodyOBinaryChannel& channel = connection.BeginSend(request);
    for (USize sent = 0; sent < length; sent += std::min(kPiece, length - sent))
        channel.Write(body + sent, std::min(kPiece, length - sent));
    connection.FinishSend();
    steps.streamed.push_back(MsSince(start));
    HTTP::Client::Response response;
    connection.BeginReceive(response);
    connection.FinishReceive();
    connection.Close(false);
    return response.GetStatusCode() == 201;
}

bool UploadInSteps(const std::string& capturePath, const std::string& linkId, Steps& steps) {
    auto start = Clock::now();
    std::string dataUrl;
    {
        IO::File file{IO::Location(capturePath.c_str())};
        UInt32 length = 0;
        if (file.Open(IO::File::ReadMode) != NoError || file.GetDataLength(&length) != NoError)
            return false;
        std::string bytes(length, '\0');
        UInt32 read = 0;
        file.ReadBin(bytes.data(), length, &read);
        file.Close();
        dataUrl = "data:image/jpeg;base64," + Base64Encode(bytes, false);
    }
    steps.readEncode.push_back(MsSince(start));

    start = Clock::now();
    GS::ObjectState state;
    state.Add("image", dataUrl.c_str());
    state.Add("name", "Archicad export");
    state.Add("source", "archicad");
    GS::UniString json;
    JSON::CreateFromObjectState(state, json, false);
    const USize length = json.GetLength();
    const auto body = json.ToCStr(0, MaxUSize, CC_UTF8);
    steps.json.push_back(MsSince(start));

    start = Clock::now();
    IO::URI::URI uri("https://app.kavelo.io");
    HTTP::Client::ClientConnection connection(uri);
    connection.SetTimeout(8000);
    connection.Connect();
    steps.connect.push_back(MsSince(start));

    start = Clock::now();
    HTTP::Client::Request request(HTTP::MessageHeader::Method::Post, "/api/v1/images",
                                  HTTP::MessageHeader::HTTPVersion::Version11);
    request.GetRequestHeaderFieldCollection().Add("X-Api-Key", GS::UniString(linkId.c_str(), CC_UTF8));
    connection.FinishSend();
    connection.Send(request, body.Get(), length);
    steps.send.push_back(MsSince(start));

    start = Clock::now();
    HTTP::Client::Response response;
    GS::IChannelX channel(connection.BeginReceive(response), GS::GetNetworkByteOrderIProtocolX());
    const GS::UniString answer =
        GS::IBinaryChannelUtilities::ReadUniStringAsUTF8(channel, GS::IBinaryChannelUtilities::NotTerminated);
    connection.FinishReceive();
    connection.Close(false);
    steps.answer.push_back(MsSince(start));
    return response.GetStatusCode() == 201 && StreamUpload(linkId, body.Get(), length, steps);
}

// curl posting the body file as the module posts its body. "Expect:" keeps curl from waiting for a 100
// Continue before a large body, which the module does not do.
std::vector<std::string> CurlArgs(std::uint16_t port, const std::string& caPath, const std::string& linkId,
                                  const std::string& bodyFile) {
    return {"curl",
            "-sS",
            "-o",
            "/dev/null",
            "--fail",
            "--connect-to",
            "app.kavelo.io:443:127.0.0.1:" + std::to_string(port),
            "--cacert",
            caPath,
            "-H",
            "X-Api-Key: " + linkId,
            "-H",
            "Content-Type: application/json",
            "-H",
            "Expect:",
            "--data-binary",
            "@" + bodyFile,
            "https://app.kavelo.io/api/v1/images"};
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
    ::waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

bool TimeCurl(const std::vector<std::string>& args, int runs, std::vector<double>& ms) {
    for (int i = 0; i < runs; ++i) {
        const double taken = RunCurl(args);
        if (taken < 0) {
            std::fprintf(stderr, "curl failed\n");
            return false;
        }
        ms.push_back(taken);
    }
    return true;
}

}  // namespace

int main() {
    // The sink forks, so it starts before anything here starts a thread.
    const webapp::CertificateAuthority sinkAuthority = webapp::MakeAuthority("KAVELO sink authority");
    bench::TlsSink sink;
    std::string sinkError;
    // And one whose 201 runs to 30 MiB after the id's line: what reading a large answer costs the module.
    constexpr std::size_t kLargeAnswer = 30u * 1024 * 1024;
    bench::TlsSink largeSink;
    if (!sink.Start(webapp::IssueServerCertificate(sinkAuthority, {"app.kavelo.io"}), &sinkError) ||
        !largeSink.Start(webapp::IssueServerCertificate(sinkAuthority, {"app.kavelo.io"}), &sinkError,
                         kLargeAnswer)) {
        std::fprintf(stderr, "%s\n", sinkError.c_str());
        return 1;
    }

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
    // The module deletes its capture once read; hostsim keeps what its saves write.
    const std::string capture = host.GetOptions().dataDir + "/" + hostsim::kSavedViewFileName;
    const std::string jpeg = ReadFile(capture);
    if (!host.Reports().empty()) {
        std::fprintf(stderr, "the export failed: %s\n", host.Reports().back().text.c_str());
        return 1;
    }

    // Later exports save the same view again; hostsim renders a view once and writes the same JPEG for
    // every later save, so what is timed and measured is that write, reading, encoding and the HTTPS upload.
    std::vector<double> moduleMs;
    long exportPeak = 0;
    for (int i = 0; i < kRuns; ++i) {
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
    // The identifier the module linked, as its login page carried it.
    const std::string linkId = [&] {
        const std::string url = host.Launches().front().url;
        return url.substr(url.find("eid=") + 4);
    }();
    std::vector<double> curlMs;
    if (!TimeCurl(CurlArgs(webapp.port, webapp.caPath, linkId, bodyFile), kRuns, curlMs))
        return 1;

    const double jpegBytes = static_cast<double>(jpeg.size());
    std::printf("capture 3840 x 2160: JPEG %zu bytes, request body %zu bytes\n", jpeg.size(), body.size());
    std::printf(
        "upload, median of %d: module %.1f ms (the host writes the saved view; read, encode, JSON, HTTPS), "
        "curl %.1f ms (process, HTTPS); "
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

    // The same uploads to the sink: the module's whole export, its steps one by one, and curl.
    const std::string sinkCaPath = root + "/sink-ca.pem";
    std::ofstream(sinkCaPath) << sinkAuthority.certPem;
    HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", sink.Port());
    HTTP::Control::AddTrustAnchorPem(sinkAuthority.certPem);
    std::vector<double> sinkModuleMs;
    for (int i = 0; i < kSinkRuns; ++i) {
        host.QueueDialogAnswers({DG::Control::Action::Click(1)});
        const auto start = Clock::now();
        host.RunMenuCommandByText("Export from current view");
        sinkModuleMs.push_back(MsSince(start));
    }
    Steps steps;
    for (int i = 0; i < kSinkRuns; ++i) {
        if (!UploadInSteps(capture, linkId, steps)) {
            std::fprintf(stderr, "the step-by-step upload to the sink failed\n");
            return 1;
        }
    }
    const std::string cipher = HTTP::Control::GetStats().lastCipher;
    std::vector<double> sinkCurlMs;
    if (!TimeCurl(CurlArgs(sink.Port(), sinkCaPath, linkId, bodyFile), kSinkRuns, sinkCurlMs))
        return 1;
    const double cipherRate = CipherBytesPerSecond(EvpCipherOf(cipher));

    const double sum = Median(steps.readEncode) + Median(steps.json) + Median(steps.connect) +
                       Median(steps.send) + Median(steps.answer);
    std::printf("to a sink that reads the request and answers 201 at once, median of %d:\n", kSinkRuns);
    std::printf("  module export %.1f ms, curl %.1f ms (process start included): ratio %.2f\n",
                Median(sinkModuleMs), Median(sinkCurlMs), Median(sinkModuleMs) / Median(sinkCurlMs));
    std::printf(
        "  its steps with the same host calls: read and encode %.2f ms, JSON body %.2f ms, TLS connect %.2f "
        "ms, send %.2f ms, answer %.2f ms (sum %.1f ms)\n",
        Median(steps.readEncode), Median(steps.json), Median(steps.connect), Median(steps.send),
        Median(steps.answer), sum);
    std::printf(
        "  the body streamed in 16 KiB pieces (BeginSend, Write, FinishSend): %.2f ms (fastest %.2f ms)\n",
        Median(steps.streamed), *std::min_element(steps.streamed.begin(), steps.streamed.end()));
    if (cipherRate > 0) {
        const double limitMs = static_cast<double>(body.size()) / cipherRate * 1000.0;
        std::printf(
            "  TLS limit: %s, openssl speed -evp %s on 16 KiB records %.2f GB/s = %.2f ms for the body; send "
            "%.2f x that (fastest send %.2f x)\n",
            cipher.c_str(), EvpCipherOf(cipher).c_str(), cipherRate / 1e9, limitMs,
            Median(steps.send) / limitMs, *std::min_element(steps.send.begin(), steps.send.end()) / limitMs);
    } else {
        std::printf("  TLS limit: no openssl speed figure for %s\n", cipher.c_str());
    }

    HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", largeSink.Port());
    host.QueueDialogAnswers({DG::Control::Action::Click(1)});
    GS::Control::ResetPeak();
    const auto beforeLarge = GS::Control::GetMemoryStats();
    ResetPeakResident();
    const long residentBeforeLarge = StatusKiB("VmRSS:");
    host.RunMenuCommandByText("Export from current view");
    const double largePeak =
        static_cast<double>(GS::Control::GetMemoryStats().peakBytes - beforeLarge.liveBytes);
    const long largeResident = StatusKiB("VmHWM:") - residentBeforeLarge;
    std::printf(
        "an export whose 201 answer is %zu bytes: module heap peak %.0f bytes (the export's own included) = "
        "%.3f x the answer; process resident growth %ld KiB = %.3f x the answer\n",
        kLargeAnswer, largePeak, largePeak / static_cast<double>(kLargeAnswer), largeResident,
        static_cast<double>(largeResident) * 1024.0 / static_cast<double>(kLargeAnswer));

    host.Unload();
    std::filesystem::remove_all(root);
    return 0;
}
