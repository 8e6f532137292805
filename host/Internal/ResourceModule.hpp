// Where the RS stand-in finds a module's resources: the part that differs by platform. On ELF they are
// the resource image in a section of the module file; on Windows the module's own resource section,
// read through the Windows resource API.
#pragma once

#include <string>

#include "ResourceImage.hpp"
#include "Win32Interface.hpp"

namespace RS::Module {

// Reads the resources of the module the system loader returned as `module`; *path receives the module's
// file. Returns false with *error saying why when the handle is not a loaded module or its resources
// cannot be read.
bool ReadLoadedModule(HINSTANCE module, std::string* path, Image::ResourceImage* image, std::string* error);

// Reads the resources of the module file at `path` (UTF-8), or of the raw resource image there. Returns
// false with *error naming the file and the problem.
bool ReadModuleFile(const std::string& path, Image::ResourceImage* image, std::string* error);

}  // namespace RS::Module
