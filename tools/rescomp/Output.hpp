// Writing the compiled resources: the resource image that goes into the module file, and the .rc
// script with its files for a Windows build.
#pragma once

#include <string>

#include "Compiler.hpp"

namespace Rescomp {

// The image in the layout of host/Control/ResourceImageFormat.hpp, every resource in language 1033.
Bytes BuildImage(const std::vector<BinaryResource>& resources);

// Writes `bytes` to `path` through a temporary file, so that a failed run leaves no half-written
// output. Throws std::runtime_error naming the path on failure.
void WriteFile(const std::string& path, const Bytes& bytes);

// Writes `<directory>/<scriptName>` and, beside it, the file each of its lines names.
void WriteRcScript(const std::string& directory, const std::string& scriptName,
                   const std::vector<RcEntry>& entries);

}  // namespace Rescomp
