// WebDriver commands over one short HTTP exchange each, every step bounded by the time-out.
#include "WebDriver.hpp"

#include <openssl/evp.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>

namespace hostsim {

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;

constexpr const char* kElementKey = "element-6066-11e4-a52e-4f735466cecf";

struct Answer {
    unsigned status = 0;
    std::string body;
};

// One request on its own connection. Returns false with *error when the exchange does not complete.
bool Exchange(std::uint16_t port, std::chrono::milliseconds timeout, http::verb method,
              const std::string& target, const std::string& body, Answer* answer, std::string* error) {
    net::io_context io;
    beast::tcp_stream stream(io);
    http::request<http::string_body> request(method, target, 11);
    request.set(http::field::host, "127.0.0.1:" + std::to_string(port));
    request.set(http::field::content_type, "application/json; charset=utf-8");
    request.set(http::field::connection, "close");
    if (method != http::verb::get && method != http::verb::delete_)
        request.body() = body;
    request.prepare_payload();
    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(64 * 1024 * 1024);
    beast::error_code failure;

    const net::ip::tcp::endpoint endpoint(net::ip::make_address_v4("127.0.0.1"), port);
    stream.expires_after(timeout);
    stream.async_connect(endpoint, [&](beast::error_code ec) {
        if (ec) {
            failure = ec;
            return;
        }
        stream.expires_after(timeout);
        http::async_write(stream, request, [&](beast::error_code ec, std::size_t) {
            if (ec) {
                failure = ec;
                return;
            }
            stream.expires_after(timeout);
            http::async_read(stream, buffer, parser,
                             [&](beast::error_code ec, std::size_t) { failure = ec; });
        });
    });
    io.run();
    if (failure) {
        *error = failure.message();
        return false;
    }
    answer->status = parser.get().result_int();
    answer->body = parser.get().body();
    return true;
}

http::verb Verb(const char* method) {
    const std::string name(method);
    if (name == "GET")
        return http::verb::get;
    if (name == "DELETE")
        return http::verb::delete_;
    return http::verb::post;
}

}  // namespace

WebDriver::WebDriver(std::uint16_t port, std::chrono::milliseconds timeout)
    : port_(port), timeout_(timeout) {}

nlohmann::json WebDriver::Command(const char* method, const std::string& path, const nlohmann::json& body) {
    const std::string what = std::string(method) + " " + path;
    Answer answer;
    std::string error;
    if (!Exchange(port_, timeout_, Verb(method), path, body.dump(), &answer, &error))
        throw WebDriverError("WebDriver " + what + ": " + error);
    const nlohmann::json reply = nlohmann::json::parse(answer.body, nullptr, false);
    if (reply.is_discarded() || !reply.is_object() || !reply.contains("value"))
        throw WebDriverError("WebDriver " + what + ": answered " + std::to_string(answer.status) +
                             " without a JSON value");
    const nlohmann::json& value = reply["value"];
    if (answer.status != 200) {
        const std::string kind = value.is_object() ? value.value("error", "") : "";
        const std::string message = value.is_object() ? value.value("message", "") : "";
        throw WebDriverError("WebDriver " + what + ": " + kind + ": " +
                             message.substr(0, message.find('\n')));
    }
    return value;
}

std::string WebDriver::SessionPath(const std::string& rest) const {
    if (session_.empty())
        throw WebDriverError("WebDriver: no session");
    return "/session/" + session_ + rest;
}

bool WebDriver::Ready() {
    Answer answer;
    std::string error;
    if (!Exchange(port_, timeout_, http::verb::get, "/status", "", &answer, &error) || answer.status != 200)
        return false;
    const nlohmann::json reply = nlohmann::json::parse(answer.body, nullptr, false);
    return !reply.is_discarded() && reply.is_object() && reply.contains("value") &&
           reply["value"].value("ready", false);
}

void WebDriver::StartSession(const nlohmann::json& capabilities) {
    const nlohmann::json value =
        Command("POST", "/session", nlohmann::json{{"capabilities", {{"alwaysMatch", capabilities}}}});
    if (!value.contains("sessionId") || !value["sessionId"].is_string())
        throw WebDriverError("WebDriver POST /session: no session id in the answer");
    session_ = value["sessionId"].get<std::string>();
}

void WebDriver::EndSession() {
    if (session_.empty())
        return;
    const std::string path = SessionPath("");
    session_.clear();
    Command("DELETE", path);
}

void WebDriver::ShutDownDriver() {
    Answer ignored;
    std::string error;
    Exchange(port_, timeout_, http::verb::get, "/shutdown", "", &ignored, &error);
}

std::string WebDriver::CurrentWindow() {
    return Command("GET", SessionPath("/window")).get<std::string>();
}

std::string WebDriver::NewTab() {
    const nlohmann::json value = Command("POST", SessionPath("/window/new"), {{"type", "tab"}});
    return value.at("handle").get<std::string>();
}

void WebDriver::SwitchToWindow(const std::string& handle) {
    Command("POST", SessionPath("/window"), {{"handle", handle}});
}

void WebDriver::NavigateTo(const std::string& url) {
    Command("POST", SessionPath("/url"), {{"url", url}});
}

std::string WebDriver::FindElementByXPath(const std::string& xpath) {
    const nlohmann::json value =
        Command("POST", SessionPath("/element"), {{"using", "xpath"}, {"value", xpath}});
    if (!value.is_object() || !value.contains(kElementKey))
        throw WebDriverError("WebDriver: no element reference for " + xpath);
    return value[kElementKey].get<std::string>();
}

void WebDriver::Click(const std::string& element) {
    Command("POST", SessionPath("/element/" + element + "/click"));
}

nlohmann::json WebDriver::Execute(const std::string& script, const nlohmann::json& args) {
    return Command("POST", SessionPath("/execute/sync"), {{"script", script}, {"args", args}});
}

nlohmann::json WebDriver::ExecuteAsync(const std::string& script, const nlohmann::json& args) {
    return Command("POST", SessionPath("/execute/async"), {{"script", script}, {"args", args}});
}

std::string WebDriver::Screenshot() {
    return DecodeBase64(Command("GET", SessionPath("/screenshot")).get<std::string>());
}

std::string DecodeBase64(const std::string& text) {
    if (text.size() % 4 != 0)
        throw WebDriverError("Base64 text of a length that is not a multiple of 4");
    std::string bytes(text.size() / 4 * 3, '\0');
    const int decoded =
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (decoded < 0)
        throw WebDriverError("text that is not Base64");
    // EVP_DecodeBlock counts the padding as zero bytes.
    std::size_t padding = 0;
    for (auto c = text.rbegin(); c != text.rend() && *c == '=' && padding < 2; ++c) ++padding;
    bytes.resize(static_cast<std::size_t>(decoded) - padding);
    return bytes;
}

}  // namespace hostsim
