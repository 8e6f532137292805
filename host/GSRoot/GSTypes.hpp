// Basic integer, error and handle types of the host's libraries.
#pragma once

#include <cstddef>
#include <cstdint>

using Int8 = std::int8_t;
using UInt8 = std::uint8_t;
using Int16 = std::int16_t;
using UInt16 = std::uint16_t;
using Int32 = std::int32_t;
using UInt32 = std::uint32_t;
using Int64 = std::int64_t;
using UInt64 = std::uint64_t;
using GSSize = Int32;
using GSErrCode = Int32;
using GSHandle = char**;
using GSPtr = char*;
using GSResID = Int16;
using UIndex = UInt32;
using USize = UInt32;

constexpr GSErrCode NoError = 0;
constexpr USize MaxUSize = 0xFFFFFFFFu;

// Character codes for narrow text. The stand-in's default code page is UTF-8, as on the systems it runs on.
enum GSCharCode : Int32 {
    CC_Default = 0,
    CC_UTF8 = 4,
};

// Allocation flag of BMAllocateHandle: fill the new block with zeros.
constexpr Int32 ALLOCATE_CLEAR = 2;

namespace GS {
// The value the host's libraries throw for a failure, and the type the add-on raises itself.
using ErrorType = GSErrCode;
}  // namespace GS
