// The key a TLS server presents, taken only after its certificate verified: what hostsim pins in the
// real browser so that it accepts the web application's certificate and no other.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace hostsim {

// Connects to address:port, sends `host` as the server name and verifies the certificate chain against
// `trustPems` and the system's authorities, and its name against `host`. Returns the Base64 text of the
// SHA-256 of the server certificate's SubjectPublicKeyInfo. Sends no request. Throws std::runtime_error
// saying why when the connection, the handshake or the verification fails or takes longer than `timeout`.
std::string VerifiedServerKeyPin(const std::string& host, const std::string& address, std::uint16_t port,
                                 const std::vector<std::string>& trustPems,
                                 std::chrono::milliseconds timeout);

}  // namespace hostsim
