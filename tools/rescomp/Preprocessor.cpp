// The minimal C preprocessor in front of the GRC reader (see Preprocessor.hpp).
#include "Preprocessor.hpp"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>

namespace Rescomp {

namespace {

constexpr int kMaxIncludeDepth = 32;

bool IsIdentifierStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool IsIdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Index just past the quoted text that starts at text[at] (a " or '), or the line's end if unclosed:
// the GRC reader reports an unclosed text with its line.
std::size_t SkipQuoted(const std::string& text, std::size_t at) {
    const char quote = text[at];
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '\\')
            ++i;
        else if (text[i] == quote)
            return i + 1;
    }
    return text.size();
}

std::string Trim(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return "";
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

struct Macro {
    std::string value;
    SourcePos pos;
};

struct Conditional {
    SourcePos pos;
    bool active = true;        // this branch's lines are kept
    bool parentActive = true;  // the enclosing branch's lines are kept
    bool seenElse = false;
};

class Preprocessor {
public:
    explicit Preprocessor(const PreprocessorOptions& options)
        : includeDirs_(options.includeDirs), keptIncludeSuffix_(options.keptIncludeSuffix) {
        for (const auto& define : options.defines)
            macros_[define.first] = Macro{define.second, SourcePos{"<command line>", 0}};
    }

    std::vector<LogicalLine> Run(const std::string& path) {
        File(path, SourcePos{path, 0}, 0);
        return std::move(out_);
    }

private:
    static std::vector<std::string> ReadPhysicalLines(const std::string& path, const SourcePos& from) {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            throw SourceError(from, "cannot read '" + path + "'");
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

    void File(const std::string& path, const SourcePos& from, int depth) {
        const std::vector<std::string> physical = ReadPhysicalLines(path, from);
        const std::size_t openConditionals = conditionals_.size();
        std::string current;
        SourcePos currentPos;
        bool inComment = false;
        for (std::size_t i = 0; i < physical.size();) {
            const SourcePos pos{path, static_cast<int>(i) + 1};
            std::string text = physical[i++];
            while (!text.empty() && text.back() == '\\' && i < physical.size()) {
                text.pop_back();
                text += physical[i++];
            }
            if (!inComment) {
                current.clear();
                currentPos = pos;
            }
            inComment = StripComments(text, inComment, &current);
            if (!inComment)
                Line(current, currentPos, depth);
        }
        if (inComment)
            throw SourceError(currentPos, "comment without its closing */");
        if (conditionals_.size() > openConditionals)
            throw SourceError(conditionals_.back().pos, "#ifdef or #ifndef without its #endif");
    }

    // Appends `text` to *out with comments replaced by a space; returns whether a /* */ comment is still
    // open at its end.
    static bool StripComments(const std::string& text, bool inComment, std::string* out) {
        std::size_t i = 0;
        while (i < text.size()) {
            if (inComment) {
                const std::size_t close = text.find("*/", i);
                if (close == std::string::npos)
                    return true;
                i = close + 2;
                inComment = false;
                *out += ' ';
                continue;
            }
            const char c = text[i];
            if (c == '"' || c == '\'') {
                const std::size_t end = SkipQuoted(text, i);
                *out += text.substr(i, end - i);
                i = end;
            } else if (text.compare(i, 2, "//") == 0) {
                break;
            } else if (text.compare(i, 2, "/*") == 0) {
                inComment = true;
                i += 2;
            } else {
                *out += c;
                ++i;
            }
        }
        return false;
    }

    bool Active() const { return conditionals_.empty() || conditionals_.back().active; }

    void Line(const std::string& text, const SourcePos& pos, int depth) {
        const std::string trimmed = Trim(text);
        if (!trimmed.empty() && trimmed[0] == '#')
            return Directive(Trim(trimmed.substr(1)), pos, depth);
        if (!Active() || trimmed.empty())
            return;
        std::set<std::string> expanding;
        out_.push_back({pos, Expand(text, &expanding)});
    }

    // Replaces every defined identifier outside quotes by its value, expanded in turn; a macro is not
    // expanded inside its own value.
    std::string Expand(const std::string& text, std::set<std::string>* expanding) const {
        std::string result;
        std::size_t i = 0;
        while (i < text.size()) {
            const char c = text[i];
            if (c == '"' || c == '\'') {
                const std::size_t end = SkipQuoted(text, i);
                result += text.substr(i, end - i);
                i = end;
            } else if (IsIdentifierStart(c) || std::isdigit(static_cast<unsigned char>(c))) {
                std::size_t end = i + 1;
                while (end < text.size() && IsIdentifierChar(text[end])) ++end;
                const std::string word = text.substr(i, end - i);
                const auto macro = macros_.find(word);
                if (IsIdentifierStart(c) && macro != macros_.end() && expanding->count(word) == 0) {
                    expanding->insert(word);
                    result += Expand(macro->second.value, expanding);
                    expanding->erase(word);
                } else {
                    result += word;
                }
                i = end;
            } else {
                result += c;
                ++i;
            }
        }
        return result;
    }

    static std::string Name(const std::string& rest, std::string* after) {
        std::size_t end = 0;
        while (end < rest.size() && IsIdentifierChar(rest[end])) ++end;
        if (after != nullptr)
            *after = rest.substr(end);
        return rest.substr(0, end);
    }

    void Directive(const std::string& body, const SourcePos& pos, int depth) {
        std::string rest;
        const std::string keyword = Name(body, &rest);
        rest = Trim(rest);
        if (keyword == "ifdef" || keyword == "ifndef" || keyword == "else" || keyword == "endif")
            return ConditionalDirective(keyword, rest, pos);
        if (!Active())
            return;
        if (keyword.empty() && rest.empty())
            return;
        if (keyword == "include")
            return Include(rest, pos, depth);
        if (keyword == "define")
            return Define(rest, pos);
        if (keyword == "undef") {
            macros_.erase(MacroName(rest, "#undef", pos));
            return;
        }
        if (keyword == "pragma") {
            if (rest == "once")
                onceFiles_.insert(std::filesystem::weakly_canonical(pos.file).string());
            return;
        }
        if (keyword == "error")
            throw SourceError(pos, "#error " + rest);
        throw SourceError(pos, "unsupported preprocessor directive #" + keyword +
                                   " (expected #include, #define, #undef, #ifdef, #ifndef, #else, "
                                   "#endif, #pragma or #error)");
    }

    static std::string MacroName(const std::string& rest, const char* directive, const SourcePos& pos) {
        std::string after;
        const std::string name = Name(rest, &after);
        if (name.empty() || !IsIdentifierStart(name[0]))
            throw SourceError(pos, std::string(directive) + " needs a macro name");
        if (!after.empty() && after[0] == '(')
            throw SourceError(pos,
                              "function-like macro '" + name + "' (only NAME VALUE macros are supported)");
        return name;
    }

    void ConditionalDirective(const std::string& keyword, const std::string& rest, const SourcePos& pos) {
        if (keyword == "ifdef" || keyword == "ifndef") {
            const bool defined = macros_.count(MacroName(rest, "#ifdef", pos)) != 0;
            conditionals_.push_back({pos, Active() && defined == (keyword == "ifdef"), Active(), false});
            return;
        }
        if (conditionals_.empty())
            throw SourceError(pos, "#" + keyword + " without #ifdef or #ifndef");
        Conditional& open = conditionals_.back();
        if (keyword == "endif") {
            conditionals_.pop_back();
            return;
        }
        if (open.seenElse)
            throw SourceError(pos, "a second #else for the #ifdef at line " + std::to_string(open.pos.line));
        open.seenElse = true;
        open.active = open.parentActive && !open.active;
    }

    void Define(const std::string& rest, const SourcePos& pos) {
        std::string value;
        const std::string name = MacroName(rest, "#define", pos);
        Name(rest, &value);
        value = Trim(value);
        const auto existing = macros_.find(name);
        if (existing != macros_.end() && existing->second.value != value)
            throw SourceError(pos, "macro '" + name + "' redefined as '" + value + "' (was '" +
                                       existing->second.value + "' at " + existing->second.pos.file + ":" +
                                       std::to_string(existing->second.pos.line) + ")");
        macros_[name] = Macro{value, pos};
    }

    void Include(const std::string& rest, const SourcePos& pos, int depth) {
        const bool local = !rest.empty() && rest[0] == '"';
        const std::size_t close = rest.find(local ? '"' : '>', 1);
        if (rest.empty() || (!local && rest[0] != '<') || close == std::string::npos)
            throw SourceError(pos, "#include expects \"FILE\" or <FILE>");
        const std::string name = rest.substr(1, close - 1);
        if (!keptIncludeSuffix_.empty() && name.size() > keptIncludeSuffix_.size() &&
            name.compare(name.size() - keptIncludeSuffix_.size(), std::string::npos, keptIncludeSuffix_) ==
                0) {
            out_.push_back({pos, "#include \"" + name + "\""});
            return;
        }
        std::vector<std::string> dirs;
        if (local)
            dirs.push_back(std::filesystem::path(pos.file).parent_path().string());
        dirs.insert(dirs.end(), includeDirs_.begin(), includeDirs_.end());
        for (const std::string& dir : dirs) {
            const std::filesystem::path candidate =
                dir.empty() ? std::filesystem::path(name) : dir / std::filesystem::path(name);
            if (!std::filesystem::is_regular_file(candidate))
                continue;
            if (onceFiles_.count(std::filesystem::weakly_canonical(candidate).string()) != 0)
                return;
            if (depth + 1 > kMaxIncludeDepth)
                throw SourceError(pos,
                                  "#include nested more than " + std::to_string(kMaxIncludeDepth) + " deep");
            return File(candidate.string(), pos, depth + 1);
        }
        throw SourceError(pos, "cannot find include file '" + name + "'");
    }

    std::vector<std::string> includeDirs_;
    std::string keptIncludeSuffix_;
    std::map<std::string, Macro> macros_;
    std::set<std::string> onceFiles_;
    std::vector<Conditional> conditionals_;
    std::vector<LogicalLine> out_;
};

}  // namespace

std::vector<LogicalLine> Preprocess(const std::string& path, const PreprocessorOptions& options) {
    return Preprocessor(options).Run(path);
}

}  // namespace Rescomp
