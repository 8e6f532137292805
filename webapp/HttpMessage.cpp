// Small helpers over request and response values: field lookup, target splitting, form decoding.
#include "HttpMessage.hpp"

#include <cctype>

namespace webapp {

std::string Request::RequestLine() const {
    return method + " " + target + (version == 10 ? " HTTP/1.0" : " HTTP/1.1");
}

std::optional<std::string> Request::Header(std::string_view name) const {
    for (const auto& [fieldName, value] : headers) {
        if (EqualsIgnoringCase(fieldName, name)) {
            return value;
        }
    }
    return std::nullopt;
}

std::string Request::OriginForm() const {
    // "https://host[:port]/path?query": servers must accept the absolute form, and some clients send it
    // through a proxy's tunnel (Wine's WinHTTP does).
    static const std::string kScheme = "https://";
    if (target.size() < kScheme.size() || !EqualsIgnoringCase(target.substr(0, kScheme.size()), kScheme)) {
        return target;
    }
    const std::size_t path = target.find_first_of("/?", kScheme.size());
    if (path == std::string::npos) {
        return "/";
    }
    return target[path] == '/' ? target.substr(path) : "/" + target.substr(path);
}

std::string Request::Path() const {
    const std::string origin = OriginForm();
    return origin.substr(0, origin.find('?'));
}

std::map<std::string, std::string> Request::Query() const {
    const std::string origin = OriginForm();
    const std::size_t mark = origin.find('?');
    if (mark == std::string::npos) {
        return {};
    }
    return ParseFormEncoded(std::string_view(origin).substr(mark + 1));
}

bool StatusForbidsBody(int status) {
    return (status >= 100 && status < 200) || status == 204 || status == 304;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::string PercentDecode(std::string_view text, bool plusIsSpace) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+' && plusIsSpace) {
            out += ' ';
            continue;
        }
        if (c == '%' && i + 2 < text.size()) {
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::map<std::string, std::string> ParseFormEncoded(std::string_view text) {
    std::map<std::string, std::string> pairs;
    while (!text.empty()) {
        const std::size_t end = text.find('&');
        const std::string_view part = text.substr(0, end);
        const std::size_t equals = part.find('=');
        const std::string name = PercentDecode(part.substr(0, equals), true);
        const std::string value =
            equals == std::string_view::npos ? "" : PercentDecode(part.substr(equals + 1), true);
        if (!name.empty()) {
            pairs.emplace(name, value);
        }
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return pairs;
}

}  // namespace webapp
