// Reading the resource sources: the id header's #define lines and the .krc statements.
#pragma once

#include <map>
#include <string>

#include "Model.hpp"

namespace Rescomp {

// Symbolic ids by name, as the id header defines them.
using IdTable = std::map<std::string, long>;
// Values for @NAME@ in quoted texts, from -D NAME=VALUE.
using Substitutions = std::map<std::string, std::string>;

// Reads every "#define NAME NUMBER" line of the header at `path` into *ids. Throws SourceError on a
// #define whose value is not a number, on a name defined twice, or when the file cannot be read.
void ReadIdHeader(const std::string& path, IdTable* ids);

// Parses the .krc source at `path` and appends what it defines to *set. File names in the source are
// resolved against the source's folder. Throws SourceError on the first mistake.
void ParseSource(const std::string& path, const IdTable& ids, const Substitutions& substitutions,
                 ResourceSet* set);

}  // namespace Rescomp
