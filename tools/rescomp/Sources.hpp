// Reading all resource sources of one compilation: GRC files (.grc) and the native lines of Windows
// resource scripts (.rc2), each run through the preprocessor first. Shared by the compiler and the preview.
#pragma once

#include <string>
#include <vector>

#include "Model.hpp"
#include "Preprocessor.hpp"

namespace Rescomp {

struct SourceOptions {
    PreprocessorOptions preprocessor;
    std::vector<std::string> imageFolders;  // where 'GICN' images are looked for (ResConv's -p)
    std::vector<std::string> sources;       // .grc and .rc2 files
};

// Parses an option of the command line shared by the tools (-I DIR, -D NAME[=VALUE], -p DIR) at argv[*i],
// advancing *i past its value. Returns false if argv[*i] is none of them; sets *problem on a bad value.
bool ParseSourceOption(int argc, char** argv, int* i, SourceOptions* options, std::string* problem);

// Reads every source into one set. A top file (.rc2) that includes ResConv's scripts must include the
// script of every GRC source and of nothing else, as the host's own build compiles exactly what it
// includes. Throws SourceError naming file and line of the first mistake.
ResourceSet ReadSources(const SourceOptions& options);

// Appends the native resources of a preprocessed .rc2 source: lines "<id> ICON "<file>.ico"" (the module
// file's icon), "<id> 24 "<file>"" or "<id> RT_MANIFEST "<file>"" (the manifest), named relative to the
// .rc2's folder, "<id> VERSIONINFO" blocks (the version resource), and its #include lines of
// "<name>.grc.rc2", the scripts that ResConv makes of the GRC files.
void ParseRc2(const std::vector<LogicalLine>& lines, ResourceSet* set);

}  // namespace Rescomp
