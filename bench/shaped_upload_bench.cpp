// An export-sized upload (2.45 MB body, the add-on's calls and time-out) through the host library's HTTP
// client to the web application stand-in over shaped links like home uplinks, then a whole 4K export by
// the loaded module in hostsim (its body in pieces under the process window): for each rate and queue,
// the time, the outcome (for the export: the dialog or the report the user saw), and the time from the
// last local write to the server's last byte. Runs in network namespaces of its own (root and iproute2's
// ip and tc). Prints figures only. Run: build/release/bench/shaped_upload_bench [RATE_KBIT/QUEUE_MS ...]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <cstring>

#include "DGControl.hpp"
#include "HTTP/Client/ClientConnection.hpp"
#include "HTTPControl.hpp"
#include "HTTPException.hpp"
#include "Host.hpp"
#include "LinkStoreFile.hpp"
#include "Server.hpp"
#include "ShapedLink.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::size_t kBodySize = 2450 * 1000;
constexpr UInt32 kTimeout = 8000;

struct Result {
    double seconds = 0;
    std::string outcome;
    double drainSeconds = -1;  // last write to the server's last byte; negative when it never came
};

double Seconds(Clock::duration span) {
    return std::chrono::duration<double>(span).count();
}

Result Upload(const httptest::LinkShape& shape, const std::string& dataDir, const std::string& body) {
    httptest::ShapedLink link(shape);
    webapp::ServerOptions options;
    options.dataDir = dataDir;
    webapp::Server server(options);
    server.Start();
    server.ScriptResponse(201, "{\"id\":\"bench\"}");
    HTTP::Control::ClearTrustAnchors();
    HTTP::Control::AddTrustAnchorPem(server.CaCertPem());
    HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", server.Port());

    Result result;
    const Clock::time_point start = Clock::now();
    Clock::time_point lastWrite{};
    try {
        HTTP::Client::ClientConnection connection{IO::URI::URI("https://app.kavelo.io")};
        connection.SetTimeout(kTimeout);
        connection.Connect();
        HTTP::Client::Request request(HTTP::MessageHeader::Method::Post, "/api/v1/images",
                                      HTTP::MessageHeader::HTTPVersion::Version11);
        connection.FinishSend();
        connection.Send(request, body.data(), static_cast<USize>(body.size()));
        lastWrite = Clock::now();
        HTTP::Client::Response response;
        connection.BeginReceive(response);
        connection.FinishReceive();
        connection.Close(false);
        result.outcome = "HTTP " + std::to_string(response.GetStatusCode());
    } catch (const HTTP::Exception& failure) {
        result.outcome = std::string("failed: ") + failure.what();
    }
    result.seconds = Seconds(Clock::now() - start);
    const std::vector<webapp::RecordedRequest> requests = server.Requests();
    if (!requests.empty() && lastWrite != Clock::time_point{})
        result.drainSeconds = Seconds(requests[0].receivedAt - lastWrite);
    server.Stop();
    HTTP::Control::ClearRoutes();
    return result;
}

constexpr const char* kLinkId = "6f1c2d3e-4a5b-4c6d-8e7f-0a1b2c3d4e5f";

// "Export from current view" of a 3840 x 2160 view by the loaded module, answered 201 by the web
// application; the user closes the success dialog.
Result Export(const httptest::LinkShape& shape, const std::string& dataDir) {
    httptest::ShapedLink link(shape);
    webapp::ServerOptions options;
    options.dataDir = dataDir + "/webapp";
    webapp::Server server(options);
    server.Start();
    server.LinkAccount(kLinkId);
    HTTP::Control::ClearTrustAnchors();
    HTTP::Control::AddTrustAnchorPem(server.CaCertPem());
    HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", server.Port());

    Result result;
    {
        hostsim::Options hostOptions;
        hostOptions.dataDir = dataDir + "/host";
        hostOptions.windowWidth = 3840;
        hostOptions.windowHeight = 2160;
        hostsim::Host host(hostOptions);
        std::string error;
        if (!host.Load(KAVELO_MODULE_PATH, &error) || host.Start() != NoError) {
            result.outcome = "hostsim: " + error;
            return result;
        }
        testsupport::WriteLinkStore(testsupport::UserRoamingFolder(), kLinkId);
        DG::Control::ClearShownDialogs();
        host.QueueDialogAnswers({DG::Control::Action::Click(2)});
        const Clock::time_point start = Clock::now();
        host.RunMenuCommandByText("Export from current view");
        result.seconds = Seconds(Clock::now() - start);
        const auto dialogs = DG::Control::GetShownDialogs();
        result.outcome = !host.Reports().empty() ? "report: " + host.Reports()[0].text
                         : dialogs.empty()       ? "nothing shown"
                                                 : "dialog: " + dialogs[0].title;
        const std::vector<webapp::RecordedRequest> requests = server.Requests();
        if (!requests.empty() && host.Progress().LastValueAt())
            result.drainSeconds = Seconds(requests[0].receivedAt - *host.Progress().LastValueAt());
    }
    server.Stop();
    HTTP::Control::ClearRoutes();
    std::filesystem::remove_all(dataDir + "/host");
    return result;
}

void Print(const httptest::LinkShape& shape, const Result& result) {
    char drain[32] = "never";
    if (result.drainSeconds >= 0)
        std::snprintf(drain, sizeof drain, "%.1f s", result.drainSeconds);
    std::printf("%6llu kbit %5lld ms %7.1f s %22s  %s\n",
                static_cast<unsigned long long>(shape.bitsPerSecond / 1000),
                static_cast<long long>(shape.queue.count()), result.seconds, drain, result.outcome.c_str());
    std::fflush(stdout);
}

std::vector<httptest::LinkShape> Shapes(int argc, char** argv) {
    std::vector<httptest::LinkShape> shapes;
    for (int i = 1; i < argc; ++i) {
        unsigned long kbit = 0, queue = 0;
        if (std::sscanf(argv[i], "%lu/%lu", &kbit, &queue) != 2) {
            std::fprintf(stderr, "usage: shaped_upload_bench [RATE_KBIT/QUEUE_MS ...]\n");
            std::exit(2);
        }
        shapes.push_back({kbit * 1000, milliseconds(queue)});
    }
    if (!shapes.empty())
        return shapes;
    for (long queue : {1000, 2000}) {
        for (std::uint64_t kbit : {10000, 5000, 2000, 1000, 768, 512}) {
            if (kbit != 768 || queue == 1000)
                shapes.push_back({kbit * 1000, milliseconds(queue)});
        }
    }
    return shapes;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<httptest::LinkShape> shapes = Shapes(argc, argv);
    const std::string missing = httptest::ShapedLink::Missing();
    if (!missing.empty()) {
        std::fprintf(stderr, "shaped_upload_bench: a shaped link needs %s\n", missing.c_str());
        return 1;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "kavelo-shaped-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("shaped_upload_bench: mkdtemp");
        return 1;
    }
    const std::string body(kBodySize, 'u');
    std::printf("%zu-byte body, time-out %u ms; one queue serves both directions\n", kBodySize, kTimeout);
    std::printf("%10s %7s %9s %22s  %s\n", "rate", "queue", "time", "last write->last byte", "outcome");
    for (const httptest::LinkShape& shape : shapes) Print(shape, Upload(shape, pattern, body));
    std::printf("\na 4K export by the module in hostsim (body in 16 KiB pieces under the process window)\n");
    std::printf("%10s %7s %9s %22s  %s\n", "rate", "queue", "time", "last write->last byte",
                "what the user saw");
    for (const httptest::LinkShape& shape : shapes) Print(shape, Export(shape, pattern));
    std::filesystem::remove_all(pattern);
    return 0;
}
