// An exchange made with the host library's HTTP client, call for call as the module makes one; for the
// Windows probe and the in-process driver of the connection's contract alike.
#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

#include "ClientExchange.hpp"
#include "HTTP/Client/ClientConnection.hpp"
#include "HTTP/Client/Request.hpp"
#include "HTTP/Client/Response.hpp"
#include "HTTP/Encoding/BodyIBinaryChannel.hpp"
#include "HTTPException.hpp"
#include "URI.hpp"

namespace httptest {

namespace {

const char* KindName(HTTP::Exception::Kind kind) {
    static const char* const kNames[] = {"Usage", "Resolve", "Connect",  "Tls",         "Timeout",
                                         "Send",  "Receive", "Protocol", "BodyTooLarge"};
    return kNames[static_cast<int>(kind)];
}

std::string Body(const ClientExchange& exchange) {
    if (exchange.bodyFile.empty())
        return exchange.body;
    std::ifstream in(exchange.bodyFile, std::ios::binary);
    if (!in)
        throw std::invalid_argument("cannot read " + exchange.bodyFile);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::unique_ptr<HTTP::Client::ClientConnection> Open(const ClientExchange& exchange,
                                                     const IO::URI::URI& uri) {
    if (exchange.proxy == "none")
        return std::make_unique<HTTP::Client::ClientConnection>(uri);
    if (exchange.proxy == "system")
        return std::make_unique<HTTP::Client::ClientConnection>(uri, true);
    return std::make_unique<HTTP::Client::ClientConnection>(
        uri, GS::UniString(exchange.proxy.c_str(), CC_UTF8), UShort(0), GS::UniString(""));
}

// Writes the body in pieces; false when it aborted.
bool Stream(const ClientExchange& exchange, const std::string& body,
            HTTP::Client::ClientConnection& connection, HTTP::Client::Request& request, std::string* output) {
    request.GetRequestHeaderFieldCollection().Add(GS::UniString("Content-Length"),
                                                  GS::UniString(std::to_string(body.size()).c_str()));
    HTTP::Encoding::BodyOBinaryChannel& out = connection.BeginSend(request);
    for (std::size_t at = 0; at < body.size(); at += exchange.stream) {
        if (at >= exchange.abortAfter) {
            connection.Abort();
            *output += "aborted " + std::to_string(at) + " sent " +
                       std::to_string(connection.GetSentDataCount()) + "\n";
            return false;
        }
        out.Write(body.data() + at, static_cast<USize>(std::min(exchange.stream, body.size() - at)));
    }
    for (long long took = 250; exchange.flush && took >= 250;) {
        const auto start = std::chrono::steady_clock::now();
        out.Flush();
        took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                   .count();
        *output += "flush " + std::to_string(took) + "\n";
    }
    connection.FinishSend();
    return true;
}

void Exchange(const ClientExchange& exchange, std::string* output) {
    const std::string body = Body(exchange);
    IO::URI::URI uri(exchange.url.c_str());
    std::unique_ptr<HTTP::Client::ClientConnection> made = Open(exchange, uri);
    HTTP::Client::ClientConnection& connection = *made;
    connection.SetTimeout(exchange.timeout);
    connection.Connect();
    const std::string path = uri.GetPath().ToCStr(0, MaxUSize, CC_UTF8).Get();
    const std::string query = uri.GetQuery().ToCStr(0, MaxUSize, CC_UTF8).Get();
    HTTP::Client::Request request(
        exchange.post ? HTTP::MessageHeader::Method::Post : HTTP::MessageHeader::Method::Get,
        GS::UniString((path + (query.empty() ? "" : "?" + query)).c_str(), CC_UTF8),
        HTTP::MessageHeader::HTTPVersion::Version11);
    for (const auto& [name, value] : exchange.headers)
        request.GetRequestHeaderFieldCollection().Add(GS::UniString(name.c_str(), CC_UTF8),
                                                      GS::UniString(value.c_str(), CC_UTF8));
    if (exchange.stream == 0)
        connection.Send(request, body.data(), static_cast<USize>(body.size()));
    else if (!Stream(exchange, body, connection, request, output))
        return;
    HTTP::Client::Response response;
    HTTP::Encoding::BodyIBinaryChannel& channel = connection.BeginReceive(response);
    *output += "status " + std::to_string(response.GetStatusCode()) + "\n";
    *output += std::string("reason ") + response.GetReasonPhrase().ToCStr(0, MaxUSize, CC_UTF8).Get() + "\n";
    std::string received;
    char buffer[4096];
    for (USize got; (got = channel.Read(buffer, sizeof buffer)) > 0;) received.append(buffer, got);
    connection.FinishReceive();
    connection.Close(false);
    *output += "body " + std::to_string(received.size()) + "\n" + received;
}

}  // namespace

std::string MakeExchange(const ClientExchange& exchange) {
    std::string output;
    try {
        Exchange(exchange, &output);
    } catch (const HTTP::Exception& error) {
        output += std::string("exception ") + KindName(error.GetKind()) + " " + error.what() + "\n";
    }
    return output;
}

}  // namespace httptest
