// The Windows build's HTTP client (WinHTTP) against the web application stand-in. This program runs
// natively with the server and a CONNECT proxy in-process; each case runs the Windows program http_probe
// under Wine for one exchange and checks what the server received and what the client reported. The
// Windows build registers it as a test and names the probe and Wine in KAVELO_HTTP_PROBE, KAVELO_WINE_RUN
// and KAVELO_WINEPREFIX.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "WineRun.hpp"

namespace webapp::test {
namespace {

struct ProbeResult {
    std::string output;     // everything the probe printed
    std::string exception;  // the kind, when the client threw
    unsigned status = 0;
    std::string body;
};

ProbeResult Parse(const std::string& output) {
    ProbeResult result;
    result.output = output;
    const std::size_t exception = output.rfind("exception ", 0) == 0 ? 0 : output.find("\nexception ");
    if (exception != std::string::npos) {
        const std::size_t kind = output.find(' ', exception) + 1;
        result.exception = output.substr(kind, output.find(' ', kind) - kind);
    }
    std::size_t at = 0;
    while (at < output.size()) {
        const std::size_t end = output.find('\n', at);
        const std::string line = output.substr(at, end - at);
        at = end == std::string::npos ? output.size() : end + 1;
        if (line.rfind("status ", 0) == 0)
            result.status = static_cast<unsigned>(std::stoul(line.substr(7)));
        if (line.rfind("body ", 0) == 0) {
            result.body = output.substr(at, std::stoul(line.substr(5)));
            break;
        }
    }
    return result;
}

// A loopback port nothing listens on.
std::uint16_t ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

class WinHttpClient : public ProxiedWebappTest {
protected:
    // Runs one exchange of a Windows program (http_probe by default) under Wine; with `viaProxy` WinHTTP's
    // proxy is this test's.
    ProbeResult Probe(const std::vector<std::string>& arguments, bool viaProxy = true, bool trust = true,
                      const char* program = "KAVELO_HTTP_PROBE") {
        std::vector<std::string> all = arguments;
        if (trust) {
            all.push_back("--trust");
            all.push_back(caPath_);
        }
        const WineRun run =
            RunUnderWine(program, all, viaProxy ? proxy_.Port() : 0, dataDir_.Path() + "/probe-output");
        EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
        return Parse(run.output);
    }
};

const std::string kImages = "https://app.kavelo.io/api/v1/images";

TEST_F(WinHttpClient, UploadsOverVerifiedTlsThroughTheProxyAndGets201WithTheId) {
    const std::string jpeg = MakeJpeg();
    const std::string body = UploadBody(jpeg);
    const ProbeResult result = Probe({"--url", kImages, "--method", "POST", "--header",
                                      std::string("X-Api-Key: ") + kLinkedId, "--body", body});
    ASSERT_EQ(result.status, 201u) << result.output << "\n"
                                   << (server_.Requests().empty() ? "" : server_.Requests()[0].requestLine);
    ASSERT_EQ(server_.Images().size(), 1u);
    EXPECT_EQ(result.body.rfind("{\"id\":\"" + server_.Images()[0].id + "\"}\n", 0), 0u) << result.output;
    std::ifstream stored(server_.Images()[0].path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stored), std::istreambuf_iterator<char>()), jpeg);

    const std::vector<RecordedRequest> requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    // Wine's WinHTTP writes the target in absolute form into the tunnel; Windows' in origin form.
    EXPECT_TRUE(requests[0].requestLine == "POST /api/v1/images HTTP/1.1" ||
                requests[0].requestLine == "POST https://app.kavelo.io:443/api/v1/images HTTP/1.1")
        << requests[0].requestLine;
    EXPECT_EQ(requests[0].body, body);
    const auto field = [&](const std::string& name) {
        for (const auto& [fieldName, value] : requests[0].headers)
            if (EqualsIgnoringCase(fieldName, name))
                return value;
        return std::string("(none)");
    };
    EXPECT_EQ(field("X-Api-Key"), kLinkedId);
    EXPECT_EQ(field("Host"), "app.kavelo.io");
    EXPECT_EQ(field("Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(proxy_.Requests(), std::vector<std::string>{"app.kavelo.io:443"})
        << "the name goes to the proxy";
}

// The whole export by the Windows module: the host saves the view, the module reads the file, encodes
// it and posts it over WinHTTP through the proxy; the server stores the JPEG and the user sees success.
TEST_F(WinHttpClient, TheWindowsModuleExportsTheViewToTheServer) {
    const std::string jpeg = MakeJpeg(64, 32);
    const std::string jpegPath = dataDir_.Path() + "/view.jpg";
    std::ofstream(jpegPath, std::ios::binary) << jpeg;
    const ProbeResult result =
        Probe({"--jpeg", jpegPath, "--link-id", kLinkedId}, true, true, "KAVELO_EXPORT_PROBE");
    ASSERT_EQ(server_.Images().size(), 1u) << result.output;
    const StoredImage image = server_.Images()[0];
    std::ifstream stored(image.path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stored), std::istreambuf_iterator<char>()), jpeg);
    EXPECT_EQ(image.accountId, kLinkedId);
    EXPECT_NE(result.output.find("dialog 32531 Export to KAVELO succeeded\n"), std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("ImageID " + image.id + "\n"), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("report "), std::string::npos) << result.output;
}

// The same request, once through Send and once streamed in pieces with its declared length.
TEST_F(WinHttpClient, AStreamedBodyWithItsLengthGoesOutAsSendSendsIt) {
    std::string body = UploadBody(MakeJpeg(64, 48));
    const std::vector<std::string> upload = {"--url",  kImages,    "--method",
                                             "POST",   "--header", std::string("X-Api-Key: ") + kLinkedId,
                                             "--body", body};
    std::vector<std::string> streamed = upload;
    streamed.insert(streamed.end(), {"--stream", "1000"});
    EXPECT_EQ(Probe(upload).status, 201u);
    EXPECT_EQ(Probe(streamed).status, 201u);

    const std::vector<RecordedRequest> requests = server_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].requestLine, requests[0].requestLine);
    EXPECT_EQ(requests[1].headers, requests[0].headers);
    EXPECT_EQ(requests[1].body, body);
}

// A server that answers before it has read the body (a 413 or a 401) and closes: the answer reaches the
// caller as on Linux, whether the body went whole or in pieces; the rest of the body is dropped.
TEST_F(WinHttpClient, AnAnswerGivenBeforeTheBodyIsThroughIsRead) {
    const std::string bodyFile = dataDir_.Path() + "/early-body";
    std::ofstream(bodyFile, std::ios::binary) << std::string(4 * 1024 * 1024, 'x');
    for (const unsigned status : {413u, 401u}) {
        for (const char* piece : {"0", "16384"}) {
            server_.AnswerEarlyNext(static_cast<int>(status));
            const ProbeResult result =
                Probe({"--url", kImages, "--method", "POST", "--body-file", bodyFile, "--stream", piece});
            EXPECT_TRUE(result.exception.empty()) << piece << "\n" << result.output;
            EXPECT_EQ(result.status, status) << piece << "\n" << result.output;
            EXPECT_NE(result.body.find("answered before the body"), std::string::npos) << result.output;
        }
    }
}

// Once the whole body was written, a flush waits about a second at most for it to arrive (here, with no
// statistics from the system, for the answer's head), so that the caller can act between flushes; the
// flush that sees the head returns at once, and the answer is read.
TEST_F(WinHttpClient, FlushesAfterTheBodyWaitASecondEachUntilTheAnswerComes) {
    server_.StallNext(std::chrono::milliseconds(3000));
    const std::string body = UploadBody(MakeJpeg(64, 48));
    const ProbeResult result =
        Probe({"--url", kImages, "--method", "POST", "--header", std::string("X-Api-Key: ") + kLinkedId,
               "--body", body, "--stream", "4000", "--flush", "yes"});
    EXPECT_EQ(result.status, 201u) << result.output;
    std::vector<long> flushes;  // ms, from the lines "flush MS"
    const std::string& out = result.output;
    for (std::size_t at = 0; at < out.size();
         at = out.find('\n', at) == std::string::npos ? out.size() : out.find('\n', at) + 1)
        if (out.compare(at, 6, "flush ") == 0)
            flushes.push_back(std::stol(out.substr(at + 6)));
    ASSERT_GE(flushes.size(), 3u) << result.output;
    EXPECT_LT(flushes.back(), 250) << result.output;
    for (std::size_t i = 0; i + 1 < flushes.size(); ++i) EXPECT_LT(flushes[i], 1500) << result.output;
}

TEST_F(WinHttpClient, AnAbortedUploadNeverReachesTheServerWhole) {
    const std::string body(20000, 'x');
    const ProbeResult result = Probe(
        {"--url", kImages, "--method", "POST", "--body", body, "--stream", "4000", "--abort-after", "8000"});
    EXPECT_NE(result.output.find("aborted 8000 sent "), std::string::npos) << result.output;
    EXPECT_TRUE(server_.Requests().empty());
}

// WinHTTP reads the framing itself. Wine's discards a chunk extension as it reads it, and would end the
// body when the connection ends; what this client bounds is the time: an answer still incomplete four
// time-outs after the request arrived is a time-out.
TEST_F(WinHttpClient, AnEndlessChunkExtensionEndsWithinTheAnswersBound) {
    server_.ScriptResponse(200, "");
    server_.FloodNext({FloodAnswer::Where::ChunkExtension, std::size_t(64) << 30});
    const auto start = std::chrono::steady_clock::now();
    const ProbeResult result = Probe({"--url", "https://app.kavelo.io/login?eid=x", "--timeout", "1000"});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.exception, "Timeout") << result.output.substr(0, 300);
    EXPECT_LT(took, std::chrono::seconds(4 + 6)) << "four time-outs, and Wine's start";
    std::printf("extension flood: %.1f s, %llu bytes taken\n", std::chrono::duration<double>(took).count(),
                static_cast<unsigned long long>(server_.FloodedBytes()));
}

// Wine's WinHTTP stops reading at the last chunk: the body is whole, the trailer is never read.
TEST_F(WinHttpClient, ATrailerThatNeverEndsIsLeftUnread) {
    server_.ScriptResponse(200, "");
    server_.FloodNext({FloodAnswer::Where::Trailer, std::size_t(64) << 30});
    const ProbeResult result = Probe({"--url", "https://app.kavelo.io/login?eid=x", "--timeout", "1000"});
    std::printf("trailer flood: %s, %llu bytes taken\n", result.output.substr(0, 60).c_str(),
                static_cast<unsigned long long>(server_.FloodedBytes()));
    EXPECT_TRUE(result.exception.empty() || result.exception == "Protocol") << result.output.substr(0, 300);
    EXPECT_LT(server_.FloodedBytes(), 64u << 20);
}

TEST_F(WinHttpClient, ARedirectIsAnAnswerLikeAnyOther) {
    server_.ScriptResponse(302, "", {{"Location", "https://app.kavelo.io/elsewhere"}});
    const ProbeResult result = Probe({"--url", "https://app.kavelo.io/login?eid=x"});
    EXPECT_EQ(result.status, 302u) << result.output;
    EXPECT_EQ(server_.Requests().size(), 1u) << "the Location is not followed";
}

// The URL alone, or false, takes no proxy whatever the system's is (here the origin's name resolves
// nowhere); a proxy the caller names is taken while the system has none.
TEST_F(WinHttpClient, OnlyTheSystemProxyConstructorTakesTheSystemsProxy) {
    const std::string login = "https://app.kavelo.io/login?eid=x";
    const ProbeResult straight = Probe({"--url", login, "--proxy", "none"});
    EXPECT_FALSE(straight.exception.empty()) << straight.output;
    EXPECT_TRUE(proxy_.Requests().empty());
    EXPECT_TRUE(server_.Requests().empty());

    const ProbeResult named =
        Probe({"--url", login, "--proxy", "127.0.0.1:" + std::to_string(proxy_.Port())}, /*viaProxy=*/false);
    EXPECT_TRUE(named.exception.empty()) << named.output;
    EXPECT_EQ(proxy_.Requests(), std::vector<std::string>{"app.kavelo.io:443"});
    EXPECT_EQ(server_.Requests().size(), 1u);
}

TEST_F(WinHttpClient, ARefusedConnectionIsAConnectFailure) {
    const ProbeResult result =
        Probe({"--url", "https://127.0.0.1:" + std::to_string(ClosedPort()) + "/"}, /*viaProxy=*/false);
    EXPECT_EQ(result.exception, "Connect") << result.output;
}

TEST_F(WinHttpClient, AnUntrustedCertificateFailsBeforeAnyRequestReachesTheServer) {
    const ProbeResult result = Probe({"--url", "https://app.kavelo.io/login?eid=x"}, true, /*trust=*/false);
    EXPECT_EQ(result.exception, "Tls") << result.output;
    // WinHTTP, as Windows' own TLS, checks the certificate once the handshake is through, then closes.
    EXPECT_TRUE(server_.Requests().empty());
    EXPECT_EQ(proxy_.Requests().size(), 1u)
        << "the client did reach the server, and stopped at its certificate";
}

TEST_F(WinHttpClient, AStalledAnswerTimesOut) {
    server_.StallNext(std::chrono::seconds(20));
    const ProbeResult result = Probe({"--url", "https://app.kavelo.io/login?eid=x", "--timeout", "1000"});
    EXPECT_EQ(result.exception, "Timeout") << result.output;
    EXPECT_EQ(server_.Requests().size(), 1u) << "the request itself went out";
}

// The server answers in pieces, each well within the time-out of one wait (1 s here).
TEST_F(WinHttpClient, AHeaderStillIncompleteOneTimeOutAfterTheSendIsATimeout) {
    server_.ScriptResponse(204, "");  // a head alone, in 4 pieces over 1.8 s
    server_.PaceNext({std::chrono::milliseconds(600), 4});
    const ProbeResult result = Probe({"--url", "https://app.kavelo.io/login?eid=x", "--timeout", "1000"});
    EXPECT_EQ(result.exception, "Timeout") << result.output;
}

TEST_F(WinHttpClient, AnAnswerStillIncompleteFourTimeOutsAfterTheSendIsATimeout) {
    server_.ScriptResponse(200, std::string(4000, 'a'));  // in 9 pieces over 4.8 s
    server_.PaceNext({std::chrono::milliseconds(600), 9});
    const ProbeResult result = Probe({"--url", "https://app.kavelo.io/login?eid=x", "--timeout", "1000"});
    EXPECT_EQ(result.exception, "Timeout") << result.output;
}

TEST_F(WinHttpClient, ASlowAnswerWithinTheBoundsArrivesWhole) {
    const std::string body(4000, 'a');
    server_.ScriptResponse(200, body);  // in 4 pieces over 1.8 s, the head in the first
    server_.PaceNext({std::chrono::milliseconds(600), 4});
    const ProbeResult result = Probe({"--url", "https://app.kavelo.io/login?eid=x", "--timeout", "1000"});
    EXPECT_EQ(result.status, 200u) << result.output.substr(0, 300);
    EXPECT_EQ(result.body, body);
}

TEST_F(WinHttpClient, ABodyOverTheCapIsRefused) {
    server_.ScriptResponse(200, std::string(33 * 1024 * 1024, 'x'));
    const ProbeResult result = Probe({"--url", "https://app.kavelo.io/login?eid=x"});
    EXPECT_EQ(result.exception, "BodyTooLarge") << result.output.substr(0, 300);
}

}  // namespace
}  // namespace webapp::test
