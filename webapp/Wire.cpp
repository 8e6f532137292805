// Status line, header fields and body framing.
#include "Wire.hpp"

#include <boost/beast/http.hpp>
#include <cstdio>

namespace webapp {
namespace {

std::string StatusLine(int status) {
    const auto reason = boost::beast::http::obsolete_reason(static_cast<boost::beast::http::status>(status));
    std::string text(reason.data(), reason.size());
    if (text.empty() || text.front() == '<') {  // Beast's "<unknown-status>"
        text = "Unknown";
    }
    return "HTTP/1.1 " + std::to_string(status) + " " + text + "\r\n";
}

std::string Fields(const HeaderFields& headers) {
    std::string text;
    for (const auto& [name, value] : headers) {
        text += name + ": " + value + "\r\n";
    }
    return text;
}

std::string Hex(std::size_t value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%zx", value);
    return text;
}

// The body in up to three chunks, so that a reader has to join them, then the last chunk.
std::string Chunks(const std::string& body) {
    std::string text;
    const std::size_t size = body.empty() ? 1 : (body.size() + 2) / 3;
    for (std::size_t offset = 0; offset < body.size(); offset += size) {
        const std::string piece = body.substr(offset, size);
        text += Hex(piece.size()) + "\r\n" + piece + "\r\n";
    }
    return text + "0\r\n\r\n";
}

}  // namespace

bool ClosesConnection(const Response& response, bool keepAlive) {
    return !keepAlive || response.framing == BodyFraming::CloseDelimited;
}

std::string ToWire(const Response& response, bool keepAlive) {
    const bool close = ClosesConnection(response, keepAlive);
    std::string text = StatusLine(response.status) + Fields(response.headers);
    switch (response.framing) {
        case BodyFraming::ContentLength:
            if (!StatusForbidsBody(response.status)) {
                text += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
            }
            break;
        case BodyFraming::Chunked:
            text += "Transfer-Encoding: chunked\r\n";
            break;
        case BodyFraming::CloseDelimited:
            break;
    }
    text += close ? "Connection: close\r\n\r\n" : "Connection: keep-alive\r\n\r\n";
    if (StatusForbidsBody(response.status)) {
        return text;
    }
    return text + (response.framing == BodyFraming::Chunked ? Chunks(response.body) : response.body);
}

std::string ToWireCutShort(const Response& response) {
    const std::string body = response.body.empty() ? std::string(64, '.') : response.body;
    return StatusLine(response.status) + Fields(response.headers) +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body.substr(0, body.size() / 2);
}

}  // namespace webapp
