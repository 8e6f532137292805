// The .krc source reader: splits logical lines into tokens and turns statements into the ResourceSet.
#include "Parser.hpp"

#include <cctype>
#include <fstream>
#include <sstream>
#include <vector>

namespace Rescomp {

namespace {

enum class TokenKind { Word, Number, String };

struct Token {
    TokenKind kind = TokenKind::Word;
    std::string text;  // word, number as written, or the string's value without quotes
    long value = 0;    // numbers
};

struct Line {
    SourcePos pos;
    std::vector<Token> tokens;
};

bool ParseNumber(const std::string& text, long* value) {
    if (text.empty())
        return false;
    const bool negative = text[0] == '-';
    const std::string digits = negative ? text.substr(1) : text;
    if (digits.empty())
        return false;
    int base = 10;
    std::string body = digits;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        body = digits.substr(2);
    }
    long result = 0;
    for (char c : body) {
        int digit = -1;
        if (std::isdigit(static_cast<unsigned char>(c)))
            digit = c - '0';
        else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
            digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (digit < 0)
            return false;
        result = result * base + digit;
        if (result > 0xFFFFFFFFL)
            return false;
    }
    *value = negative ? -result : result;
    return true;
}

std::vector<std::string> ReadLines(const std::string& path, const SourcePos& from) {
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

// Reads a quoted string starting at text[*at] == '"'; leaves *at after the closing quote.
std::string ReadQuoted(const std::string& text, std::size_t* at, const SourcePos& pos) {
    std::string value;
    std::size_t i = *at + 1;
    for (; i < text.size() && text[i] != '"'; ++i) {
        char c = text[i];
        if (c == '\\') {
            if (i + 1 >= text.size() || (text[i + 1] != '"' && text[i + 1] != '\\'))
                throw SourceError(pos, "unknown escape in text (only \\\" and \\\\ exist)");
            c = text[++i];
        }
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || byte < 0x20)
            throw SourceError(pos, "non-ASCII character in text \"" + value + "...\"");
        value += c;
    }
    if (i >= text.size())
        throw SourceError(pos, "text without closing quote");
    *at = i + 1;
    return value;
}

std::string Substitute(const std::string& text, const Substitutions& substitutions, const SourcePos& pos) {
    std::string result;
    std::size_t at = 0;
    while (true) {
        const std::size_t open = text.find('@', at);
        if (open == std::string::npos)
            break;
        const std::size_t close = text.find('@', open + 1);
        if (close == std::string::npos)
            throw SourceError(pos, "unclosed @NAME@ in text");
        const std::string name = text.substr(open + 1, close - open - 1);
        const auto found = substitutions.find(name);
        if (found == substitutions.end())
            throw SourceError(pos, "no value for @" + name + "@ (pass -D " + name + "=...)");
        for (char c : found->second) {
            if (static_cast<unsigned char>(c) >= 0x80 || static_cast<unsigned char>(c) < 0x20)
                throw SourceError(pos, "non-ASCII character in the value of @" + name + "@");
        }
        result += text.substr(at, open - at) + found->second;
        at = close + 1;
    }
    return result + text.substr(at);
}

// Splits one logical line into tokens; adjacent strings are joined into one.
std::vector<Token> Tokenize(const std::string& text, const SourcePos& pos,
                            const Substitutions& substitutions) {
    std::vector<Token> tokens;
    bool lastWasString = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        if (c == '#')
            break;
        if (c == '"') {
            const std::string value = Substitute(ReadQuoted(text, &i, pos), substitutions, pos);
            if (lastWasString) {
                tokens.back().text += value;
            } else {
                tokens.push_back({TokenKind::String, value, 0});
            }
            lastWasString = true;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])) &&
               text[end] != '"' && text[end] != '#')
            ++end;
        Token token{TokenKind::Word, text.substr(i, end - i), 0};
        if (ParseNumber(token.text, &token.value))
            token.kind = TokenKind::Number;
        else if (static_cast<unsigned char>(token.text[0]) >= 0x80)
            throw SourceError(pos, "non-ASCII character outside a text");
        tokens.push_back(token);
        lastWasString = false;
        i = end;
    }
    return tokens;
}

// Joins physical lines ending in a backslash and tokenizes the logical lines; empty ones are dropped.
std::vector<Line> ReadLogicalLines(const std::string& path, const Substitutions& substitutions) {
    const std::vector<std::string> physical = ReadLines(path, SourcePos{path, 0});
    std::vector<Line> lines;
    std::size_t i = 0;
    while (i < physical.size()) {
        SourcePos pos{path, static_cast<int>(i) + 1};
        std::string text = physical[i++];
        while (!text.empty() && text.back() == '\\') {
            text.pop_back();
            if (i >= physical.size())
                throw SourceError(pos, "line continued past the end of the file");
            text += " " + physical[i++];
        }
        Line line{pos, Tokenize(text, pos, substitutions)};
        if (!line.tokens.empty())
            lines.push_back(line);
    }
    return lines;
}

// Walks the tokens of one line, with errors naming the line.
class Cursor {
public:
    Cursor(const Line& line, const IdTable& ids) : line_(line), ids_(ids) {}

    bool AtEnd() const { return next_ >= line_.tokens.size(); }
    const SourcePos& Pos() const { return line_.pos; }

    bool PeekWord(const char* word) const {
        return !AtEnd() && line_.tokens[next_].kind == TokenKind::Word && line_.tokens[next_].text == word;
    }

    std::string Word(const char* what) {
        const Token& token = Take(what);
        if (token.kind != TokenKind::Word)
            throw SourceError(Pos(), std::string("expected ") + what + ", found '" + token.text + "'");
        return token.text;
    }

    long Number(const char* what, long min, long max) {
        const Token& token = Take(what);
        if (token.kind != TokenKind::Number)
            throw SourceError(Pos(),
                              std::string("expected ") + what + " (a number), found '" + token.text + "'");
        return CheckRange(token.value, what, min, max);
    }

    // A number or a name from the id header.
    int Id(const char* what) {
        const Token& token = Take(what);
        long value = token.value;
        if (token.kind == TokenKind::Word) {
            const auto found = ids_.find(token.text);
            if (found == ids_.end())
                throw SourceError(Pos(), "unknown id '" + token.text + "' (not defined in the id header)");
            value = found->second;
        } else if (token.kind != TokenKind::Number) {
            throw SourceError(Pos(), std::string("expected ") + what + ", found a text");
        }
        return static_cast<int>(CheckRange(value, what, 1, 32767));
    }

    std::string Text(const char* what, std::size_t maxLength) {
        const Token& token = Take(what);
        if (token.kind != TokenKind::String)
            throw SourceError(
                Pos(), std::string("expected ") + what + " in double quotes, found '" + token.text + "'");
        if (token.text.size() > maxLength)
            throw SourceError(Pos(), std::string(what) + " is " + std::to_string(token.text.size()) +
                                         " characters long; at most " + std::to_string(maxLength) +
                                         " fit: \"" + token.text.substr(0, 40) + "...\"");
        return token.text;
    }

    void ExpectEnd() {
        if (!AtEnd())
            throw SourceError(Pos(), "unexpected '" + line_.tokens[next_].text + "' at the end of the line");
    }

private:
    const Token& Take(const char* what) {
        if (AtEnd())
            throw SourceError(Pos(), std::string("missing ") + what);
        return line_.tokens[next_++];
    }

    long CheckRange(long value, const char* what, long min, long max) const {
        if (value < min || value > max)
            throw SourceError(Pos(), std::string(what) + " " + std::to_string(value) + " is outside " +
                                         std::to_string(min) + ".." + std::to_string(max));
        return value;
    }

    const Line& line_;
    const IdTable& ids_;
    std::size_t next_ = 0;
};

std::string ResolvePath(const std::string& sourcePath, const std::string& name) {
    if (!name.empty() && name[0] == '/')
        return name;
    const std::size_t slash = sourcePath.rfind('/');
    return slash == std::string::npos ? name : sourcePath.substr(0, slash + 1) + name;
}

class SourceParser {
public:
    SourceParser(const std::string& path, const IdTable& ids, const Substitutions& substitutions,
                 ResourceSet* set)
        : path_(path), ids_(ids), lines_(ReadLogicalLines(path, substitutions)), set_(set) {}

    void Run() {
        while (next_ < lines_.size()) {
            Cursor cursor(lines_[next_++], ids_);
            Statement(cursor);
        }
    }

private:
    void Statement(Cursor& cursor) {
        const std::string keyword = cursor.Word("a statement");
        if (keyword == "strings")
            return StringsBlock(cursor);
        if (keyword == "dialog")
            return DialogBlock(cursor);
        if (keyword == "addon-id")
            return AddOnIdLine(cursor);
        if (keyword == "icon")
            return IconLine(cursor);
        if (keyword == "module-icon")
            return ModuleIconBlock(cursor);
        if (keyword == "manifest")
            return ManifestLine(cursor);
        throw SourceError(cursor.Pos(), "unknown statement '" + keyword +
                                            "' (expected strings, dialog, addon-id, icon, module-icon "
                                            "or manifest)");
    }

    // The lines of a block up to its "end" line, which is consumed.
    std::vector<const Line*> Block(const SourcePos& start) {
        std::vector<const Line*> body;
        while (next_ < lines_.size()) {
            const Line& line = lines_[next_++];
            if (line.tokens.size() == 1 && line.tokens[0].kind == TokenKind::Word &&
                line.tokens[0].text == "end")
                return body;
            body.push_back(&line);
        }
        throw SourceError(start, "block without 'end'");
    }

    void StringsBlock(Cursor& header) {
        StringList list;
        list.pos = header.Pos();
        list.id = header.Id("string list id");
        header.ExpectEnd();
        for (const Line* line : Block(list.pos)) {
            Cursor cursor(*line, ids_);
            list.strings.push_back(cursor.Text("string", kMaxTextLength));
            cursor.ExpectEnd();
        }
        if (list.strings.empty())
            throw SourceError(list.pos, "string list without strings");
        set_->stringLists.push_back(list);
    }

    void DialogBlock(Cursor& header) {
        Dialog dialog;
        dialog.pos = header.Pos();
        dialog.id = header.Id("dialog id");
        header.ExpectEnd();
        bool hasTitle = false, hasKind = false, hasWindow = false, hasAnchor = false;
        for (const Line* line : Block(dialog.pos)) {
            Cursor cursor(*line, ids_);
            const std::string keyword = cursor.Word("a dialog line");
            if (keyword == "title") {
                dialog.title = cursor.Text("title", kMaxTextLength);
                hasTitle = true;
            } else if (keyword == "kind") {
                DialogKind(cursor, &dialog);
                hasKind = true;
            } else if (keyword == "window") {
                dialog.window = ReadRect(cursor);
                hasWindow = true;
            } else if (keyword == "anchor") {
                dialog.anchor = cursor.Text("anchor", kMaxAnchorLength);
                hasAnchor = true;
            } else if (keyword == "item") {
                dialog.items.push_back(ItemLine(cursor, static_cast<int>(dialog.items.size()) + 1));
            } else {
                throw SourceError(cursor.Pos(), "unknown dialog line '" + keyword +
                                                    "' (expected title, kind, window, anchor or item)");
            }
            cursor.ExpectEnd();
        }
        if (!hasTitle || !hasKind || !hasWindow || !hasAnchor)
            throw SourceError(dialog.pos, "dialog needs a title, kind, window and anchor line");
        if (dialog.items.empty())
            throw SourceError(dialog.pos, "dialog without items");
        set_->dialogs.push_back(dialog);
    }

    static void DialogKind(Cursor& cursor, Dialog* dialog) {
        if (cursor.PeekWord("modal")) {
            cursor.Word("kind");
            dialog->kind = 4;
            dialog->secondField = 0;
        } else if (cursor.PeekWord("palette")) {
            cursor.Word("kind");
            dialog->kind = 16;
            dialog->secondField = 5;
        } else {
            dialog->kind = static_cast<std::uint16_t>(cursor.Number("kind", 0, 0xFFFF));
            dialog->secondField = static_cast<std::uint16_t>(cursor.Number("second field", 0, 0xFFFF));
        }
    }

    static Rect ReadRect(Cursor& cursor) {
        Rect rect;
        rect.x = static_cast<int>(cursor.Number("x", -32768, 32767));
        rect.y = static_cast<int>(cursor.Number("y", -32768, 32767));
        rect.width = static_cast<int>(cursor.Number("width", 0, 32767));
        rect.height = static_cast<int>(cursor.Number("height", 0, 32767));
        return rect;
    }

    DialogItem ItemLine(Cursor& cursor, int expectedNumber) {
        DialogItem item;
        item.pos = cursor.Pos();
        item.number = static_cast<int>(cursor.Number("item number", 1, 0xFFFF));
        if (item.number != expectedNumber)
            throw SourceError(item.pos, "item " + std::to_string(item.number) + " where item " +
                                            std::to_string(expectedNumber) +
                                            " comes next (items are numbered "
                                            "1, 2, 3 ... in order)");
        ItemType(cursor, &item);
        item.rect = ReadRect(cursor);
        bool hasText = false, hasIcon = false;
        while (!cursor.AtEnd()) {
            const std::string key = cursor.Word("text, icon, style or anchor");
            if (key == "text") {
                item.text = cursor.Text("item text", kMaxTextLength);
                hasText = true;
            } else if (key == "icon") {
                item.iconId = cursor.Id("icon id");
                hasIcon = true;
            } else if (key == "style") {
                item.style = static_cast<std::uint16_t>(cursor.Number("style", 0, 0xFFFF));
            } else if (key == "anchor") {
                item.anchor = cursor.Text("anchor", kMaxAnchorLength);
                item.hasAnchor = true;
            } else {
                throw SourceError(item.pos,
                                  "unknown item field '" + key + "' (expected text, icon, style or anchor)");
            }
        }
        const bool wantsText = item.kind == ItemKind::Button || item.kind == ItemKind::Text;
        const bool wantsIcon = item.kind == ItemKind::IconButton;
        if (hasText != wantsText)
            throw SourceError(item.pos,
                              wantsText ? "this item needs a text" : "this item type takes no text");
        if (hasIcon != wantsIcon)
            throw SourceError(item.pos,
                              wantsIcon ? "an icon button needs an icon" : "this item type takes no icon");
        return item;
    }

    static void ItemType(Cursor& cursor, DialogItem* item) {
        const std::string type = cursor.Word("item type");
        if (type == "button") {
            item->kind = ItemKind::Button;
            item->type = 1;
            item->style = 7;
        } else if (type == "iconbutton") {
            item->kind = ItemKind::IconButton;
            item->type = 1;
            item->style = 2;
        } else if (type == "text") {
            item->kind = ItemKind::Text;
            item->type = 13;
            item->style = 0;
        } else if (type == "separator") {
            item->kind = ItemKind::Separator;
            item->type = 15;
            item->style = 0;
        } else {
            throw SourceError(cursor.Pos(), "unknown item type '" + type +
                                                "' (expected button, iconbutton, text or separator)");
        }
    }

    void AddOnIdLine(Cursor& cursor) {
        AddOnId value;
        value.pos = cursor.Pos();
        value.id = cursor.Id("add-on identifier id");
        value.first = static_cast<std::uint32_t>(cursor.Number("first identifier", 0, 0xFFFFFFFFL));
        value.second = static_cast<std::uint32_t>(cursor.Number("second identifier", 0, 0xFFFFFFFFL));
        cursor.ExpectEnd();
        set_->addOnIds.push_back(value);
    }

    void IconLine(Cursor& cursor) {
        Icon icon;
        icon.pos = cursor.Pos();
        icon.id = cursor.Id("icon id");
        if (cursor.Number("scale 96", 96, 96) != 96)
            throw SourceError(icon.pos, "expected 96");
        icon.png96 = ResolvePath(path_, cursor.Text("file of the 96 image", 4096));
        if (cursor.Number("scale 192", 192, 192) != 192)
            throw SourceError(icon.pos, "expected 192");
        icon.png192 = ResolvePath(path_, cursor.Text("file of the 192 image", 4096));
        cursor.ExpectEnd();
        set_->icons.push_back(icon);
    }

    void ModuleIconBlock(Cursor& header) {
        ModuleIcon icon;
        icon.pos = header.Pos();
        icon.id = header.Id("icon id");
        header.ExpectEnd();
        for (const Line* line : Block(icon.pos)) {
            Cursor cursor(*line, ids_);
            icon.files.push_back(ResolvePath(path_, cursor.Text("image file", 4096)));
            cursor.ExpectEnd();
        }
        if (icon.files.empty())
            throw SourceError(icon.pos, "module icon without images");
        set_->moduleIcons.push_back(icon);
    }

    void ManifestLine(Cursor& cursor) {
        Manifest manifest;
        manifest.pos = cursor.Pos();
        manifest.id = cursor.Id("manifest id");
        manifest.file = ResolvePath(path_, cursor.Text("manifest file", 4096));
        cursor.ExpectEnd();
        set_->manifests.push_back(manifest);
    }

    std::string path_;
    const IdTable& ids_;
    std::vector<Line> lines_;
    std::size_t next_ = 0;
    ResourceSet* set_;
};

}  // namespace

void ReadIdHeader(const std::string& path, IdTable* ids) {
    const std::vector<std::string> lines = ReadLines(path, SourcePos{path, 0});
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const SourcePos pos{path, static_cast<int>(i) + 1};
        std::istringstream in(lines[i]);
        std::string directive, name, value;
        in >> directive;
        if (directive != "#define")
            continue;
        in >> name >> value;
        long number = 0;
        if (name.empty() || !ParseNumber(value, &number))
            throw SourceError(pos, "#define '" + name + "' is not an id (expected: #define NAME NUMBER)");
        if (!ids->emplace(name, number).second)
            throw SourceError(pos, "id '" + name + "' defined twice");
    }
}

void ParseSource(const std::string& path, const IdTable& ids, const Substitutions& substitutions,
                 ResourceSet* set) {
    SourceParser(path, ids, substitutions, set).Run();
}

}  // namespace Rescomp
