// What the server records of each request and connection, as a test of a client reads it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "WebappTestSupport.hpp"

namespace webapp::test {
namespace {

using Recording = WebappTest;

// Waits until the server has counted handshakes outcomes in total; the count comes from the server's thread.
ConnectionCounts WaitForHandshakes(const Server& server, std::size_t outcomes) {
    for (int i = 0; i < 500; ++i) {
        const ConnectionCounts counts = server.Connections();
        if (counts.handshakesCompleted + counts.handshakesFailed >= outcomes) {
            return counts;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return server.Connections();
}

TEST_F(Recording, HoldsRequestLineFieldsInOrderAsSpelledAndTheBody) {
    const std::string body = "{\"image\":\"\",\"name\":\"Archicad export\",\"source\":\"archicad\"}";
    const std::string request =
        "POST /api/v1/images HTTP/1.1\r\n"
        "host: app.kavelo.io\r\n"
        "X-Api-Key: " +
        std::string(kLinkedId) +
        "\r\n"
        "x-custom:   padded value  \r\n"
        "Content-Length: " +
        std::to_string(body.size()) + "\r\n\r\n" + body;

    Exchange(request);

    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine, "POST /api/v1/images HTTP/1.1");
    const HeaderFields expected = {{"host", "app.kavelo.io"},
                                   {"X-Api-Key", kLinkedId},
                                   {"x-custom", "padded value"},
                                   {"Content-Length", std::to_string(body.size())}};
    EXPECT_EQ(requests[0].headers, expected);
    EXPECT_EQ(requests[0].body, body);
}

TEST_F(Recording, ChunkedBodyIsRecordedJoined) {
    const std::string request =
        "POST /login HTTP/1.1\r\nHost: app.kavelo.io\r\nTransfer-Encoding: chunked\r\n\r\n"
        "4\r\neid=\r\n3\r\nabc\r\n0\r\n\r\n";

    EXPECT_EQ(Exchange(request).status, 400);

    ASSERT_EQ(server_.Requests().size(), 1u);
    EXPECT_EQ(server_.Requests()[0].body, "eid=abc");
}

TEST_F(Recording, RequestsAreKeptInOrderUntilCleared) {
    Exchange(RequestText("GET", "/live/images"));
    Exchange(RequestText("GET", "/?uploadRealtime=true"));
    ASSERT_EQ(server_.Requests().size(), 2u);
    EXPECT_EQ(server_.Requests()[0].requestLine, "GET /live/images HTTP/1.1");
    EXPECT_EQ(server_.Requests()[1].requestLine, "GET /?uploadRealtime=true HTTP/1.1");

    server_.ClearRequests();
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(Recording, ClientThatDoesNotTrustTheAuthorityFailsTheHandshakeAndSendsNothing) {
    const CertificateAuthority stranger = MakeAuthority("Some other authority");
    TlsClient client(server_.Port(), stranger.certPem, server_.HostName());

    EXPECT_TRUE(client.Connect());

    const ConnectionCounts counts = WaitForHandshakes(server_, 1);
    EXPECT_EQ(counts.accepted, 1u);
    EXPECT_EQ(counts.handshakesCompleted, 0u);
    EXPECT_EQ(counts.handshakesFailed, 1u);
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(Recording, ClientExpectingAnotherHostNameFailsTheHandshake) {
    TlsClient client(server_.Port(), server_.CaCertPem(), "other.kavelo.io");

    EXPECT_TRUE(client.Connect());

    EXPECT_EQ(WaitForHandshakes(server_, 1).handshakesFailed, 1u);
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(Recording, CaCertificateIsWrittenForClientsToTrust) {
    std::ifstream file(server_.CaCertPath());
    const std::string pem((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

    EXPECT_EQ(server_.CaCertPath(), dataDir_.Path() + "/ca.pem");
    EXPECT_EQ(pem, server_.CaCertPem());
    TlsClient client(server_.Port(), pem, "app.kavelo.io");
    EXPECT_FALSE(client.Connect());
}

}  // namespace
}  // namespace webapp::test
