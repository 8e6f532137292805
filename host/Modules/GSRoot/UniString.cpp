// GS::UniString over std::u16string; narrow text in UTF-8 (CC_UTF8) or the system code page (CC_Default).
#include "UniString.hpp"

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "SystemCodePage.hpp"
#include "Utf8.hpp"

struct GS::UniString::Impl {
    std::u16string text;
};

namespace {

void CheckCharCode(GSCharCode charCode) {
    if (charCode != CC_Default && charCode != CC_UTF8)
        throw std::invalid_argument("GS::UniString: unsupported character code " + std::to_string(charCode));
}

std::u16string FromUtf8(const char* text, std::size_t length) {
    std::u16string out;
    out.reserve(length);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t i = 0;
    while (i < length) {
        // Runs of ASCII are by far the most common (Base64, JSON); copy them without decoding.
        if (bytes[i] < 0x80) {
            out.push_back(bytes[i++]);
            continue;
        }
        char32_t cp = 0;
        const std::size_t used = GS::Detail::DecodeUtf8Sequence(bytes + i, length - i, cp);
        if (used == 0) {
            out.push_back(GS::Detail::ReplacementCharacter);
            ++i;
            continue;
        }
        GS::Detail::AppendUtf16(out, cp);
        i += used;
    }
    return out;
}

// The code point of the unit at units[i], pairing surrogates; *used receives 1 or 2.
char32_t CodePointAt(const char16_t* units, std::size_t length, std::size_t i, std::size_t* used) {
    const char16_t unit = units[i];
    *used = 1;
    if (unit < 0xD800 || unit > 0xDFFF)
        return unit;
    if (unit <= 0xDBFF && i + 1 < length && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
        *used = 2;
        return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (units[i + 1] - 0xDC00);
    }
    return GS::Detail::ReplacementCharacter;
}

std::size_t Utf8Length(char32_t cp) {
    return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

char* WriteUtf8(char* out, char32_t cp) {
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

// Converts to NUL-terminated UTF-8 in one block from malloc: the length is counted first, so the
// block is allocated once and ASCII (all of a JSON body) is copied unit by unit without decoding.
char* ToUtf8(const char16_t* units, std::size_t length, std::size_t* bytes) {
    std::size_t total = 0;
    for (std::size_t i = 0; i < length;) {
        if (units[i] < 0x80) {
            ++total, ++i;
            continue;
        }
        std::size_t used = 0;
        total += Utf8Length(CodePointAt(units, length, i, &used));
        i += used;
    }
    char* text = static_cast<char*>(std::malloc(total + 1));
    if (text == nullptr)
        throw std::bad_alloc();
    char* out = text;
    for (std::size_t i = 0; i < length;) {
        if (units[i] < 0x80) {
            *out++ = static_cast<char>(units[i++]);
            continue;
        }
        std::size_t used = 0;
        out = WriteUtf8(out, CodePointAt(units, length, i, &used));
        i += used;
    }
    *out = '\0';
    *bytes = total;
    return text;
}

}  // namespace

namespace GS {

UniString::CStr::CStr(CStr&& other) noexcept : text_(other.text_), length_(other.length_) {
    other.text_ = nullptr;
    other.length_ = 0;
}

UniString::CStr::~CStr() {
    std::free(text_);
}

UniString::UStr::UStr(UStr&& other) noexcept : units_(other.units_) {
    other.units_ = nullptr;
}

UniString::UStr::~UStr() {
    std::free(units_);
}

UniString::UniString() : impl_(new Impl) {}

UniString::UniString(const char* text, GSCharCode charCode) : impl_(new Impl) {
    CheckCharCode(charCode);
    if (text == nullptr)
        return;
    impl_->text = charCode == CC_UTF8 ? FromUtf8(text, std::strlen(text))
                                      : Detail::FromSystemCodePage(text, std::strlen(text));
}

UniString::UniString(const UniChar::Layout* uStr) : impl_(new Impl) {
    if (uStr != nullptr)
        impl_->text = reinterpret_cast<const char16_t*>(uStr);
}

UniString::UniString(const UniChar::Layout* uChars, USize charCount)
    : impl_(new Impl{std::u16string(reinterpret_cast<const char16_t*>(uChars), charCount)}) {}

UniString::UniString(std::u16string_view str) : impl_(new Impl{std::u16string(str)}) {}

UniString::UniString(const UniString& other) : impl_(new Impl(*other.impl_)) {}

UniString::UniString(UniString&& other) noexcept : impl_(other.impl_) {
    other.impl_ = nullptr;
}

UniString& UniString::operator=(const UniString& other) {
    if (this != &other) {
        if (impl_ == nullptr)
            impl_ = new Impl;
        impl_->text = other.impl_ != nullptr ? other.impl_->text : std::u16string();
    }
    return *this;
}

UniString& UniString::operator=(UniString&& other) noexcept {
    if (this != &other)
        std::swap(impl_, other.impl_);
    return *this;
}

UniString::~UniString() {
    delete impl_;
}

// A moved-from string has no Impl; it reads as empty and becomes usable again when assigned to.
USize UniString::GetLength() const {
    return impl_ == nullptr ? 0 : static_cast<USize>(impl_->text.size());
}

bool UniString::IsEmpty() const {
    return GetLength() == 0;
}

const char16_t* UniString::Units() const {
    return impl_ == nullptr ? u"" : impl_->text.c_str();
}

UniString::UStr UniString::ToUStr(UIndex from, USize range) const {
    const USize length = GetLength();
    const USize start = from < length ? from : length;
    const USize count = range < length - start ? range : length - start;
    auto* units =
        static_cast<UniChar::Layout*>(std::malloc((std::size_t{count} + 1) * sizeof(UniChar::Layout)));
    if (units == nullptr)
        throw std::bad_alloc();
    std::memcpy(units, Units() + start, count * sizeof(UniChar::Layout));
    units[count] = 0;
    return UStr(units);
}

char16_t UniString::GetChar(UIndex index) const {
    if (index >= GetLength())
        throw std::out_of_range("GS::UniString::GetChar: index past the end");
    return impl_->text[index];
}

UniString::CStr UniString::ToCStr(GSCharCode charCode) const {
    return ToCStr(0, MaxUSize, charCode);
}

UniString::CStr UniString::ToCStr(UIndex from, USize range, GSCharCode charCode,
                                  OnConversionError onConversionError) const {
    CheckCharCode(charCode);
    if (onConversionError != ReplaceWithFillers)
        throw std::invalid_argument("GS::UniString::ToCStr: unsupported conversion-error mode");
    const USize length = GetLength();
    const USize start = from < length ? from : length;
    const USize count = range < length - start ? range : length - start;
    std::size_t bytes = 0;
    char* text = nullptr;
    if (charCode == CC_UTF8) {
        text = ToUtf8(Units() + start, count, &bytes);
    } else {
        const std::string narrow = Detail::ToSystemCodePage(Units() + start, count);
        bytes = narrow.size();
        text = static_cast<char*>(std::malloc(bytes + 1));
        if (text == nullptr)
            throw std::bad_alloc();
        std::memcpy(text, narrow.c_str(), bytes + 1);
    }
    return CStr(text, static_cast<USize>(bytes));
}

UInt32 UniString::Split(const UniString& separators, EmptyPartProcessing emptyParts,
                        Array<UniString>* result) const {
    if (result == nullptr)
        throw std::invalid_argument("GS::UniString::Split: no result array");
    const std::u16string& text = impl_ != nullptr ? impl_->text : std::u16string();
    const std::u16string seps = separators.Units();
    USize parts = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = seps.empty() ? std::u16string::npos : text.find_first_of(seps, start);
        const std::size_t stop = end == std::u16string::npos ? text.size() : end;
        if (stop > start || emptyParts == KeepEmptyParts) {
            result->Push(UniString(std::u16string_view(text.data() + start, stop - start)));
            ++parts;
        }
        if (end == std::u16string::npos)
            return parts;
        start = end + 1;
    }
}

UniString& UniString::Append(const UniString& other) {
    if (impl_ == nullptr)
        impl_ = new Impl;
    impl_->text.append(other.Units(), other.GetLength());
    return *this;
}

bool UniString::operator==(const UniString& other) const {
    return GetLength() == other.GetLength() &&
           std::char_traits<char16_t>::compare(Units(), other.Units(), GetLength()) == 0;
}

}  // namespace GS
