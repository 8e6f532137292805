// The Windows build's HTTP client (WinHTTP) against the web application stand-in: what only the Windows
// client promises, beside the connection's contract (tests/host/http/ConnectionContract.cpp), which this
// program runs too through WineConnectionDriver.cpp. It runs natively with the server and a CONNECT proxy
// in-process; each case runs a Windows program (http_probe, export_probe) once under Wine and checks what
// the server received and what the client reported. The Windows build registers it as a test and names
// the probes and Wine in KAVELO_HTTP_PROBE, KAVELO_EXPORT_PROBE, KAVELO_WINE_RUN and KAVELO_WINEPREFIX.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ClientExchange.hpp"
#include "WineRun.hpp"

namespace webapp::test {
namespace {

using httptest::ClientExchange;
using httptest::ExchangeOutcome;

class WinHttpClient : public ProxiedWebappTest {
protected:
    // Makes `exchange` by http_probe under Wine; with `viaProxy` WinHTTP's proxy is this test's.
    ExchangeOutcome Probe(ClientExchange exchange, bool viaProxy = true) {
        const WineRun run = RunUnderWine("KAVELO_HTTP_PROBE", httptest::ProbeArguments({exchange}, caPath_),
                                         viaProxy ? proxy_.Port() : 0, dataDir_.Path() + "/probe-output");
        EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
        const std::vector<ExchangeOutcome> outcomes = httptest::ParseOutcomes(run.output);
        EXPECT_EQ(outcomes.size(), 1u) << run.output;
        return outcomes.empty() ? ExchangeOutcome{run.output, "", 0, ""} : outcomes[0];
    }
};

ClientExchange Get(const std::string& url, unsigned timeout = 8000) {
    ClientExchange exchange;
    exchange.url = url;
    exchange.timeout = timeout;
    return exchange;
}

const std::string kLogin = "https://app.kavelo.io/login?eid=x";

// The whole export by the Windows module: the host saves the view, the module reads the file, encodes
// it and posts it over WinHTTP through the proxy; the server stores the JPEG and the user sees success.
TEST_F(WinHttpClient, TheWindowsModuleExportsTheViewToTheServer) {
    const std::string jpeg = MakeJpeg(64, 32);
    const std::string jpegPath = dataDir_.Path() + "/view.jpg";
    std::ofstream(jpegPath, std::ios::binary) << jpeg;
    const WineRun run =
        RunUnderWine("KAVELO_EXPORT_PROBE", {"--jpeg", jpegPath, "--link-id", kLinkedId, "--trust", caPath_},
                     proxy_.Port(), dataDir_.Path() + "/export-output");
    EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
    ASSERT_EQ(server_.Images().size(), 1u) << run.output;
    const StoredImage image = server_.Images()[0];
    std::ifstream stored(image.path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stored), std::istreambuf_iterator<char>()), jpeg);
    EXPECT_EQ(image.accountId, kLinkedId);
    EXPECT_NE(run.output.find("dialog 32531 Export to KAVELO succeeded\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("ImageID " + image.id + "\n"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("report "), std::string::npos) << run.output;
}

// Once the whole body was written, a flush waits about a second at most for it to arrive (here, with no
// statistics from the system, for the answer's head), so that the caller can act between flushes; the
// flush that sees the head returns at once, and the answer is read.
TEST_F(WinHttpClient, FlushesAfterTheBodyWaitASecondEachUntilTheAnswerComes) {
    server_.StallNext(std::chrono::milliseconds(3000));
    ClientExchange exchange = Get("https://app.kavelo.io/api/v1/images");
    exchange.post = true;
    exchange.headers = {{"X-Api-Key", kLinkedId}};
    exchange.body = UploadBody(MakeJpeg(64, 48));
    exchange.stream = 4000;
    exchange.flush = true;
    const ExchangeOutcome result = Probe(exchange);
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

// WinHTTP reads the framing itself. Wine's discards a chunk extension as it reads it, and would end the
// body when the connection ends; what this client bounds is the time: an answer still incomplete four
// time-outs after the request arrived is a time-out. (The Beast connection refuses the extension as
// malformed once its buffer is full: tests/host/http/connection_test.cpp.)
TEST_F(WinHttpClient, AnEndlessChunkExtensionEndsWithinTheAnswersBound) {
    server_.ScriptResponse(200, "");
    server_.FloodNext({FloodAnswer::Where::ChunkExtension, std::size_t(64) << 30});
    const auto start = std::chrono::steady_clock::now();
    const ExchangeOutcome result = Probe(Get(kLogin, 1000));
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
    const ExchangeOutcome result = Probe(Get(kLogin, 1000));
    std::printf("trailer flood: %s, %llu bytes taken\n", result.output.substr(0, 60).c_str(),
                static_cast<unsigned long long>(server_.FloodedBytes()));
    EXPECT_TRUE(result.exception.empty() || result.exception == "Protocol") << result.output.substr(0, 300);
    EXPECT_LT(server_.FloodedBytes(), 64u << 20);
}

// The URL alone, or false, takes no proxy whatever the system's is (here the origin's name resolves
// nowhere); a proxy the caller names is taken while the system has none.
TEST_F(WinHttpClient, OnlyTheSystemProxyConstructorTakesTheSystemsProxy) {
    ClientExchange straight = Get(kLogin);
    straight.proxy = "none";
    const ExchangeOutcome unproxied = Probe(straight);
    EXPECT_FALSE(unproxied.exception.empty()) << unproxied.output;
    EXPECT_TRUE(proxy_.Requests().empty());
    EXPECT_TRUE(server_.Requests().empty());

    ClientExchange named = Get(kLogin);
    named.proxy = "127.0.0.1:" + std::to_string(proxy_.Port());
    const ExchangeOutcome proxied = Probe(named, /*viaProxy=*/false);
    EXPECT_TRUE(proxied.exception.empty()) << proxied.output;
    EXPECT_EQ(proxy_.Requests(), std::vector<std::string>{"app.kavelo.io:443"});
    EXPECT_EQ(server_.Requests().size(), 1u);
}

}  // namespace
}  // namespace webapp::test
