// The connection contract's driver on Linux: each exchange made in this process with the Beast/OpenSSL
// connection, the origin routed to the test's server and its authority a trust anchor as the exchange
// asks.
#include "ConnectionContract.hpp"
#include "HTTPControl.hpp"
#include "Server.hpp"

namespace httptest {

namespace {

class InProcessDriver : public ConnectionDriver {
public:
    explicit InProcessDriver(webapp::Server& server) : server_(server) {
        HTTP::Control::ClearRoutes();
        HTTP::Control::ClearTrustAnchors();
        HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", server_.Port());
    }
    ~InProcessDriver() override {
        HTTP::Control::ClearRoutes();
        HTTP::Control::ClearTrustAnchors();
    }

    std::vector<ExchangeOutcome> Make(const std::vector<ClientExchange>& exchanges) override {
        std::vector<ExchangeOutcome> outcomes;
        for (const ClientExchange& exchange : exchanges) {
            if (exchange.trust)
                HTTP::Control::AddTrustAnchorPem(server_.CaCertPem());
            outcomes.push_back(ParseOutcome(MakeExchange(exchange)));
            HTTP::Control::ClearTrustAnchors();
        }
        return outcomes;
    }

    // The Beast connection's waits are kept to the millisecond.
    unsigned TimeOut() const override { return 300; }

private:
    webapp::Server& server_;
};

}  // namespace

std::unique_ptr<ConnectionDriver> MakeConnectionDriver(webapp::Server& server, const std::string&) {
    return std::make_unique<InProcessDriver>(server);
}

}  // namespace httptest
