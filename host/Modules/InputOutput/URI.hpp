// IO::URI::URI: an absolute URI split into its parts, as the host's IO library keeps it.
#pragma once

#include "Definitions.hpp"
#include "UniString.hpp"

namespace IO::URI {

class URI {
public:
    // The empty URI, not valid.
    URI();
    // Parses scheme://[user@]host[:port][/path][?query][#fragment] from UTF-8 text (a null pointer is
    // the empty text). Malformed text does not throw: the URI is then not valid and its parts are empty,
    // and a connection refuses it.
    URI(const char* text);
    URI(const GS::UniString& text);
    URI(const URI& other);
    URI& operator=(const URI& other);
    ~URI();

    bool IsValid() const;
    // The scheme in lower case.
    GS::UniString GetScheme() const;
    // The host as written (lower case), an IPv6 literal without its brackets.
    GS::UniString GetHost() const;
    // The explicit port, or the scheme's default (80 for http, 443 for https); 0 when neither exists.
    UInt16 GetPort() const;
    // The path as written: "" when the URI has none (a bare origin).
    GS::UniString GetPath() const;
    GS::UniString GetQuery() const;
    GS::UniString GetFragment() const;
    // The text the URI was made from.
    GS::UniString ToString() const;

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace IO::URI
