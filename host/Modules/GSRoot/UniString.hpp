// GS::UniString: the host's UTF-16 text. Its storage lives behind functions of the host library.
#pragma once

#include <string_view>

#include "Array.hpp"
#include "CH.hpp"
#include "Definitions.hpp"
#include "uchar_t.hpp"

namespace GS {

class UniString {
    // Narrow text owned by the host library, as ToCStr returns it; valid while this object lives. The type
    // is private: callers hold it with auto.
    class CStr {
    public:
        CStr(CStr&& other) noexcept;
        CStr(const CStr&) = delete;
        CStr& operator=(const CStr&) = delete;
        ~CStr();
        const char* Get() const { return text_; }
        operator const char*() const { return text_; }
        USize GetLength() const { return length_; }

    private:
        friend class UniString;
        CStr(char* text, USize length) : text_(text), length_(length) {}
        char* text_;
        USize length_;
    };

    // NUL-terminated UTF-16 code units owned by the host library, as ToUStr returns them; private as CStr.
    class UStr {
    public:
        UStr(UStr&& other) noexcept;
        UStr(const UStr&) = delete;
        UStr& operator=(const UStr&) = delete;
        ~UStr();
        const UniChar::Layout* Get() const { return units_; }
        operator const UniChar::Layout*() const { return units_; }

    private:
        friend class UniString;
        explicit UStr(UniChar::Layout* units) : units_(units) {}
        UniChar::Layout* units_;
    };

public:
    // How Split treats the empty text between two adjacent separators.
    enum EmptyPartProcessing { KeepEmptyParts = 0, SkipEmptyParts = 1 };
    // What ToCStr does with a character the narrow code cannot hold: the stand-in writes '?' in the system
    // code page (UTF-8 holds them all).
    enum OnConversionError { ReplaceWithFillers = 0, ThrowException = 1 };

    UniString();
    // Decodes narrow text in the given character code: CC_UTF8, whose invalid bytes become U+FFFD, or
    // CC_Default, the system code page (Windows' ANSI code page; Windows-1252 elsewhere). A null pointer
    // makes the empty text.
    UniString(const char* text, GSCharCode charCode = CC_Default);
    // Takes NUL-terminated UTF-16 code units as they are; a null pointer makes the empty text.
    UniString(const UniChar::Layout* uStr);
    UniString(const UniChar::Layout* uChars, USize charCount);
    // Takes the code units as they are (a const char16_t* text converts to this).
    UniString(std::u16string_view str);
    UniString(const UniString& other);
    UniString(UniString&& other) noexcept;
    UniString& operator=(const UniString& other);
    UniString& operator=(UniString&& other) noexcept;
    ~UniString();

    USize GetLength() const;
    bool IsEmpty() const;
    // A copy of the code units [from, from + range) (range clipped to the end), NUL-terminated.
    UStr ToUStr(UIndex from = 0, USize range = MaxUSize) const;
    char16_t GetChar(UIndex index) const;

    // Converts the code units [from, from + range) (range clipped to the end) to narrow text in the given
    // character code; in UTF-8 an unpaired surrogate becomes U+FFFD, in the system code page a character it
    // cannot hold becomes '?'. ThrowException is refused with std::invalid_argument.
    CStr ToCStr(UIndex from = 0, USize range = MaxUSize, GSCharCode charCode = CC_Default,
                OnConversionError onConversionError = ReplaceWithFillers) const;
    CStr ToCStr(GSCharCode charCode) const;

    // Cuts the text at every character that occurs in `separators` and appends the parts, first part
    // first, to `result`. Returns the number of parts appended.
    UInt32 Split(const UniString& separators, EmptyPartProcessing emptyParts, Array<UniString>* result) const;

    UniString& Append(const UniString& other);
    UniString& operator+=(const UniString& other) { return Append(other); }
    bool operator==(const UniString& other) const;
    bool operator!=(const UniString& other) const { return !(*this == other); }

private:
    const char16_t* Units() const;

    struct Impl;
    Impl* impl_;
    // The host's string is 16 bytes, and host records that embed strings (API_EnvirParams) rely on it.
    [[maybe_unused]] UInt64 spare_ = 0;
};

static_assert(sizeof(UniString) == 16, "GS::UniString is 16 bytes, as the host's");

}  // namespace GS
