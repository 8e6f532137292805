// Turning a checked ResourceSet into resource bytes: the entries of the resource image and the files and
// lines of the Windows .rc script.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Model.hpp"

namespace Rescomp {

using Bytes = std::vector<std::uint8_t>;

// One resource of the image: a type text and a numeric id or a name.
struct BinaryResource {
    std::string type;
    bool named = false;
    int id = 0;
    std::string name;
    Bytes bytes;
};

// One line of the .rc script and the file it names.
struct RcEntry {
    std::string comment;   // a readable summary of the resource
    std::string name;      // resource name or number
    std::string type;      // resource type as the .rc script writes it
    std::string fileName;  // file beside the script
    Bytes bytes;           // the file's contents
};

struct CompiledResources {
    std::vector<BinaryResource> image;
    std::vector<RcEntry> rc;
};

// Checks the set as a whole (duplicate ids, help anchors without their dialog, icons that menu texts and
// icon buttons name, image files)
// and encodes every resource. Throws SourceError naming the first offending source line.
CompiledResources Compile(const ResourceSet& set);

}  // namespace Rescomp
