// Text conversions hostsim needs at its edges: UTF-16 from the module and the launcher to UTF-8 for
// printing and matching.
#pragma once

#include <string>

#include "UniString.hpp"

namespace hostsim {

// UTF-16 code units to UTF-8 (through GS::UniString); an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(const std::u16string& text);
std::string ToUtf8(const GS::UniString& text);
// UTF-8 to UTF-16; a malformed byte sequence becomes U+FFFD.
std::u16string ToUtf16(const std::string& text);

// Removes spaces and tabs at both ends.
std::string Trim(const std::string& text);

}  // namespace hostsim
