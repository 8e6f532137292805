// The proxy of an HTTP client connection: how a proxy setting and its bypass list are read, and which way
// each constructor's connection goes, against a local TLS server behind a loopback CONNECT proxy.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include <boost/asio/ip/tcp.hpp>

#include "Certificates.hpp"
#include "ConnectProxy.hpp"
#include "HTTP/Client/ClientConnection.hpp"
#include "HTTPControl.hpp"
#include "HTTPException.hpp"
#include "IBinaryChannelUtilities.hpp"
#include "IOBinProtocolXs.hpp"
#include "ProxyChoice.hpp"
#include "TlsTestServer.hpp"
#include "URI.hpp"

namespace {

using HTTP::Detail::ProxyFor;
using HTTP::Detail::ProxyServer;
using HTTP::Detail::ProxySetting;
using Kind = HTTP::Exception::Kind;

std::optional<ProxyServer> For(const std::string& proxy, const std::string& bypass = "",
                               const std::string& host = "app.kavelo.io", std::uint16_t port = 443) {
    return ProxyFor(ProxySetting{proxy, bypass}, host, port);
}

Kind FailureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const HTTP::Exception& failure) {
        return failure.GetKind();
    }
    ADD_FAILURE() << "no failure";
    return Kind::BodyTooLarge;
}

TEST(ProxyReading, ServersAsTheEnvironmentAndWinHttpWriteThem) {
    EXPECT_EQ(For("http://127.0.0.1:3128/"), (ProxyServer{"127.0.0.1", 3128}));
    EXPECT_EQ(For("HTTP://proxy.office:8080"), (ProxyServer{"proxy.office", 8080}));
    EXPECT_EQ(For("proxy.office"), (ProxyServer{"proxy.office", 80})) << "WinHTTP's default port";
    EXPECT_EQ(For("http=plain:81;https=secure:8443"), (ProxyServer{"secure", 8443}));
    EXPECT_EQ(For("ftp=other:21 shared:3128"), (ProxyServer{"shared", 3128}));
    EXPECT_EQ(For("http=plain:81"), std::nullopt) << "no proxy for https";
    EXPECT_EQ(For("[::1]:3128"), (ProxyServer{"::1", 3128}));
    EXPECT_EQ(HTTP::Detail::AuthorityOf(ProxyServer{"::1", 3128}), "[::1]:3128") << "as WinHTTP is told it";
    EXPECT_EQ(For(""), std::nullopt);
    // A proxy that was meant but cannot be used is a failure, never a silent way around it.
    EXPECT_EQ(FailureOf([] { For("socks5://127.0.0.1:1080"); }), Kind::Connect);
    EXPECT_EQ(FailureOf([] { For("http://proxy:99999"); }), Kind::Connect);
    EXPECT_EQ(FailureOf([] { For("http://:3128"); }), Kind::Connect);
}

TEST(ProxyReading, BypassListsOfEitherSystem) {
    const std::string proxy = "proxy:3128";
    EXPECT_EQ(For(proxy, "localhost", "localhost"), std::nullopt);
    EXPECT_NE(For(proxy, "localhost"), std::nullopt);
    for (const char* bypass : {"*", "kavelo.io", ".kavelo.io", "*.kavelo.io", "APP.KAVELO.IO",
                               "intranet, kavelo.io", "intranet;*.kavelo.io", "app.kavelo.io:443"})
        EXPECT_EQ(For(proxy, bypass), std::nullopt) << bypass;
    for (const char* bypass : {"kavelo", "pp.kavelo.io", "app.kavelo.io:8443", "<local>", "*.io.example"})
        EXPECT_NE(For(proxy, bypass), std::nullopt) << bypass;
    EXPECT_EQ(For(proxy, "<local>", "intranet"), std::nullopt);
}

TEST(ProxyReading, AnExplicitProxyNeedsAHostAndAPort) {
    using HTTP::Detail::ExplicitProxy;
    EXPECT_EQ(FailureOf([] { ExplicitProxy("", 3128, "localhost"); }), Kind::Usage);
    EXPECT_EQ(FailureOf([] { ExplicitProxy("proxy", 0, "localhost"); }), Kind::Usage);
    EXPECT_EQ(ExplicitProxy("proxy:3128", 0, "").manual.proxy, "proxy:3128");
    EXPECT_EQ(ExplicitProxy("proxy", 3128, "").manual.proxy, "proxy:3128");
}

const webapp::CertificateAuthority& Authority() {
    static const webapp::CertificateAuthority ca = webapp::MakeAuthority("KAVELO proxy test authority");
    return ca;
}

std::uint16_t UnusedPort() {
    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor probe(io, {boost::asio::ip::make_address("127.0.0.1"), 0});
    return probe.local_endpoint().port();
}

// The origin's server behind a CONNECT proxy on loopback; the origin's own route goes to a port nobody
// listens on, so only a connection through the proxy reaches the server. The environment's proxy
// variables are this test's and are cleared after it.
class ProxyConnectionTest : public ::testing::Test {
protected:
    ProxyConnectionTest() : server_(webapp::IssueServerCertificate(Authority(), {"app.kavelo.io"})) {
        ClearEnvironment();
        HTTP::Control::ClearRoutes();
        HTTP::Control::ClearTrustAnchors();
        HTTP::Control::AddTrustAnchorPem(Authority().certPem);
        HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", UnusedPort());
        proxy_.Route("app.kavelo.io", 443, server_.Port());
        proxy_.Start();
        httptest::Behaviour behaviour;
        behaviour.response = "HTTP/1.1 201 Created\r\nContent-Length: 12\r\n\r\n{\"id\":\"p1\"}\n";
        server_.SetBehaviour(behaviour);
    }
    ~ProxyConnectionTest() override {
        ClearEnvironment();
        HTTP::Control::ClearRoutes();
        HTTP::Control::ClearTrustAnchors();
    }
    static void ClearEnvironment() {
        for (const char* name : {"https_proxy", "HTTPS_PROXY", "no_proxy", "NO_PROXY"}) unsetenv(name);
    }
    std::string ProxyUrl() const { return "http://127.0.0.1:" + std::to_string(proxy_.Port()); }

    // One POST on `connection`; its status.
    static UInt32 Post(HTTP::Client::ClientConnection& connection) {
        connection.SetTimeout(8000);
        connection.Connect();
        HTTP::Client::Request request(HTTP::MessageHeader::Method::Post, "/api/v1/images",
                                      HTTP::MessageHeader::HTTPVersion::Version11);
        connection.Send(request, "{}", 2);
        HTTP::Client::Response response;
        HTTP::Encoding::BodyIBinaryChannel& channel = connection.BeginReceive(response);
        GS::IChannelX input(channel, GS::GetNetworkByteOrderIProtocolX());
        GS::IBinaryChannelUtilities::ReadUniStringAsUTF8(input, GS::IBinaryChannelUtilities::NotTerminated);
        connection.FinishReceive();
        connection.Close(false);
        return response.GetStatusCode();
    }

    const IO::URI::URI origin_{"https://app.kavelo.io"};
    httptest::TlsTestServer server_;
    webapp::ConnectProxy proxy_;
};

TEST_F(ProxyConnectionTest, TheSystemsProxyCarriesTheExchangeWhereTheDirectWayIsRefused) {
    setenv("https_proxy", ProxyUrl().c_str(), 1);
    HTTP::Client::ClientConnection connection(origin_, true);
    EXPECT_EQ(Post(connection), 201u);
    EXPECT_EQ(proxy_.Requests(), std::vector<std::string>{"app.kavelo.io:443"});
    ASSERT_EQ(server_.Requests().size(), 1u);
    EXPECT_EQ(server_.Requests()[0].rfind("POST /api/v1/images HTTP/1.1\r\n", 0), 0u);
    EXPECT_NE(server_.Requests()[0].find("\r\nHost: app.kavelo.io\r\n"), std::string::npos);

    unsetenv("https_proxy");
    setenv("HTTPS_PROXY", ProxyUrl().c_str(), 1);
    HTTP::Client::ClientConnection upper(origin_, true);
    EXPECT_EQ(Post(upper), 201u) << "the variable in capitals too";
    EXPECT_EQ(proxy_.Requests().size(), 2u);
}

TEST_F(ProxyConnectionTest, TheUrlAloneAndFalseGoStraightWhateverTheSystemSays) {
    setenv("https_proxy", ProxyUrl().c_str(), 1);
    HTTP::Client::ClientConnection alone(origin_);
    EXPECT_EQ(FailureOf([&] { alone.Connect(); }), Kind::Connect);
    HTTP::Client::ClientConnection withoutProxy(origin_, false);
    EXPECT_EQ(FailureOf([&] { withoutProxy.Connect(); }), Kind::Connect);
    EXPECT_TRUE(proxy_.Requests().empty());
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(ProxyConnectionTest, NoProxyExemptsTheHostFromTheSystemsProxy) {
    setenv("https_proxy", ProxyUrl().c_str(), 1);
    setenv("no_proxy", "localhost,.kavelo.io", 1);
    HTTP::Client::ClientConnection exempt(origin_, true);
    EXPECT_EQ(FailureOf([&] { exempt.Connect(); }), Kind::Connect) << "straight, to the refused route";
    EXPECT_TRUE(proxy_.Requests().empty());
    HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", server_.Port());
    HTTP::Client::ClientConnection straight(origin_, true);
    EXPECT_EQ(Post(straight), 201u);
    EXPECT_TRUE(proxy_.Requests().empty());
}

TEST_F(ProxyConnectionTest, AnExplicitProxyIsTakenUnlessItsBypassListNamesTheHost) {
    HTTP::Client::ClientConnection named(origin_, "127.0.0.1", proxy_.Port());
    EXPECT_EQ(Post(named), 201u) << "the default bypass list names only localhost";
    EXPECT_EQ(proxy_.Requests(), std::vector<std::string>{"app.kavelo.io:443"});
    // A bare "host:port" literal would choose the bool constructor, as with the kit's overloads.
    const GS::UniString hostAndPort(("127.0.0.1:" + std::to_string(proxy_.Port())).c_str());
    HTTP::Client::ClientConnection inHost(origin_, hostAndPort);
    EXPECT_EQ(Post(inHost), 201u);
    HTTP::Client::ClientConnection bypassed(origin_, "127.0.0.1", proxy_.Port(), "*.kavelo.io");
    EXPECT_EQ(FailureOf([&] { bypassed.Connect(); }), Kind::Connect);
    EXPECT_EQ(proxy_.Requests().size(), 2u);
    EXPECT_EQ(FailureOf([&] { HTTP::Client::ClientConnection(origin_, "", 3128); }), Kind::Usage);
}

TEST_F(ProxyConnectionTest, AProxyThatRefusesTheTunnelFailsTheConnectWithNothingSent) {
    setenv("https_proxy", ProxyUrl().c_str(), 1);
    HTTP::Client::ClientConnection elsewhere(IO::URI::URI("https://other.kavelo.io"), true);
    try {
        elsewhere.Connect();
        ADD_FAILURE() << "the proxy's refusal was taken";
    } catch (const HTTP::Exception& failure) {
        EXPECT_EQ(failure.GetKind(), Kind::Connect);
        EXPECT_NE(std::string(failure.what()).find("refused the tunnel to other.kavelo.io:443: HTTP/1.1 403"),
                  std::string::npos)
            << failure.what();
    }
    EXPECT_TRUE(server_.Requests().empty());
    setenv("https_proxy", "socks5://127.0.0.1:1080", 1);
    HTTP::Client::ClientConnection unusable(origin_, true);
    EXPECT_EQ(FailureOf([&] { unusable.Connect(); }), Kind::Connect) << "never straight instead";
    EXPECT_TRUE(server_.Requests().empty());
}

}  // namespace
