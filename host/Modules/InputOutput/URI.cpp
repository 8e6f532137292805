// IO::URI::URI: a small parser of absolute hierarchical URIs.
#include "URI.hpp"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace IO::URI {

namespace {

struct Parts {
    bool valid = false;
    std::string scheme;
    std::string host;
    UInt16 port = 0;
    std::string path;
    std::string query;
    std::string fragment;
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsSchemeChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

bool IsRegNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("-._~%!$&'()*+,;=", c) != nullptr;
}

bool ParsePort(const std::string& digits, UInt16& port) {
    if (digits.empty() || digits.size() > 5)
        return false;
    unsigned long value = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    port = static_cast<UInt16>(value);
    return true;
}

// Splits "host[:port]" or "[v6]:port"; an empty port after ':' means the default.
bool ParseHostPort(const std::string& hostPort, Parts& parts) {
    std::string portText;
    if (!hostPort.empty() && hostPort[0] == '[') {
        const std::size_t close = hostPort.find(']');
        if (close == std::string::npos || close == 1)
            return false;
        parts.host = hostPort.substr(1, close - 1);
        for (char c : parts.host) {
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.')
                return false;
        }
        const std::string rest = hostPort.substr(close + 1);
        if (!rest.empty() && rest[0] != ':')
            return false;
        portText = rest.empty() ? "" : rest.substr(1);
    } else {
        const std::size_t colon = hostPort.find(':');
        parts.host = hostPort.substr(0, colon);
        portText = colon == std::string::npos ? "" : hostPort.substr(colon + 1);
        for (char c : parts.host) {
            if (!IsRegNameChar(c))
                return false;
        }
    }
    parts.host = Lower(parts.host);
    if (parts.host.empty())
        return false;
    if (!portText.empty())
        return ParsePort(portText, parts.port);
    if (parts.scheme == "https")
        parts.port = 443;
    else if (parts.scheme == "http")
        parts.port = 80;
    return true;
}

Parts Parse(const std::string& text) {
    Parts parts;
    for (char c : text) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
            return Parts();
    }
    const std::size_t schemeEnd = text.find("://");
    if (schemeEnd == std::string::npos || schemeEnd == 0 ||
        !std::isalpha(static_cast<unsigned char>(text[0])))
        return Parts();
    for (std::size_t i = 0; i < schemeEnd; ++i) {
        if (!IsSchemeChar(text[i]))
            return Parts();
    }
    parts.scheme = Lower(text.substr(0, schemeEnd));

    const std::size_t authorityStart = schemeEnd + 3;
    const std::size_t authorityEnd = std::min(text.find_first_of("/?#", authorityStart), text.size());
    std::string authority = text.substr(authorityStart, authorityEnd - authorityStart);
    const std::size_t at = authority.rfind('@');
    if (at != std::string::npos)
        authority.erase(0, at + 1);
    if (!ParseHostPort(authority, parts))
        return Parts();

    std::string rest = text.substr(authorityEnd);
    const std::size_t hash = rest.find('#');
    if (hash != std::string::npos) {
        parts.fragment = rest.substr(hash + 1);
        rest.erase(hash);
    }
    const std::size_t question = rest.find('?');
    if (question != std::string::npos) {
        parts.query = rest.substr(question + 1);
        rest.erase(question);
    }
    parts.path = rest;
    parts.valid = true;
    return parts;
}

GS::UniString Text(const std::string& utf8) {
    return GS::UniString(utf8.c_str(), CC_UTF8);
}

}  // namespace

struct URI::Impl {
    std::string text;
    Parts parts;
};

URI::URI() : impl_(new Impl) {}

URI::URI(const char* text) : impl_(new Impl) {
    impl_->text = text == nullptr ? "" : text;
    impl_->parts = Parse(impl_->text);
}

URI::URI(const GS::UniString& text) : impl_(new Impl) {
    const auto utf8 = text.ToCStr(0, MaxUSize, CC_UTF8);
    impl_->text.assign(utf8.Get(), utf8.GetLength());
    impl_->parts = Parse(impl_->text);
}

URI::URI(const URI& other) : impl_(new Impl(*other.impl_)) {}

URI& URI::operator=(const URI& other) {
    if (this != &other)
        *impl_ = *other.impl_;
    return *this;
}

URI::~URI() {
    delete impl_;
}

bool URI::IsValid() const {
    return impl_->parts.valid;
}
GS::UniString URI::GetScheme() const {
    return Text(impl_->parts.scheme);
}
GS::UniString URI::GetHost() const {
    return Text(impl_->parts.host);
}
UInt16 URI::GetPort() const {
    return impl_->parts.port;
}
GS::UniString URI::GetPath() const {
    return Text(impl_->parts.path);
}
GS::UniString URI::GetQuery() const {
    return Text(impl_->parts.query);
}
GS::UniString URI::GetFragment() const {
    return Text(impl_->parts.fragment);
}
GS::UniString URI::ToString() const {
    return Text(impl_->text);
}

}  // namespace IO::URI
