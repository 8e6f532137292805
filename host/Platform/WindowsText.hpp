// UTF-8 and UTF-16 conversions for the host library's Windows calls. Windows builds only.
#pragma once

#include <string>

namespace Platform {

// Decodes UTF-8 into UTF-16 for a Windows call; invalid sequences become U+FFFD.
std::wstring Widen(const std::string& utf8);
// Encodes UTF-16 from a Windows call as UTF-8; unpaired surrogates become U+FFFD.
std::string Narrow(const std::wstring& utf16);
// The text of a Windows error code (GetLastError), without the trailing line break, and the number.
std::string ErrorText(unsigned long code);

}  // namespace Platform
