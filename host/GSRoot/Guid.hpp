// GS::Guid: a 128-bit identifier laid out as a Windows GUID (Data1 u32, Data2 u16, Data3 u16 little-endian,
// then the eight bytes of Data4), the form the host stores and compares.
#pragma once

#include "GSTypes.hpp"

namespace GS {

class Guid {
public:
    static constexpr USize ByteCount = 16;
    // Length of the text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" without its terminating NUL.
    static constexpr USize TextLength = 38;

    // The nil identifier: sixteen zero bytes.
    Guid();
    // Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" or the same without braces, hex digits in either
    // case. Throws std::invalid_argument for any other text, including a null pointer.
    explicit Guid(const char* text);

    // The sixteen bytes in storage order; the add-on reads them to derive its own numbers from the identity.
    const UInt8* GetBytes() const { return bytes_; }
    UInt8 operator[](UIndex index) const { return bytes_[index]; }

    bool IsNull() const;
    // Writes the upper-case text form with braces, NUL-terminated, into `text`.
    void ToText(char (&text)[TextLength + 1]) const;

    bool operator==(const Guid& other) const;
    bool operator!=(const Guid& other) const { return !(*this == other); }
    bool operator<(const Guid& other) const;

private:
    UInt8 bytes_[ByteCount];
};

}  // namespace GS
