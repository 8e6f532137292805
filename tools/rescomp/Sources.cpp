// Reading the resource sources (see Sources.hpp).
#include "Sources.hpp"

#include <algorithm>
#include <filesystem>

#include "GrcParser.hpp"
#include "Lexer.hpp"
#include "VersionInfo.hpp"

namespace Rescomp {

namespace {

const char kGrcScriptSuffix[] = ".grc.rc2";

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
    std::vector<LogicalLine> native;
    const std::string include = "#include \"";
    for (std::size_t i = 0; i < lines.size();) {
        const LogicalLine& line = lines[i];
        if (line.text.compare(0, include.size(), include) == 0) {
            set->grcScripts.push_back(
                {line.pos, line.text.substr(include.size(), line.text.size() - include.size() - 1)});
            ++i;
        } else if (IsVersionInfoStart(line)) {
            set->versions.push_back(ParseVersionInfo(lines, &i));
        } else {
            native.push_back(line);
            ++i;
        }
    }
    const std::vector<Token> tokens = Tokenize(native);
    for (std::size_t i = 0; i < tokens.size();) {
        const std::size_t line = tokens[i].line;
        std::vector<const Token*> words;
        for (; i < tokens.size() && tokens[i].line == line; ++i) words.push_back(&tokens[i]);
        const SourcePos& pos = words.front()->pos;
        if (words.size() != 3 || words[2]->kind != TokenKind::Text)
            throw SourceError(pos,
                              "expected a native resource line: <id> ICON \"file.ico\", <id> 24 \"file\" or "
                              "<id> VERSIONINFO");
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

namespace {

// Checks that the top files' includes of ResConv's scripts name exactly the GRC sources.
void CheckGrcScripts(const ResourceSet& set, const std::vector<std::string>& sources) {
    if (set.grcScripts.empty())
        return;
    std::vector<std::string> grcNames;
    for (const std::string& source : sources) {
        if (EndsWith(source, ".grc"))
            grcNames.push_back(std::filesystem::path(source).filename().string());
    }
    for (const GrcScriptInclude& include : set.grcScripts) {
        const std::string grc = include.name.substr(0, include.name.size() - 4);
        if (std::find(grcNames.begin(), grcNames.end(), grc) == grcNames.end())
            throw SourceError(include.pos, "the top file includes " + include.name + ", the script of " +
                                               grc + ", which is not among the resource sources");
    }
    for (const std::string& grc : grcNames) {
        const auto included =
            std::find_if(set.grcScripts.begin(), set.grcScripts.end(),
                         [&](const GrcScriptInclude& include) { return include.name == grc + ".rc2"; });
        if (included == set.grcScripts.end())
            throw SourceError(set.grcScripts.front().pos,
                              "the top file does not include " + grc +
                                  ".rc2: the host's build would leave the resources of " + grc +
                                  " out of the module");
    }
}

}  // namespace

ResourceSet ReadSources(const SourceOptions& options) {
    ResourceSet set;
    PreprocessorOptions topFile = options.preprocessor;
    topFile.keptIncludeSuffix = kGrcScriptSuffix;
    for (const std::string& source : options.sources) {
        if (EndsWith(source, ".rc2")) {
            ParseRc2(Preprocess(source, topFile), &set);
        } else if (EndsWith(source, ".grc")) {
            ParseGrc(Tokenize(Preprocess(source, options.preprocessor)), options.imageFolders,
                     std::filesystem::path(source).parent_path().string(), &set);
        } else {
            throw SourceError(SourcePos{source, 0}, "a resource source is a .grc or an .rc2 file");
        }
    }
    CheckGrcScripts(set, options.sources);
    return set;
}

}  // namespace Rescomp
