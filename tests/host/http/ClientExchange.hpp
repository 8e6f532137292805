// One HTTPS exchange made through the host library's HTTP client the way the module makes one, described
// in plain data so that a native test can hand it to the Windows probe (as its command line) or make it
// in-process, and read its outcome the same way either way.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace httptest {

struct ClientExchange {
    std::string url;
    bool post = false;
    std::vector<std::pair<std::string, std::string>> headers;  // added to the request as given
    std::string body;                                          // or the file bodyFile names
    std::string bodyFile;
    unsigned timeout = 8000;                     // ms, the connection's SetTimeout
    bool trust = true;                           // the test server's authority is a trust anchor
    std::size_t stream = 0;                      // through BeginSend, this many bytes a write; 0: Send
    std::size_t abortAfter = std::string::npos;  // with stream: Abort once this many body bytes were written
    bool flush = false;                          // with stream: flush after the body until a flush is quick
    std::string proxy = "system";                // "system", "none" or HOST:PORT: which constructor
    bool direct = false;                         // the URL's own address, no route and no system proxy
};

// What the client did, as the probe prints it: "status N", "reason R", "body N" and the N body bytes; or
// "exception KIND message"; or "aborted N sent M"; with "flush MS" lines for each flush.
struct ExchangeOutcome {
    std::string output;
    std::string exception;  // the kind, when the client threw
    unsigned status = 0;
    std::string body;
};

// The probe's options for `exchanges`, one exchange after another separated by "--then"; `caPath` is the
// file of the authority that exchanges with `trust` add.
std::vector<std::string> ProbeArguments(const std::vector<ClientExchange>& exchanges,
                                        const std::string& caPath);
// The exchanges of a probe command line, with the authority file each one trusts in *caPaths ("" for
// none); throws std::invalid_argument for misuse.
std::vector<ClientExchange> ParseProbeArguments(const std::vector<std::string>& arguments,
                                                std::vector<std::string>* caPaths);

// The outputs of several exchanges, each framed as "exchange N\n" and its N bytes.
std::string FrameOutput(const std::string& output);
std::vector<ExchangeOutcome> ParseOutcomes(const std::string& framed);
// One exchange's output read.
ExchangeOutcome ParseOutcome(const std::string& output);

// Makes `exchange` with the host library's client in this process (the trust anchors are the caller's)
// and returns what the probe prints for it. Defined in ClientExchangeRun.cpp, which needs the host library.
std::string MakeExchange(const ClientExchange& exchange);

}  // namespace httptest
