// The CONNECT proxy: a verified TLS exchange with the web application through its tunnel under the
// origin's name, and the refusals of what it must not or cannot reach.
#include "ConnectProxy.hpp"
#include "WebappTestSupport.hpp"

namespace webapp::test {
namespace {

class ConnectProxyTest : public WebappTest {
protected:
    void SetUp() override {
        WebappTest::SetUp();
        proxy_.Route("app.kavelo.io", 443, server_.Port());
        proxy_.Start();
    }
    ConnectProxy proxy_;
};

TEST_F(ConnectProxyTest, TunnelsTlsToTheRoutedServerUnderTheOriginalName) {
    TlsClient client(0, server_.CaCertPem());
    std::string status;
    ASSERT_FALSE(client.ConnectThroughProxy(proxy_.Port(), "App.Kavelo.io:443", &status)) << status;
    EXPECT_EQ(status, "HTTP/1.1 200 Connection established");
    const HttpResult page = client.Exchange(RequestText("GET", "/login?eid=" + std::string(kLinkedId)));
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("Confirm"), std::string::npos);
    // A second request on the same tunnel.
    EXPECT_EQ(client.Exchange(RequestText("GET", "/nowhere")).status, 404);
    ASSERT_EQ(server_.Requests().size(), 2u);
    EXPECT_EQ(proxy_.Requests(), std::vector<std::string>{"App.Kavelo.io:443"});
}

// Some clients write the absolute form into the tunnel ("https://host:443/path"), which servers must accept.
TEST_F(ConnectProxyTest, AbsoluteFormTargetsAreServedLikeTheirPath) {
    TlsClient client(0, server_.CaCertPem());
    std::string status;
    ASSERT_FALSE(client.ConnectThroughProxy(proxy_.Port(), "app.kavelo.io:443", &status)) << status;
    const std::string target = "https://app.kavelo.io:443/login?eid=" + std::string(kLinkedId);
    const HttpResult page = client.Exchange(RequestText("GET", target));
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find(kLinkedId), std::string::npos);
    ASSERT_EQ(server_.Requests().size(), 1u);
    EXPECT_EQ(server_.Requests()[0].requestLine, "GET " + target + " HTTP/1.1") << "recorded as received";
}

TEST_F(ConnectProxyTest, RefusesWhatIsNotRoutedAndSaysWhenTheRouteIsDown) {
    TlsClient elsewhere(0, server_.CaCertPem(), "example.org");
    std::string status;
    EXPECT_EQ(elsewhere.ConnectThroughProxy(proxy_.Port(), "example.org:443", &status),
              boost::asio::error::connection_refused);
    EXPECT_EQ(status, "HTTP/1.1 403 Forbidden");

    const std::uint16_t port = server_.Port();
    server_.Stop();
    TlsClient down(0, server_.CaCertPem());
    EXPECT_EQ(down.ConnectThroughProxy(proxy_.Port(), "app.kavelo.io:443", &status),
              boost::asio::error::connection_refused);
    EXPECT_EQ(status, "HTTP/1.1 502 Bad Gateway") << "nothing listens on " << port;
    EXPECT_TRUE(server_.Requests().empty());
}

}  // namespace
}  // namespace webapp::test
