// The contract of the host library's HTTP client connection, written once and run by each platform's
// driver: in-process against the Beast/OpenSSL connection on Linux (http_tests), and through the Windows
// probe under Wine against the WinHTTP one (winhttp_client_test). Each case arranges the web application
// stand-in's answers, hands the driver the exchanges it wants made, and checks what the client reported and
// what the server received. What one platform alone promises stays in that platform's own file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ClientExchange.hpp"
#include "WebappTestSupport.hpp"

namespace httptest {

// Makes exchanges with one platform's client against the fixture's server, whose origin is
// https://app.kavelo.io.
class ConnectionDriver {
public:
    virtual ~ConnectionDriver() = default;
    // Makes `exchanges` one after another and returns their outcomes, one each.
    virtual std::vector<ExchangeOutcome> Make(const std::vector<ClientExchange>& exchanges) = 0;
    // The time-out (ms) of the cases that test the answer's time bounds, the server's pace set from it: as
    // short as the platform's waits are reliably kept, so that the cases cost little time.
    virtual unsigned TimeOut() const = 0;
};

// The platform's driver for `server`, with `dataDir` for its files; each test binary links one (the
// in-process one, or the one under Wine). It checks, when it goes, what its platform promises of every
// exchange (for example that the proxy was asked for the origin's name only).
std::unique_ptr<ConnectionDriver> MakeConnectionDriver(webapp::Server& server, const std::string& dataDir);

// A loopback port nobody listens on: one the system just handed out and took back. For the contract's
// cases and each platform's own.
std::uint16_t UnusedLoopbackPort();

class ConnectionContract : public webapp::test::WebappTest {
protected:
    void SetUp() override;
    void TearDown() override;

    ExchangeOutcome Make(const ClientExchange& exchange);
    std::vector<ExchangeOutcome> Make(const std::vector<ClientExchange>& exchanges);

    std::unique_ptr<ConnectionDriver> driver_;
};

}  // namespace httptest
