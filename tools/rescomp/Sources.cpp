// Reading the resource sources (see Sources.hpp).
#include "Sources.hpp"

#include <filesystem>

#include "GrcParser.hpp"
#include "Lexer.hpp"

namespace Rescomp {

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

int NativeId(const Token& token) {
    if (token.kind != TokenKind::Word || token.text.empty() || token.text.size() > 5 ||
        token.text.find_first_not_of("0123456789") != std::string::npos || std::stoi(token.text) < 1 ||
        std::stoi(token.text) > 32767)
        throw SourceError(token.pos, "Illegal decimal integer value or undefined constant: " + token.text +
                                         " (expected a resource id from 1 to 32767)");
    return std::stoi(token.text);
}

}  // namespace

bool ParseSourceOption(int argc, char** argv, int* i, SourceOptions* options, std::string* problem) {
    const std::string arg = argv[*i];
    if (arg != "-I" && arg != "-D" && arg != "-p")
        return false;
    if (*i + 1 >= argc) {
        *problem = arg + " needs a value";
        return true;
    }
    const std::string value = argv[++*i];
    if (arg == "-I") {
        options->preprocessor.includeDirs.push_back(value);
    } else if (arg == "-p") {
        options->imageFolders.push_back(value);
    } else {
        const std::size_t equals = value.find('=');
        if (equals == 0 || value.empty()) {
            *problem = "-D takes NAME or NAME=VALUE, not '" + value + "'";
            return true;
        }
        options->preprocessor.defines[value.substr(0, equals)] =
            equals == std::string::npos ? "1" : value.substr(equals + 1);
    }
    return true;
}

void ParseRc2(const std::vector<LogicalLine>& lines, ResourceSet* set) {
    const std::vector<Token> tokens = Tokenize(lines);
    for (std::size_t i = 0; i < tokens.size();) {
        const std::size_t line = tokens[i].line;
        std::vector<const Token*> words;
        for (; i < tokens.size() && tokens[i].line == line; ++i) words.push_back(&tokens[i]);
        const SourcePos& pos = words.front()->pos;
        if (words.size() != 3 || words[2]->kind != TokenKind::Text)
            throw SourceError(pos,
                              "expected a native resource line: <id> ICON \"file.ico\" or <id> 24 \"file\"");
        const int id = NativeId(*words[0]);
        const std::string folder = std::filesystem::path(pos.file).parent_path().string();
        const std::string file = (std::filesystem::path(folder) / words[2]->text).string();
        if (words[1]->text == "ICON")
            set->moduleIcons.push_back({pos, id, file});
        else if (words[1]->text == "24" || words[1]->text == "RT_MANIFEST")
            set->manifests.push_back({pos, id, file});
        else
            throw SourceError(words[1]->pos, "unknown native resource type " + words[1]->text +
                                                 " (expected ICON, 24 or RT_MANIFEST)");
    }
}

ResourceSet ReadSources(const SourceOptions& options) {
    ResourceSet set;
    for (const std::string& source : options.sources) {
        const std::vector<LogicalLine> lines = Preprocess(source, options.preprocessor);
        if (EndsWith(source, ".rc2")) {
            ParseRc2(lines, &set);
        } else if (EndsWith(source, ".grc")) {
            ParseGrc(Tokenize(lines), options.imageFolders,
                     std::filesystem::path(source).parent_path().string(), &set);
        } else {
            throw SourceError(SourcePos{source, 0}, "a resource source is a .grc or an .rc2 file");
        }
    }
    return set;
}

}  // namespace Rescomp
