// kavelo-rescomp: compiles the module's GRC resource sources (and the native lines of its .rc2 scripts)
// into the resource image that is placed in the module file, and into the .rc script of a Windows build.
//
//   kavelo-rescomp [-I DIR]... [-D NAME[=VALUE]]... [-p IMAGE_DIR]... --image OUT [--rc-dir DIR] SOURCE...
//
// Exit status 0 on success; 1 with "file:line: error: ..." on stderr for a bad source, writing nothing.
#include <iostream>
#include <string>

#include "Compiler.hpp"
#include "Output.hpp"
#include "Sources.hpp"

namespace {

struct Options {
    Rescomp::SourceOptions sources;
    std::string image;
    std::string rcDirectory;
};

int Usage(const std::string& problem) {
    std::cerr << "kavelo-rescomp: " << problem << "\n"
              << "usage: kavelo-rescomp [-I DIR]... [-D NAME[=VALUE]]... [-p IMAGE_DIR]... --image OUT "
                 "[--rc-dir DIR] SOURCE.grc|SOURCE.rc2...\n";
    return 2;
}

bool ParseOptions(int argc, char** argv, Options* options, std::string* problem) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (Rescomp::ParseSourceOption(argc, argv, &i, &options->sources, problem)) {
            if (!problem->empty())
                return false;
            continue;
        }
        if ((arg == "--image" || arg == "--rc-dir") && i + 1 >= argc) {
            *problem = arg + " needs a value";
            return false;
        }
        if (arg == "--image") {
            options->image = argv[++i];
        } else if (arg == "--rc-dir") {
            options->rcDirectory = argv[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            *problem = "unknown option '" + arg + "'";
            return false;
        } else {
            options->sources.sources.push_back(arg);
        }
    }
    if (options->image.empty() || options->sources.sources.empty()) {
        *problem = "--image and at least one source are required";
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
        const Rescomp::CompiledResources compiled = Rescomp::Compile(Rescomp::ReadSources(options.sources));
        Rescomp::WriteFile(options.image, Rescomp::BuildImage(compiled.image));
        if (!options.rcDirectory.empty())
            Rescomp::WriteRcScript(options.rcDirectory, "KAVELO.rc", compiled.rc);
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    return 0;
}
