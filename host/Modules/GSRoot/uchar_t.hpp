// The host's UTF-16 code unit, unsigned short on every platform the host supports.
#pragma once

#include "Definitions.hpp"

namespace GS {
typedef UInt16 Utf16Char;
using uchar_t = Utf16Char;
}  // namespace GS

namespace UniChar {
typedef GS::Utf16Char Layout;
}
