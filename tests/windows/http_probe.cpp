// The Windows build's HTTP client (WinHTTP) making exchanges the way the module makes them, for the
// native driver of the connection's contract under Wine: http_probe EXCHANGE [--then EXCHANGE]..., where
// an exchange is --url URL [--method GET|POST] [--header "Name: value"]... [--body TEXT | --body-file PATH]
// [--timeout MS] [--trust PEM-FILE] [--stream PIECE] [--abort-after N] [--flush yes] [--proxy P]
// (tests/host/http/ClientExchange.hpp says what each does). Several exchanges a run spare Wine's start.
// For each exchange prints "exchange N" and the N bytes of its account: "status N", "reason R" and
// "body N" followed by the N body bytes; or, when the client throws, "exception KIND message". The exit
// status is 0 either way; 2 for misuse.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "ClientExchange.hpp"
#include "HTTPControl.hpp"

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::invalid_argument("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Each exchange with its own trust anchors, gone again after it: the prefix's Root store is left as found.
void Run(const std::vector<httptest::ClientExchange>& exchanges, const std::vector<std::string>& caPaths) {
    for (std::size_t i = 0; i < exchanges.size(); ++i) {
        if (!caPaths[i].empty())
            HTTP::Control::AddTrustAnchorPem(ReadText(caPaths[i]));
        const std::string framed = httptest::FrameOutput(httptest::MakeExchange(exchanges[i]));
        HTTP::Control::ClearTrustAnchors();
        std::fwrite(framed.data(), 1, framed.size(), stdout);
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // The body goes out byte for byte: no CR before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<httptest::ClientExchange> exchanges;
    std::vector<std::string> caPaths;
    try {
        exchanges = httptest::ParseProbeArguments(std::vector<std::string>(argv + 1, argv + argc), &caPaths);
        Run(exchanges, caPaths);
    } catch (const std::invalid_argument& misuse) {
        std::fprintf(stderr, "http_probe: %s\n", misuse.what());
        return 2;
    }
    return 0;
}
