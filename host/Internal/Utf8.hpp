// UTF-8 and UTF-16 code-point helpers shared by the host library's text readers and writers. Host
// internal: the add-on never includes this.
#pragma once

#include <cstddef>
#include <string>

namespace GS::Detail {

constexpr char16_t ReplacementCharacter = 0xFFFD;

// Length of the valid UTF-8 sequence at text[0] (with `left` bytes available) and its code point, or 0
// when the bytes there are not valid UTF-8 (overlong forms and surrogates included).
std::size_t DecodeUtf8Sequence(const unsigned char* text, std::size_t left, char32_t& codePoint);

// Appends `codePoint` as one UTF-16 unit or a surrogate pair.
void AppendUtf16(std::u16string& out, char32_t codePoint);

}  // namespace GS::Detail
