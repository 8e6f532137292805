// The CONNECT proxy: a verified TLS exchange with the web application through its tunnel under the
// origin's name, the refusals of what it must not or cannot reach, and its limits: the head time-out
// and the connection cap.
#include <boost/asio/read_until.hpp>
#include <boost/asio/write.hpp>
#include <thread>

#include "ConnectProxy.hpp"
#include "WebappTestSupport.hpp"

namespace webapp::test {
namespace {

using namespace std::chrono_literals;

// A plain TCP client of the proxy; every wait is bounded.
class RawClient {
public:
    explicit RawClient(std::uint16_t port) : stream_(io_) {
        stream_.expires_after(10s);
        stream_.async_connect({boost::asio::ip::make_address_v4("127.0.0.1"), port},
                              [this](boost::system::error_code ec) { error_ = ec; });
        Run();
        EXPECT_FALSE(error_) << error_.message();
    }

    void Send(const std::string& bytes) {
        stream_.expires_after(10s);
        boost::asio::async_write(stream_, boost::asio::buffer(bytes),
                                 [this](boost::system::error_code ec, std::size_t) { error_ = ec; });
        Run();
        EXPECT_FALSE(error_) << error_.message();
    }

    // Whether any of the proxy's answer has arrived by now; it does not wait.
    bool HasAnswer() {
        boost::system::error_code ignored;
        return stream_.socket().available(ignored) > 0;
    }

    // The status line of the proxy's answer, or "" when none came within `wait` (the connection is closed
    // then).
    std::string Status(std::chrono::milliseconds wait) {
        std::string answer;
        stream_.expires_after(wait);
        boost::asio::async_read_until(stream_, boost::asio::dynamic_buffer(answer), "\r\n\r\n",
                                      [](boost::system::error_code, std::size_t) {});
        Run();
        return answer.substr(0, answer.find("\r\n"));
    }

    // Whether the proxy closed the connection (rather than leaving it open) within 10 s.
    bool ClosedByProxy() {
        char byte;
        stream_.expires_after(10s);
        stream_.async_read_some(boost::asio::buffer(&byte, 1),
                                [this](boost::system::error_code ec, std::size_t) { error_ = ec; });
        Run();
        return error_ == boost::asio::error::eof || error_ == boost::asio::error::connection_reset;
    }

    void Close() { stream_.close(); }

private:
    void Run() {
        io_.restart();
        io_.run();
    }

    boost::asio::io_context io_;
    boost::beast::tcp_stream stream_;
    boost::system::error_code error_;
};

const std::string kConnect = "CONNECT app.kavelo.io:443 HTTP/1.1\r\nHost: app.kavelo.io:443\r\n\r\n";

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

// A proxy with limits of the test's choosing in front of the server.
class LimitedConnectProxyTest : public WebappTest {
protected:
    void StartProxy(ConnectProxyLimits limits) {
        proxy_ = std::make_unique<ConnectProxy>(limits);
        proxy_->Route("app.kavelo.io", 443, server_.Port());
        proxy_->Start();
    }
    std::unique_ptr<ConnectProxy> proxy_;
};

TEST_F(LimitedConnectProxyTest, AHeadThatDoesNotComeIsAnsweredRequestTimeoutAndClosed) {
    StartProxy({300ms, 8});
    RawClient silent(proxy_->Port());
    RawClient partial(proxy_->Port());
    partial.Send("CONNECT app.kavelo.io:443 HTTP/1.1\r\n");
    EXPECT_EQ(silent.Status(10s), "HTTP/1.1 408 Request Timeout");
    EXPECT_TRUE(silent.ClosedByProxy());
    EXPECT_EQ(partial.Status(10s), "HTTP/1.1 408 Request Timeout");
    EXPECT_TRUE(partial.ClosedByProxy());
    EXPECT_TRUE(proxy_->Requests().empty());

    // A tunnel outlives the head's time: only the head is timed.
    TlsClient client(0, server_.CaCertPem());
    std::string status;
    ASSERT_FALSE(client.ConnectThroughProxy(proxy_->Port(), "app.kavelo.io:443", &status)) << status;
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(client.Exchange(RequestText("GET", "/nowhere")).status, 404);
}

TEST_F(LimitedConnectProxyTest, AtTheCapFurtherClientsWaitUntilAConnectionEnds) {
    StartProxy({30s, 2});
    RawClient first(proxy_->Port());
    RawClient second(proxy_->Port());
    RawClient waiting(proxy_->Port());
    waiting.Send(kConnect);
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(waiting.HasAnswer()) << "served beyond the cap";
    EXPECT_TRUE(proxy_->Requests().empty());

    first.Close();
    EXPECT_EQ(waiting.Status(10s), "HTTP/1.1 200 Connection established");
    EXPECT_EQ(proxy_->Requests(), std::vector<std::string>{"app.kavelo.io:443"});
}

// Silent clients cannot hold the proxy: their time runs out, and the waiting client is served.
TEST_F(LimitedConnectProxyTest, ASilentClientAtTheCapGivesWayWhenItsHeadTimesOut) {
    StartProxy({300ms, 1});
    RawClient silent(proxy_->Port());
    TlsClient client(0, server_.CaCertPem());
    std::string status;
    ASSERT_FALSE(client.ConnectThroughProxy(proxy_->Port(), "app.kavelo.io:443", &status)) << status;
    EXPECT_EQ(client.Exchange(RequestText("GET", "/nowhere")).status, 404);
    EXPECT_EQ(silent.Status(10s), "HTTP/1.1 408 Request Timeout");
}

}  // namespace
}  // namespace webapp::test
