// Text conversions hostsim needs at its edges: UTF-16 from the module and the launcher to UTF-8 for
// printing and matching, and its UTF-8 paths to the file system's own.
#pragma once

#include <filesystem>
#include <string>

#include "UniString.hpp"

namespace hostsim {

// UTF-16 code units to UTF-8 (through GS::UniString); an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(const std::u16string& text);
std::string ToUtf8(const GS::UniString& text);
// UTF-8 to UTF-16; a malformed byte sequence becomes U+FFFD.
std::u16string ToUtf16(const std::string& text);

// hostsim keeps paths as UTF-8 text. A std::filesystem::path made from or turned into a std::string would
// use Windows' ANSI code page there, where characters beyond it become "?": these convert as UTF-8.
std::filesystem::path PathOf(const std::string& utf8);
std::string Utf8Of(const std::filesystem::path& path);

// Removes spaces and tabs at both ends.
std::string Trim(const std::string& text);

}  // namespace hostsim
