// Plain HTTP request and response values passed between the connection code and the request handlers.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace webapp {

// Header fields in the order they were received or are to be sent; names keep their spelling.
using HeaderFields = std::vector<std::pair<std::string, std::string>>;

// A complete request as the parser delivered it: request line pieces, fields, decoded body.
struct Request {
    std::string method;
    std::string target;
    int version = 11;  // 10 for HTTP/1.0, 11 for HTTP/1.1
    HeaderFields headers;
    std::string body;

    std::string RequestLine() const;
    // The value of the first field named name (compared without regard to case), if any.
    std::optional<std::string> Header(std::string_view name) const;
    // The target in origin form ("/path?query"), also when it came in absolute form
    // ("https://host/path?query").
    std::string OriginForm() const;
    // The origin-form target up to the first "?".
    std::string Path() const;
    // The decoded query parameters; for repeated names the first one wins.
    std::map<std::string, std::string> Query() const;
};

// How a response marks the end of its body on the wire.
enum class BodyFraming {
    ContentLength,   // "Content-Length: N" (none for 1xx, 204 and 304, which have no body)
    Chunked,         // "Transfer-Encoding: chunked", the body cut into a few chunks
    CloseDelimited,  // no length: the body ends when the server closes the connection
};

struct Response {
    int status = 200;
    HeaderFields
        headers;  // without framing fields: Content-Length, Transfer-Encoding and Connection are added
    std::string body;
    BodyFraming framing = BodyFraming::ContentLength;
};

// True for statuses that never carry a body (1xx, 204, 304).
bool StatusForbidsBody(int status);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Decodes %XX escapes, and "+" as a space when plusIsSpace (form and query encoding). Malformed escapes are
// kept as they are.
std::string PercentDecode(std::string_view text, bool plusIsSpace);

// Splits "a=1&b=2" into decoded pairs; for repeated names the first one wins.
std::map<std::string, std::string> ParseFormEncoded(std::string_view text);

}  // namespace webapp
