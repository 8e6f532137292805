// GS::Guid: a 128-bit identifier laid out as a Windows GUID (Data1 u32, Data2 u16, Data3 u16 little-endian,
// then the eight bytes of Data4), the form the host stores and compares.
#pragma once

#include "Definitions.hpp"

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

    bool IsNull() const;
    // Writes the upper-case text form with braces, NUL-terminated, into `text`.
    void ToText(char (&text)[TextLength + 1]) const;

    bool operator==(const Guid& other) const;
    bool operator!=(const Guid& other) const { return !(*this == other); }
    bool operator<(const Guid& other) const;

private:
    // There is no byte accessor: the object is its sixteen bytes (trivially copyable, standard layout), so
    // a reader copies them out, or sees them as an API_Guid.
    UInt8 bytes_[ByteCount];
};

static_assert(sizeof(Guid) == 16, "GS::Guid is its sixteen bytes");

}  // namespace GS
