// Basic integer, error and handle types of the host's libraries, defined in namespace GS and taken into the
// global namespace, as the add-on's sources name them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace GS {

typedef signed char Int8;
typedef unsigned char UInt8;
typedef short Int16;
typedef unsigned short UInt16;
typedef int Int32;
typedef unsigned int UInt32;
typedef long long Int64;
typedef unsigned long long UInt64;

typedef Int64 IntPtr;
typedef UInt64 UIntPtr;

// The host's libraries report failures as codes; 0 is success.
typedef Int32 GSErrCode;

// General codes shared by every host library.
enum : GSErrCode {
    NoError = 0,
    ErrIO = -36,
    Cancel = -7004,
    ExceptionError = -7005,
};

// The type a host library throws (or an add-on raises) for a failure with a code.
enum ErrorType : GSErrCode { Error = -7003 };

constexpr Int32 ErrorFlagMask = static_cast<Int32>(0x80000000u);

}  // namespace GS

using GS::GSErrCode;
using GS::Int16;
using GS::Int32;
using GS::Int64;
using GS::Int8;
using GS::NoError;
using GS::UInt16;
using GS::UInt32;
using GS::UInt64;
using GS::UInt8;

typedef UInt32 GSFlags;
typedef Int32 GSSize;
typedef char* GSPtr;
typedef GSPtr* GSHandle;
typedef UInt32 USize;
typedef UInt32 UIndex;
namespace GS {
using USize = ::USize;  // the kit names sizes both ways
}
typedef unsigned long ULong;
typedef UInt16 UShort;

constexpr USize MaxUSize = 4294967295u;
