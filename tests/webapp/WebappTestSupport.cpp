// The test client runs each asynchronous step on its own io context, so every wait has a deadline.
#include "WebappTestSupport.hpp"

#include <openssl/ssl.h>
#include <stdlib.h>
#include <turbojpeg.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/ssl/host_name_verification.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http.hpp>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <vector>

namespace webapp::test {

namespace net = boost::asio;
namespace http = boost::beast::http;
using error_code = boost::system::error_code;

std::optional<std::string> HttpResult::Header(const std::string& name) const {
    for (const auto& [fieldName, value] : headers) {
        if (EqualsIgnoringCase(fieldName, name)) {
            return value;
        }
    }
    return std::nullopt;
}

TlsClient::TlsClient(std::uint16_t port, const std::string& caPem, std::string hostName,
                     std::chrono::milliseconds timeout)
    : port_(port), hostName_(std::move(hostName)), timeout_(timeout), tls_(net::ssl::context::tls_client) {
    tls_.add_certificate_authority(net::buffer(caPem));
    tls_.set_verify_mode(net::ssl::verify_peer);
    tls_.set_verify_callback(net::ssl::host_name_verification(hostName_));
}

void TlsClient::Run() {
    io_.restart();
    io_.run();
}

error_code TlsClient::Connect() {
    stream_ = std::make_unique<boost::beast::ssl_stream<boost::beast::tcp_stream>>(io_, tls_);
    if (SSL_set_tlsext_host_name(stream_->native_handle(), hostName_.c_str()) != 1) {
        return net::error::invalid_argument;
    }
    error_code result;
    auto& tcp = boost::beast::get_lowest_layer(*stream_);
    tcp.expires_after(timeout_);
    const net::ip::tcp::endpoint endpoint(net::ip::make_address_v4("127.0.0.1"), port_);
    tcp.async_connect(endpoint, [&](error_code ec) {
        result = ec;
        if (ec) {
            return;
        }
        tcp.expires_after(timeout_);
        stream_->async_handshake(net::ssl::stream_base::client,
                                 [&](error_code handshakeError) { result = handshakeError; });
    });
    Run();
    return result;
}

error_code TlsClient::ConnectThroughProxy(std::uint16_t proxyPort, const std::string& target,
                                          std::string* proxyStatus) {
    stream_ = std::make_unique<boost::beast::ssl_stream<boost::beast::tcp_stream>>(io_, tls_);
    auto& tcp = boost::beast::get_lowest_layer(*stream_);
    const std::string request = "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n\r\n";
    std::string answer;
    error_code result;
    tcp.expires_after(timeout_);
    tcp.async_connect(net::ip::tcp::endpoint(net::ip::make_address_v4("127.0.0.1"), proxyPort),
                      [&](error_code ec) {
                          if ((result = ec))
                              return;
                          net::async_write(tcp, net::buffer(request), [&](error_code written, std::size_t) {
                              if ((result = written))
                                  return;
                              net::async_read_until(tcp, net::dynamic_buffer(answer), "\r\n\r\n",
                                                    [&](error_code read, std::size_t) { result = read; });
                          });
                      });
    Run();
    *proxyStatus = answer.substr(0, answer.find("\r\n"));
    if (result)
        return result;
    if (proxyStatus->compare(0, 13, "HTTP/1.1 200 ") != 0)
        return net::error::connection_refused;
    return Handshake();
}

error_code TlsClient::Handshake() {
    if (SSL_set_tlsext_host_name(stream_->native_handle(), hostName_.c_str()) != 1)
        return net::error::invalid_argument;
    error_code result;
    boost::beast::get_lowest_layer(*stream_).expires_after(timeout_);
    stream_->async_handshake(net::ssl::stream_base::client, [&](error_code ec) { result = ec; });
    Run();
    return result;
}

error_code TlsClient::Write(const std::string& bytes) {
    error_code result;
    boost::beast::get_lowest_layer(*stream_).expires_after(timeout_);
    net::async_write(*stream_, net::buffer(bytes), [&](error_code ec, std::size_t) { result = ec; });
    Run();
    return result;
}

error_code TlsClient::Read(HttpResult& result) {
    http::response_parser<http::string_body> parser;
    parser.body_limit(boost::none);
    error_code outcome;
    boost::beast::get_lowest_layer(*stream_).expires_after(timeout_);
    http::async_read(*stream_, buffer_, parser, [&](error_code ec, std::size_t) { outcome = ec; });
    Run();
    const auto& message = parser.get();
    result.status = static_cast<int>(message.result_int());
    result.headers.clear();
    for (const auto& field : message) {
        result.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    result.body = message.body();
    return outcome;
}

std::string TlsClient::ReadToEnd(error_code& ec) {
    std::string bytes(static_cast<const char*>(buffer_.data().data()), buffer_.size());
    buffer_.consume(buffer_.size());
    std::vector<char> chunk(16 * 1024);
    for (;;) {
        error_code result;
        std::size_t got = 0;
        boost::beast::get_lowest_layer(*stream_).expires_after(timeout_);
        stream_->async_read_some(net::buffer(chunk), [&](error_code readError, std::size_t n) {
            result = readError;
            got = n;
        });
        Run();
        bytes.append(chunk.data(), got);
        if (result) {
            ec = result;
            return bytes;
        }
    }
}

HttpResult TlsClient::Exchange(const std::string& requestText) {
    if (const error_code ec = Write(requestText)) {
        throw std::runtime_error("writing the request failed: " + ec.message());
    }
    HttpResult result;
    if (const error_code ec = Read(result)) {
        throw std::runtime_error("reading the response failed: " + ec.message());
    }
    return result;
}

std::string RequestText(const std::string& method, const std::string& target, const HeaderFields& fields,
                        const std::string& body, const std::string& host) {
    std::string text = method + " " + target + " HTTP/1.1\r\nHost: " + host + "\r\n";
    for (const auto& [name, value] : fields) {
        text += name + ": " + value + "\r\n";
    }
    if (!body.empty() || method == "POST") {
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    return text + "\r\n" + body;
}

std::string MakeJpeg(int width, int height) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width * height * 3));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char* pixel = &pixels[static_cast<std::size_t>((y * width + x) * 3)];
            pixel[0] = static_cast<unsigned char>(x * 255 / width);
            pixel[1] = static_cast<unsigned char>(y * 255 / height);
            pixel[2] = 128;
        }
    }
    tjhandle encoder = tjInitCompress();
    if (encoder == nullptr) {
        throw std::runtime_error("tjInitCompress failed");
    }
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int result =
        tjCompress2(encoder, pixels.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_420, 85, 0);
    tjDestroy(encoder);
    if (result != 0) {
        tjFree(jpeg);
        throw std::runtime_error("tjCompress2 failed");
    }
    std::string bytes(reinterpret_cast<const char*>(jpeg), size);
    tjFree(jpeg);
    return bytes;
}

std::string Base64(const std::string& bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t group = (std::uint32_t(std::uint8_t(bytes[i])) << 16) |
                                    (std::uint32_t(std::uint8_t(bytes[i + 1])) << 8) |
                                    std::uint8_t(bytes[i + 2]);
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += kAlphabet[(group >> 6) & 63];
        text += kAlphabet[group & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 1) {
        const std::uint32_t group = std::uint32_t(std::uint8_t(bytes[i])) << 16;
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += "==";
    } else if (rest == 2) {
        const std::uint32_t group =
            (std::uint32_t(std::uint8_t(bytes[i])) << 16) | (std::uint32_t(std::uint8_t(bytes[i + 1])) << 8);
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += kAlphabet[(group >> 6) & 63];
        text += '=';
    }
    return text;
}

std::string UploadBody(const std::string& jpeg) {
    nlohmann::json body;
    body["image"] = "data:image/jpeg;base64," + Base64(jpeg);
    body["name"] = "Archicad export";
    body["source"] = "archicad";
    return body.dump();
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kavelo-webapp-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed for " + pattern);
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

namespace {

ServerOptions WithDataDir(ServerOptions options, const std::string& dataDir) {
    options.dataDir = dataDir;
    return options;
}

}  // namespace

WebappTest::WebappTest() : WebappTest(ServerOptions{}) {}

WebappTest::WebappTest(ServerOptions options) : server_(WithDataDir(std::move(options), dataDir_.Path())) {}

void WebappTest::SetUp() {
    server_.LinkAccount(kLinkedId);
    server_.Start();
}

void WebappTest::TearDown() {
    server_.Stop();
}

std::unique_ptr<TlsClient> WebappTest::Connect() {
    auto client = std::make_unique<TlsClient>(server_.Port(), server_.CaCertPem(), server_.HostName());
    const error_code ec = client->Connect();
    EXPECT_FALSE(ec) << "connecting failed: " << ec.message();
    return client;
}

HttpResult WebappTest::Exchange(const std::string& requestText) {
    return Connect()->Exchange(requestText);
}

HttpResult WebappTest::Upload(const std::string& body, const std::string& apiKey) {
    return Exchange(RequestText("POST", "/api/v1/images", {{"X-Api-Key", apiKey}}, body));
}

}  // namespace webapp::test
