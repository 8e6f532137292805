// GS::UniString: the host's UTF-16 text. Its storage lives behind functions of the host library.
#pragma once

#include "Array.hpp"
#include "GSTypes.hpp"

namespace GS {

class UniString {
public:
    // How Split treats the empty text between two adjacent separators.
    enum EmptyPartHandling : Int32 { KeepEmptyParts = 0, SkipEmptyParts = 1 };

    // Narrow text owned by the host library, as ToCStr returns it; valid while this object lives.
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

    UniString();
    // Decodes narrow text in the given character code (CC_Default and CC_UTF8 are UTF-8 here); bytes
    // that are not valid UTF-8 become U+FFFD. A null pointer makes the empty text.
    UniString(const char* text, GSCharCode charCode = CC_Default);
    // Takes NUL-terminated UTF-16 code units as they are.
    UniString(const char16_t* text);
    UniString(const char16_t* text, USize length);
    UniString(const UniString& other);
    UniString(UniString&& other) noexcept;
    UniString& operator=(const UniString& other);
    UniString& operator=(UniString&& other) noexcept;
    ~UniString();

    USize GetLength() const;
    bool IsEmpty() const;
    // The code units, NUL-terminated; valid until the text changes.
    const char16_t* ToUStr() const;
    char16_t GetChar(UIndex index) const;

    // Converts the code units [from, from + range) (range clipped to the end) to narrow text in the given
    // character code; an unpaired surrogate becomes U+FFFD. errorMode is the host's conversion-error mode;
    // only 0 exists here.
    CStr ToCStr(UIndex from = 0, USize range = MaxUSize, GSCharCode charCode = CC_Default,
                Int32 errorMode = 0) const;

    // Cuts the text at every character that occurs in `separators` and appends the parts, first part
    // first, to `result`. Returns the number of parts appended.
    USize Split(const UniString& separators, EmptyPartHandling emptyParts, Array<UniString>* result) const;

    UniString& Append(const UniString& other);
    UniString& operator+=(const UniString& other) { return Append(other); }
    bool operator==(const UniString& other) const;
    bool operator!=(const UniString& other) const { return !(*this == other); }

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace GS
