// Narrow text as the host's library reads and writes it: CC_UTF8 is UTF-8, CC_Default the system code page
// (Windows-1252 where there is no Windows), with the kit's values.
#include <gtest/gtest.h>

#include <string>

#include "CH.hpp"
#include "UniString.hpp"

namespace {

std::u16string Units(const GS::UniString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.ToUStr().Get()), text.GetLength());
}

}  // namespace

TEST(CodePage, TheCodesHaveTheKitsValues) {
    EXPECT_EQ(static_cast<int>(CC_Default), 0);
    EXPECT_EQ(static_cast<int>(CC_UTF8), 99);
}

TEST(CodePage, DefaultIsWindows1252AndUtf8IsUtf8) {
    EXPECT_EQ(Units(GS::UniString("caf\xE9 \x80 \x9F", CC_Default)), u"caf\u00E9 \u20AC \u0178");
    EXPECT_EQ(Units(GS::UniString("caf\xC3\xA9 \xE2\x82\xAC", CC_UTF8)), u"caf\u00E9 \u20AC");
    // The bytes Windows-1252 leaves undefined are the control characters of the same number, as on Windows.
    EXPECT_EQ(Units(GS::UniString("\x81\x8D\x8F\x90\x9D", CC_Default)), u"\u0081\u008D\u008F\u0090\u009D");
    // UTF-8 read as the system code page is another text: the mistake a caller makes with CC_Default.
    EXPECT_EQ(Units(GS::UniString("\xC3\xA9", CC_Default)), u"\u00C3\u00A9");

    const GS::UniString text(u"bild-\u00E4\u20AC\U0001F600");
    EXPECT_EQ(std::string(text.ToCStr(CC_UTF8).Get()), "bild-\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80");
    // What the code page cannot hold becomes one '?' per character, as Windows writes it.
    const auto narrow = text.ToCStr(CC_Default);
    EXPECT_EQ(std::string(narrow.Get(), narrow.GetLength()), "bild-\xE4\x80?");
}
