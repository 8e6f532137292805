// Base64 encoding (RFC 4648) of a byte string, with the standard or the URL-safe alphabet.
#pragma once

#include <string>

// Encodes `bytes` with "A-Za-z0-9+/" and '=' padding, or with urlAlphabet "A-Za-z0-9-_" and '.' padding.
// The result has 4 * ceil(n / 3) characters and no line breaks.
std::string Base64Encode(const std::string& bytes, bool urlAlphabet);
