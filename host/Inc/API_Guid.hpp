// API_Guid: the add-on interface's 128-bit identifier, laid out as GS::Guid, and the conversions between
// them.
#pragma once

#include "Definitions.hpp"
#include "GSGuid.hpp"

struct API_Guid {
    UInt32 time_low;
    unsigned short time_mid;
    unsigned short time_hi_and_version;
    unsigned char clock_seq_hi_and_reserved;
    unsigned char clock_seq_low;
    unsigned char node[6];
};

constexpr API_Guid APINULLGuid = {};

inline API_Guid& GSGuid2APIGuid(GS::Guid& guid) {
    return reinterpret_cast<API_Guid&>(guid);
}
inline const API_Guid& GSGuid2APIGuid(const GS::Guid& guid) {
    return reinterpret_cast<const API_Guid&>(guid);
}
inline GS::Guid& APIGuid2GSGuid(API_Guid& guid) {
    return reinterpret_cast<GS::Guid&>(guid);
}
inline const GS::Guid& APIGuid2GSGuid(const API_Guid& guid) {
    return reinterpret_cast<const GS::Guid&>(guid);
}

inline bool operator==(const API_Guid& left, const API_Guid& right) {
    return APIGuid2GSGuid(left) == APIGuid2GSGuid(right);
}
inline bool operator!=(const API_Guid& left, const API_Guid& right) {
    return !(left == right);
}
