// kavelo-rescomp: compiles the module's resource sources into the resource image that is placed in the
// module file, and into the .rc script of a Windows build.
//
//   kavelo-rescomp --ids ResourceIds.hpp [-D NAME=VALUE]... --image OUT [--rc-dir DIR] SOURCE...
//
// Exit status 0 on success; 1 with "file:line: error: ..." on stderr for a bad source, writing nothing.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "Compiler.hpp"
#include "Output.hpp"
#include "Parser.hpp"

namespace {

struct Options {
    std::string idHeader;
    std::string image;
    std::string rcDirectory;
    Rescomp::Substitutions substitutions;
    std::vector<std::string> sources;
};

int Usage(const std::string& problem) {
    std::cerr
        << "kavelo-rescomp: " << problem << "\n"
        << "usage: kavelo-rescomp --ids HEADER [-D NAME=VALUE]... --image OUT [--rc-dir DIR] SOURCE...\n";
    return 2;
}

bool ParseOptions(int argc, char** argv, Options* options, std::string* problem) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if ((arg == "--ids" || arg == "--image" || arg == "--rc-dir" || arg == "-D") && !hasValue) {
            *problem = arg + " needs a value";
            return false;
        }
        if (arg == "--ids") {
            options->idHeader = argv[++i];
        } else if (arg == "--image") {
            options->image = argv[++i];
        } else if (arg == "--rc-dir") {
            options->rcDirectory = argv[++i];
        } else if (arg == "-D") {
            const std::string definition = argv[++i];
            const std::size_t equals = definition.find('=');
            if (equals == std::string::npos || equals == 0) {
                *problem = "-D takes NAME=VALUE, not '" + definition + "'";
                return false;
            }
            options->substitutions[definition.substr(0, equals)] = definition.substr(equals + 1);
        } else if (!arg.empty() && arg[0] == '-') {
            *problem = "unknown option '" + arg + "'";
            return false;
        } else {
            options->sources.push_back(arg);
        }
    }
    if (options->idHeader.empty() || options->image.empty() || options->sources.empty()) {
        *problem = "--ids, --image and at least one source are required";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!ParseOptions(argc, argv, &options, &problem))
        return Usage(problem);
    try {
        Rescomp::IdTable ids;
        Rescomp::ReadIdHeader(options.idHeader, &ids);
        Rescomp::ResourceSet set;
        for (const std::string& source : options.sources)
            Rescomp::ParseSource(source, ids, options.substitutions, &set);
        const Rescomp::CompiledResources compiled = Rescomp::Compile(set);
        Rescomp::WriteFile(options.image, Rescomp::BuildImage(compiled.image));
        if (!options.rcDirectory.empty())
            Rescomp::WriteRcScript(options.rcDirectory, "KAVELO.rc", compiled.rc);
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    return 0;
}
