// The connection contract's driver under Wine: the exchanges of a case made by one run of the Windows
// probe (WinHTTP), which reaches the test's server through a CONNECT proxy as the system's proxy. When it
// goes it checks what the Windows client promises of every exchange: the proxy was asked for the origin's
// name alone. That the prefix's Root store holds no authority the probe trusted is checked once for the
// whole program: two runs of reg.exe a case would cost more Wine starts than the cases' own.
#include <fstream>

#include "ConnectionContract.hpp"
#include "Server.hpp"
#include "WineRun.hpp"

namespace httptest {

namespace {

using webapp::test::RunUnderWine;
using webapp::test::WineRun;

class WineDriver : public ConnectionDriver {
public:
    WineDriver(webapp::Server& server, const std::string& dataDir)
        : server_(server), dataDir_(dataDir), caPath_(dataDir + "/trusted-ca.pem") {
        proxy_.Route("app.kavelo.io", 443, server_.Port());
        proxy_.Start();
        std::ofstream(caPath_) << server_.CaCertPem();
    }
    ~WineDriver() override {
        for (const std::string& tunnel : proxy_.Requests())
            EXPECT_EQ(tunnel, "app.kavelo.io:443") << "the name goes to the proxy";
        EXPECT_EQ(proxy_.Requests().empty(),
                  server_.Requests().empty() && server_.Connections().accepted == 0)
            << "the origin's name resolves nowhere here: the server is reached through the proxy only";
        proxy_.Stop();
    }

    std::vector<ExchangeOutcome> Make(const std::vector<ClientExchange>& exchanges) override {
        // An exchange straight to its URL's address runs alone, without the system's proxy.
        const bool direct = exchanges.size() == 1 && exchanges[0].direct;
        const WineRun run = RunUnderWine("KAVELO_HTTP_PROBE", ProbeArguments(exchanges, caPath_),
                                         direct ? 0 : proxy_.Port(), dataDir_ + "/probe-output");
        EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
        return ParseOutcomes(run.output);
    }

    // WinHTTP's waits under Wine, on a machine busy with other Wine tests, kept to a second.
    unsigned TimeOut() const override { return 1000; }

private:
    webapp::Server& server_;
    std::string dataDir_;
    std::string caPath_;
    webapp::ConnectProxy proxy_;
};

class RootStoreUnchanged : public ::testing::Environment {
public:
    void SetUp() override { before_ = webapp::test::RootCertificates(folder_.Path() + "/roots-before"); }
    void TearDown() override {
        EXPECT_EQ(webapp::test::RootCertificates(folder_.Path() + "/roots-after"), before_)
            << "the probe left trust anchors in the prefix's Root store";
    }

private:
    webapp::test::TempDir folder_;
    std::size_t before_ = 0;
};

// Made before main, owned by gtest from then on.
::testing::Environment* const kRootStoreUnchanged =
    ::testing::AddGlobalTestEnvironment(new RootStoreUnchanged);

}  // namespace

std::unique_ptr<ConnectionDriver> MakeConnectionDriver(webapp::Server& server, const std::string& dataDir) {
    return std::make_unique<WineDriver>(server, dataDir);
}

}  // namespace httptest
