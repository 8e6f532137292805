// The system code page, the narrow text of CC_Default: Windows' ANSI code page on Windows, Windows-1252
// elsewhere (the code page of the Western Windows systems the add-on meets most). Host internal.
#pragma once

#include <string>

namespace GS::Detail {

// Decodes `length` bytes of the system code page; a byte the code page does not define becomes the
// character of the same number, as Windows' own conversion gives it.
std::u16string FromSystemCodePage(const char* text, std::size_t length);
// Encodes UTF-16 in the system code page; a character it cannot hold becomes '?', as Windows' own
// conversion writes it.
std::string ToSystemCodePage(const char16_t* units, std::size_t length);

}  // namespace GS::Detail
