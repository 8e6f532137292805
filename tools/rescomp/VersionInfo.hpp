// The native VERSIONINFO resource of a top file (.rc2): read as Microsoft's rc reads it, and encoded as
// VS_VERSIONINFO, the bytes rc and windres give, so that the module's version resource is the same
// whichever resource compiler built it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Model.hpp"
#include "Preprocessor.hpp"

namespace Rescomp {

// Whether `line` begins a version resource: "<id> VERSIONINFO".
bool IsVersionInfoStart(const LogicalLine& line);

// Reads the version resource that begins at lines[*at] and leaves *at after its last END. Understands
// FILEVERSION and PRODUCTVERSION (four numbers), FILEFLAGSMASK, FILEFLAGS, FILEOS, FILETYPE, FILESUBTYPE
// (one number each, decimal or 0x hex, an L suffix allowed), then BEGIN (or {) with BLOCK "key" and
// VALUE "key", "text" or VALUE "key", number, ... lines, to the matching END (or }). Texts are ASCII.
// Throws SourceError naming the line of the first mistake.
VersionInfo ParseVersionInfo(const std::vector<LogicalLine>& lines, std::size_t* at);

// VS_VERSIONINFO: each node is its length, its value's length (characters with the NUL for a text, bytes
// for words), its type (1 text, 0 binary) and its UTF-16 key, then its value and its children, each
// starting on a 4-byte boundary; a node's length leaves out the padding after its last child.
std::vector<std::uint8_t> EncodeVersionInfo(const VersionInfo& info);

}  // namespace Rescomp
