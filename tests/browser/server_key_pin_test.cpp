// The key hostsim pins in the real browser is only ever one whose certificate verified for the name.
#include <gtest/gtest.h>

#include <filesystem>

#include "Certificates.hpp"
#include "HostsimTestSupport.hpp"
#include "Server.hpp"
#include "browser/ServerKeyPin.hpp"

namespace browser {
namespace {

using namespace std::chrono_literals;

class BrowserKeyPin : public ::testing::Test {
protected:
    void SetUp() override {
        webapp::ServerOptions options;
        options.dataDir = dir_ / "webapp";
        server_ = std::make_unique<webapp::Server>(options);
        server_->Start();
    }

    // The text of the failure of pinning `host` at the server with `anchors` trusted.
    std::string Failure(const std::string& host, const std::vector<std::string>& anchors) {
        try {
            hostsim::VerifiedServerKeyPin(host, "127.0.0.1", server_->Port(), anchors, 10s);
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "no failure";
    }

    hostsim::testing::TempDir dir_;
    std::unique_ptr<webapp::Server> server_;
};

TEST_F(BrowserKeyPin, AVerifiedCertificateGivesTheSameKeyEveryTimeAndSendsNoRequest) {
    const std::string pin = hostsim::VerifiedServerKeyPin("app.kavelo.io", "127.0.0.1", server_->Port(),
                                                          {server_->CaCertPem()}, 10s);

    EXPECT_EQ(pin.size(), 44u) << "Base64 of 32 bytes";
    EXPECT_EQ(hostsim::VerifiedServerKeyPin("APP.kavelo.io", "127.0.0.1", server_->Port(),
                                            {server_->CaCertPem()}, 10s),
              pin);
    EXPECT_TRUE(server_->Requests().empty());
}

TEST_F(BrowserKeyPin, AnotherNameAnUntrustedAuthorityOrNoServerGivesNoKey) {
    EXPECT_NE(Failure("other.kavelo.io", {server_->CaCertPem()}).find("hostname mismatch"), std::string::npos)
        << Failure("other.kavelo.io", {server_->CaCertPem()});
    const std::string untrusted =
        Failure("app.kavelo.io", {webapp::MakeAuthority("Another authority").certPem});
    EXPECT_NE(untrusted.find("unable to get local issuer certificate"), std::string::npos) << untrusted;
    EXPECT_NE(Failure("app.kavelo.io", {"no certificate here"}).find("holds no certificate"),
              std::string::npos);
    const std::uint16_t port = server_->Port();
    server_->Stop();
    EXPECT_EQ(Failure("app.kavelo.io", {server_->CaCertPem()})
                  .rfind("TLS with app.kavelo.io at 127.0.0.1:" + std::to_string(port) + " failed: ", 0),
              0u);
}

}  // namespace
}  // namespace browser
