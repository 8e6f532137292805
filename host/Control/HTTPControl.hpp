// Control of the HTTP client stand-in for the simulated host and tests: where host names connect to,
// which certificate authorities are trusted besides the system's, and counters of what went out.
// The add-on never uses this. All functions may be called from any thread.
#pragma once

#include <cstdint>
#include <string>

namespace HTTP::Control {

// Connections to `host`:`port` go to `toAddress`:`toPort` instead (an address or a name), the way
// curl --connect-to does: TLS still sends and verifies the original host name, and Host names it.
// Host names compare without regard to case. A later route for the same host and port replaces the earlier.
void RouteHost(const std::string& host, std::uint16_t port, const std::string& toAddress,
               std::uint16_t toPort);
void ClearRoutes();

// Trusts every certificate in `pem` as an anchor for connections made afterwards. Throws
// std::invalid_argument when `pem` holds no certificate.
void AddTrustAnchorPem(const std::string& pem);
void ClearTrustAnchors();

struct Stats {
    std::uint64_t connectionsOpened = 0;    // TCP connections established
    std::uint64_t handshakesCompleted = 0;  // TLS handshakes that verified
    std::uint64_t requestsSent = 0;         // requests written completely
    std::uint64_t bytesSent = 0;            // bytes of requests written (header and body, before TLS)
    std::string lastCipher;                 // the cipher suite of the last verified handshake
};
Stats GetStats();
void ResetStats();

}  // namespace HTTP::Control
