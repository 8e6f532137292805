// The part of the C preprocessor that GRC sources rely on: #include, object-like #define and #undef,
// #ifdef/#ifndef/#else/#endif, #pragma once, comments and line splices. Its output keeps, for every
// line, the file and line it came from, so that errors name the source rather than an intermediate file.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Model.hpp"

namespace Rescomp {

struct PreprocessorOptions {
    std::vector<std::string> includeDirs;        // searched for #include after the including file's folder
    std::map<std::string, std::string> defines;  // as -D NAME=VALUE (VALUE may be a quoted string)
    // An #include of a name with this ending is not read but kept as the line `#include "NAME"`: in a
    // native top file, the scripts that ResConv writes from the GRC files, which exist only in its build.
    std::string keptIncludeSuffix;
};

// One logical line: physical lines joined at a trailing backslash or inside a /* */ comment, comments
// replaced by a space, macros expanded. `pos` is where it starts.
struct LogicalLine {
    SourcePos pos;
    std::string text;
};

// Preprocesses the file at `path`. Directive lines (but kept includes) and blank lines are dropped. Throws
// SourceError on an include file that cannot be found, an unsupported or malformed directive, a conditional
// without #endif, or a macro defined twice with different values.
std::vector<LogicalLine> Preprocess(const std::string& path, const PreprocessorOptions& options);

}  // namespace Rescomp
