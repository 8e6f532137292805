// The GRC reader: turns the tokens of a preprocessed GRC source into the resources of the ResourceSet, with
// ResConv's checks and messages ("Can't recognize item ...", "} is expected", ...) plus what was expected.
#pragma once

#include <string>
#include <vector>

#include "Lexer.hpp"

namespace Rescomp {

// Appends the 'STR#', 'GDLG', 'DLGH', 'MDID' and 'GICN' resources of `tokens` to *set. 'GICN' images
// "<name>.png" and "<name>@2x.png" are looked for in `imageFolders`, then in `sourceFolder`. Throws
// SourceError naming the line of the first mistake.
void ParseGrc(const std::vector<Token>& tokens, const std::vector<std::string>& imageFolders,
              const std::string& sourceFolder, ResourceSet* set);

}  // namespace Rescomp
