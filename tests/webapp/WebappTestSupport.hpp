// Test support for the web application stand-in: a verifying TLS client, a tiny JPEG, upload bodies and
// a fixture that runs a server in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Server.hpp"

namespace webapp::test {

// A response as the client read it.
struct HttpResult {
    int status = 0;
    HeaderFields headers;
    std::string body;

    std::optional<std::string> Header(const std::string& name) const;
};

// One TLS connection to 127.0.0.1:port that verifies the server's certificate against caPem and the
// host name. Every wait is bounded by timeout; errors are returned, not thrown, except by Exchange.
class TlsClient {
public:
    TlsClient(std::uint16_t port, const std::string& caPem, std::string hostName = "app.kavelo.io",
              std::chrono::milliseconds timeout = std::chrono::seconds(10));

    boost::system::error_code Connect();
    // Connects to a CONNECT proxy on 127.0.0.1:proxyPort instead, asks it for `target` and, once it answers
    // 200, makes the TLS handshake through the tunnel. *proxyStatus receives the proxy's status line; any
    // other answer than 200 ends the attempt with connection_refused.
    boost::system::error_code ConnectThroughProxy(std::uint16_t proxyPort, const std::string& target,
                                                  std::string* proxyStatus);
    boost::system::error_code Write(const std::string& bytes);
    // Reads one response with Beast's parser (chunked and close-delimited bodies included).
    boost::system::error_code Read(HttpResult& result);
    // Reads raw bytes until the server closes the connection; ec tells how it ended.
    std::string ReadToEnd(boost::system::error_code& ec);
    // Write and Read of one request; throws std::runtime_error on any failure.
    HttpResult Exchange(const std::string& requestText);

private:
    void Run();
    boost::system::error_code Handshake();

    std::uint16_t port_;
    std::string hostName_;
    std::chrono::milliseconds timeout_;
    boost::asio::io_context io_;
    boost::asio::ssl::context tls_;
    std::unique_ptr<boost::beast::ssl_stream<boost::beast::tcp_stream>> stream_;
    boost::beast::flat_buffer buffer_;
};

// The text of an HTTP/1.1 request with Host and, when there is a body, Content-Length; extra fields in order.
std::string RequestText(const std::string& method, const std::string& target, const HeaderFields& fields = {},
                        const std::string& body = "", const std::string& host = "app.kavelo.io");

// A small real JPEG (a colour gradient) made with TurboJPEG.
std::string MakeJpeg(int width = 16, int height = 8);

std::string Base64(const std::string& bytes);

// The JSON upload body the add-on sends: "image" (a JPEG data URL of jpeg), "name", "source".
std::string UploadBody(const std::string& jpeg);

// A fresh folder under the system's temporary folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// The account that WebappTest links before it starts the server.
inline constexpr const char* kLinkedId = "0f8e2c1a-5b3d-4e6f-9a7b-1c2d3e4f5a6b";

// A running server with its data in a temporary folder and the account kLinkedId linked.
class WebappTest : public ::testing::Test {
protected:
    WebappTest();
    explicit WebappTest(ServerOptions options);

    void SetUp() override;
    void TearDown() override;

    // A connected client; fails the test when connecting fails.
    std::unique_ptr<TlsClient> Connect();
    // One request on a new connection.
    HttpResult Exchange(const std::string& requestText);
    HttpResult Upload(const std::string& body, const std::string& apiKey = kLinkedId);

    TempDir dataDir_;
    Server server_;
};

}  // namespace webapp::test
