// Byte layout of the resource image that the resource compiler writes and the RS stand-in reads: the
// module's resources as one blob, placed in the ELF section kSectionName of the module file. Pure
// constants, no host types, so the build tools can share it.
//
//   header     32 bytes   magic, version, entry count, directory offset, names offset and size, image size
//   directory  entryCount records of kEntrySize bytes, in the order written
//   names      NUL-terminated type texts and resource names, ending in a NUL
//   data       each resource's bytes, starting on a 4-byte boundary, zero padding between them
//
// All numbers are little-endian. A resource has a type text ("STRS", "GSDG", "DLGH", "MDID",
// "RT_ICON", "RT_GROUP_ICON", "RT_MANIFEST", "RT_VERSION") and either a numeric id or a name ("I32105&96").
#pragma once

#include <cstdint>

namespace RS::ImageFormat {

constexpr char kSectionName[] = ".kavelo.rsrc";
constexpr char kMagic[8] = {'K', 'V', 'R', 'S', 'R', 'C', '0', '1'};
constexpr std::uint32_t kVersion = 1;
constexpr std::uint32_t kHeaderSize = 32;
constexpr std::uint32_t kEntrySize = 24;
constexpr std::uint32_t kNumericId = 0xFFFFFFFFu;  // idName value of an entry with a numeric id
constexpr std::uint16_t kLanguageUsEnglish = 1033;

// Header field offsets.
constexpr std::uint32_t kHeaderMagic = 0;             // 8 bytes
constexpr std::uint32_t kHeaderVersion = 8;           // u32
constexpr std::uint32_t kHeaderEntryCount = 12;       // u32
constexpr std::uint32_t kHeaderDirectoryOffset = 16;  // u32, always kHeaderSize
constexpr std::uint32_t kHeaderNamesOffset = 20;      // u32
constexpr std::uint32_t kHeaderNamesSize = 24;        // u32
constexpr std::uint32_t kHeaderImageSize = 28;        // u32, the whole image

// Directory entry field offsets.
constexpr std::uint32_t kEntryTypeName = 0;     // u32 offset into names of the type text
constexpr std::uint32_t kEntryIdName = 4;       // u32 offset into names of the name, or kNumericId
constexpr std::uint32_t kEntryId = 8;           // i32 numeric id, 0 for a named resource
constexpr std::uint32_t kEntryLanguage = 12;    // u16, kLanguageUsEnglish
constexpr std::uint32_t kEntryReserved = 14;    // u16, 0
constexpr std::uint32_t kEntryDataOffset = 16;  // u32 from the start of the image
constexpr std::uint32_t kEntryDataSize = 20;    // u32

// Standard resource types, named after their Windows counterparts.
constexpr char kTypeIcon[] = "RT_ICON";
constexpr char kTypeGroupIcon[] = "RT_GROUP_ICON";
constexpr char kTypeManifest[] = "RT_MANIFEST";
constexpr char kTypeVersion[] = "RT_VERSION";

}  // namespace RS::ImageFormat
