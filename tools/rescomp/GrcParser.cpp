// The GRC reader (see GrcParser.hpp). Every resource is a header on one line ('TYPE' id and its fields),
// "{", one entry per line, "}".
#include "GrcParser.hpp"

#include <filesystem>
#include <map>

namespace Rescomp {

namespace {

using TokenLine = std::vector<const Token*>;

const std::map<std::string, std::uint16_t>& Fonts() {
    static const std::map<std::string, std::uint16_t> fonts = [] {
        std::map<std::string, std::uint16_t> table{{"ExtraSmall", 8}};
        const std::pair<const char*, std::uint16_t> sizes[] = {{"Large", 0}, {"Small", 4}};
        const std::pair<const char*, std::uint16_t> styles[] = {{"Plain", 0},     {"Bold", 0x10},
                                                                {"Italic", 0x20}, {"Underline", 0x30},
                                                                {"Shadow", 0x40}, {"Outline", 0x50}};
        for (const auto& size : sizes)
            for (const auto& style : styles)
                table[std::string(size.first) + style.first] =
                    static_cast<std::uint16_t>(size.second | style.second);
        return table;
    }();
    return fonts;
}

const std::map<std::string, std::uint16_t>& DialogStyles() {
    static const std::map<std::string, std::uint16_t> styles{
        {"noGrow", 0},     {"hGrow", 1},       {"vGrow", 2},        {"grow", 3},       {"noClose", 0},
        {"close", 4},      {"minimize", 8},    {"maximize", 16},    {"topCaption", 0}, {"leftCaption", 32},
        {"noCaption", 64}, {"normalFrame", 0}, {"thickFrame", 128}, {"noFrame", 256}};
    return styles;
}

std::string Shown(const Token& token) {
    switch (token.kind) {
        case TokenKind::Text:
            return "\"" + token.text + "\"";
        case TokenKind::Type:
            return "'" + token.text + "'";
        default:
            return token.text;
    }
}

bool IsDecimal(const std::string& text) {
    return !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos;
}

// Walks the tokens of one line of a resource; running out of tokens is "An item is missing: <what>".
class Cursor {
public:
    Cursor(const TokenLine& tokens, const SourcePos& pos) : tokens_(tokens), pos_(pos) {}

    bool AtEnd() const { return next_ >= tokens_.size(); }
    const SourcePos& Pos() const { return pos_; }
    const Token* Peek() const { return AtEnd() ? nullptr : tokens_[next_]; }
    bool PeekWord(const std::map<std::string, std::uint16_t>& words) const {
        return !AtEnd() && Peek()->kind == TokenKind::Word && words.count(Peek()->text) != 0;
    }

    const Token& Take(const std::string& what) {
        if (AtEnd())
            throw SourceError(pos_, "An item is missing: " + what);
        return *tokens_[next_++];
    }

    long Decimal(const std::string& what, long min, long max) {
        const Token& token = Take(what);
        if (token.kind != TokenKind::Word || !IsDecimal(token.text))
            throw SourceError(token.pos, "Illegal decimal integer value or undefined constant: " +
                                             Shown(token) + " (expected " + what + ", a decimal number)");
        const long value = std::stol(token.text);
        if (value < min || value > max)
            throw SourceError(token.pos, what + " " + token.text + " is outside " + std::to_string(min) +
                                             ".." + std::to_string(max));
        return value;
    }

    // A rectangle coordinate: a decimal from 0 to 32767.
    int UnsignedShort(const std::string& what) {
        const Token* token = Peek();
        if (token != nullptr && token->kind == TokenKind::Word && token->text.size() > 1 &&
            token->text[0] == '-' && IsDecimal(token->text.substr(1)))
            throw SourceError(token->pos,
                              "Unsigned short value is expected: " + token->text + " (" + what + ")");
        return static_cast<int>(Decimal(what, 0, 32767));
    }

    Rect ReadRect() {
        Rect rect;
        rect.x = UnsignedShort("x");
        rect.y = UnsignedShort("y");
        rect.width = UnsignedShort("width");
        rect.height = UnsignedShort("height");
        return rect;
    }

    std::string Text(const std::string& what, std::size_t maxLength) {
        const Token* token = Peek();
        if (token == nullptr || token->kind != TokenKind::Text)
            throw SourceError(token == nullptr ? pos_ : token->pos,
                              "String is missing: " + what + " in double quotes" +
                                  (token == nullptr ? std::string() : ", found " + Shown(*token)));
        ++next_;
        if (token->text.find('\0') != std::string::npos)
            throw SourceError(token->pos, what + " holds a NUL character");
        if (token->text.size() > maxLength)
            throw SourceError(token->pos, what + " is " + std::to_string(token->text.size()) +
                                              " bytes long; at most " + std::to_string(maxLength) +
                                              " fit: \"" + token->text.substr(0, 40) + "...\"");
        return token->text;
    }

    // The text of a resource header (a description, a dialog's title). ResConv joins literals side by
    // side in the body's texts but not in a header, where it stops at the second one.
    std::string HeaderText(const std::string& what) {
        const Token* token = Peek();
        if (token != nullptr && token->kind == TokenKind::Text && token->pieces > 1)
            throw SourceError(token->pos, "{ is expected after " + what + ": " + Shown(*token) +
                                              " is written as " + std::to_string(token->pieces) +
                                              " texts side by side (expected one text in a header)");
        return Text(what, kMaxTextLength);
    }

    // A bare name: a help anchor.
    std::string Name(const std::string& what) {
        const Token& token = Take(what);
        if (token.kind != TokenKind::Word || token.text.size() > kMaxAnchorLength)
            throw SourceError(token.pos, "Illegal " + what + ": " + Shown(token) +
                                             " (expected a bare name of at most " +
                                             std::to_string(kMaxAnchorLength) + " characters)");
        return token.text;
    }

    std::uint16_t Word(const std::map<std::string, std::uint16_t>& words, const std::string& what) {
        const Token& token = Take(what);
        const auto found = token.kind == TokenKind::Word ? words.find(token.text) : words.end();
        if (found == words.end())
            throw SourceError(token.pos,
                              "Illegal " + what + ": " + Shown(token) + " (expected " + List(words) + ")");
        return found->second;
    }

    void ExpectEnd() const {
        if (!AtEnd())
            throw SourceError(Peek()->pos, "Extra character on line: " + Shown(*Peek()));
    }

    static std::string List(const std::map<std::string, std::uint16_t>& words) {
        std::string list;
        for (const auto& word : words) list += (list.empty() ? "" : ", ") + word.first;
        return list;
    }

private:
    const TokenLine& tokens_;
    SourcePos pos_;
    std::size_t next_ = 0;
};

struct ItemKindInfo {
    std::uint16_t type;
    std::uint16_t style;
};

const std::map<std::string, ItemKindInfo>& ItemKinds() {
    static const std::map<std::string, ItemKindInfo> kinds{
        {"Button", {1, 7}},          {"IconButton", {1, 2}},     {"LeftText", {13, 0}},
        {"CenterText", {13, 0x100}}, {"RightText", {13, 0x200}}, {"CheckBox", {2, 1}},
        {"Separator", {15, 0}}};
    return kinds;
}

class GrcParser {
public:
    GrcParser(const std::vector<Token>& tokens, const std::vector<std::string>& imageFolders,
              const std::string& sourceFolder, ResourceSet* set)
        : tokens_(tokens), imageFolders_(imageFolders), set_(set) {
        imageFolders_.push_back(sourceFolder);
    }

    void Run() {
        while (next_ < tokens_.size()) {
            const Token& type = tokens_[next_++];
            if (type.kind != TokenKind::Type)
                throw SourceError(type.pos,
                                  "a resource is expected ('STR#', 'GDLG', 'DLGH', 'MDID' or 'GICN', "
                                  "then its id), found " +
                                      Shown(type));
            if (type.text == "STR#")
                StringList(type);
            else if (type.text == "GDLG")
                Dialog(type);
            else if (type.text == "DLGH")
                HelpAnchors(type);
            else if (type.text == "MDID")
                AddOnId(type);
            else if (type.text == "GICN")
                Icon(type);
            else
                throw SourceError(type.pos, "Illegal resource type: '" + type.text +
                                                "' (expected 'STR#', 'GDLG', 'DLGH', 'MDID' or 'GICN')");
        }
    }

private:
    // The header's tokens after the type, up to the "{" that opens the body (on this line or the next).
    TokenLine Header(const Token& type) {
        TokenLine header;
        while (next_ < tokens_.size() && tokens_[next_].line == type.line &&
               tokens_[next_].kind != TokenKind::OpenBrace)
            header.push_back(&tokens_[next_++]);
        return header;
    }

    // The body's lines up to and including the closing "}".
    std::vector<TokenLine> Body(const Token& type) {
        if (next_ >= tokens_.size() || tokens_[next_].kind != TokenKind::OpenBrace)
            throw SourceError(
                next_ < tokens_.size() ? tokens_[next_].pos : type.pos,
                "{ is expected after the '" + type.text + "' header" +
                    (next_ < tokens_.size() ? ", found " + Shown(tokens_[next_]) : std::string()));
        ++next_;
        std::vector<TokenLine> lines;
        while (next_ < tokens_.size()) {
            const Token& token = tokens_[next_++];
            if (token.kind == TokenKind::CloseBrace)
                return lines;
            if (token.kind == TokenKind::Type)
                throw SourceError(token.pos, "} is expected before " + Shown(token) + ": the '" + type.text +
                                                 "' begun at line " + std::to_string(type.pos.line) +
                                                 " is not closed");
            if (lines.empty() || lines.back().back()->line != token.line)
                lines.emplace_back();
            lines.back().push_back(&token);
        }
        throw SourceError(type.pos, "} is expected: the '" + type.text +
                                        "' begun here is not closed by the end of the file");
    }

    static int ResourceId(Cursor& header) {
        return static_cast<int>(header.Decimal("the resource id", 1, 32767));
    }

    // The resource with its place and id from the header "'TYPE' <id> <fields>", which `fields(cursor,
    // &resource)` reads.
    template <class Resource, class Fields>
    Resource ReadHeader(const Token& type, Fields fields) {
        const TokenLine header = Header(type);
        Cursor cursor(header, type.pos);
        Resource resource;
        resource.pos = type.pos;
        resource.id = ResourceId(cursor);
        fields(cursor, &resource);
        cursor.ExpectEnd();
        return resource;
    }

    // The header "'TYPE' <id> "description"" of 'STR#', 'MDID' and 'GICN'; the description is not part of
    // the resource.
    template <class Resource>
    Resource DescribedHeader(const Token& type) {
        return ReadHeader<Resource>(type,
                                    [](Cursor& cursor, Resource*) { cursor.HeaderText("the description"); });
    }

    void StringList(const Token& type) {
        Rescomp::StringList list = DescribedHeader<Rescomp::StringList>(type);
        for (const TokenLine& line : Body(type)) {
            Cursor entry(line, line.front()->pos);
            list.strings.push_back(entry.Text("the string", kMaxTextLength));
            list.stringPos.push_back(entry.Pos());
            const Token* extra = entry.Peek();
            if (extra != nullptr && extra->kind == TokenKind::Word)
                throw SourceError(extra->pos, "Extra character on line: " + extra->text +
                                                  " (expected one text; a name between texts is a macro that "
                                                  "no #define or -D gave)");
            entry.ExpectEnd();
        }
        set_->stringLists.push_back(list);
    }

    void Dialog(const Token& type) {
        Rescomp::Dialog dialog =
            ReadHeader<Rescomp::Dialog>(type, [](Cursor& cursor, Rescomp::Dialog* header) {
                DialogKindAndStyles(cursor, header);
                header->window = cursor.ReadRect();
                header->title = cursor.HeaderText("the title");
            });
        for (const TokenLine& line : Body(type)) dialog.items.push_back(Item(line));
        set_->dialogs.push_back(dialog);
    }

    static void DialogKindAndStyles(Cursor& cursor, Rescomp::Dialog* dialog) {
        static const std::map<std::string, std::uint16_t> kinds{
            {"Modal", 4}, {"Modeless", 8}, {"Palette", 16}};
        const Token* kind = cursor.Peek();
        if (kind != nullptr && (kind->text == "TabPage" || kind->text == "Alert"))
            throw SourceError(
                kind->pos, kind->text + " dialogs are not supported (expected Modal, Modeless or Palette)");
        dialog->kind = cursor.Word(kinds, "dialog type");
        while (!cursor.AtEnd() && cursor.Peek()->kind == TokenKind::Bar) {
            cursor.Take("|");
            const Token* word = cursor.Peek();
            const std::uint16_t style = cursor.Word(DialogStyles(), "dialog style after |");
            static const char* const notModal[] = {"close", "noClose", "topCaption", "leftCaption"};
            for (const char* illegal : notModal) {
                if (dialog->kind == 4 && word->text == illegal)
                    throw SourceError(word->pos,
                                      "Illegal combination of styles: Modal | " + word->text +
                                          " (a Modal dialog takes the grow words, noCaption and the "
                                          "frame words)");
            }
            dialog->flags = static_cast<std::uint16_t>(dialog->flags | style);
        }
    }

    static std::string FontWords() { return Cursor::List(Fonts()); }

    DialogItem Item(const TokenLine& line) {
        Cursor cursor(line, line.front()->pos);
        DialogItem item;
        item.pos = cursor.Pos();
        const Token& kindToken = cursor.Take("the item kind");
        const auto kind =
            kindToken.kind == TokenKind::Word ? ItemKinds().find(kindToken.text) : ItemKinds().end();
        if (kind == ItemKinds().end())
            throw SourceError(kindToken.pos,
                              "Can't recognize item " + Shown(kindToken) +
                                  " (expected Button, IconButton, LeftText, CenterText, RightText, "
                                  "CheckBox or Separator)");
        const std::string& name = kind->first;
        item.type = kind->second.type;
        item.style = kind->second.style;
        item.rect = cursor.ReadRect();
        static const std::map<std::string, std::uint16_t> buttonFrames{{"frame", 0}, {"noFrame", 0x10}};
        static const std::map<std::string, std::uint16_t> textStyles{
            {"vTop", 0},    {"vCenter", 0x400},   {"vBottom", 0x800},
            {"noTrunc", 0}, {"truncEnd", 0x1000}, {"truncMiddle", 0x2000}};
        static const std::map<std::string, std::uint16_t> textFrames{
            {"StaticEdge", 1}, {"ClientEdge", 2}, {"ModalFrame", 3}};
        if (name == "Separator") {
            item.style = item.rect.height > item.rect.width ? 1 : 0;
        } else if (name == "IconButton") {
            if (cursor.PeekWord(Fonts()))
                throw SourceError(cursor.Peek()->pos,
                                  "Can't recognize item IconButton with a font word (IconButton "
                                  "takes x y width height, the icon id, then noFrame or nothing)");
            const long icon = cursor.Decimal("the icon id", 0, 65535);
            const std::uint16_t frame =
                cursor.PeekWord(buttonFrames) ? cursor.Word(buttonFrames, "frame") : 0;
            item.tail = {frame, static_cast<std::uint16_t>(icon)};
            item.iconId = static_cast<int>(icon);
        } else {
            const std::uint16_t font = Font(cursor, name);
            if (name == "Button") {
                const std::uint16_t frame =
                    cursor.PeekWord(buttonFrames) ? cursor.Word(buttonFrames, "frame") : 0;
                item.tail = {font, frame};
            } else if (name == "CheckBox") {
                item.tail = {font};
            } else {
                if (cursor.PeekWord(textStyles))
                    item.style =
                        static_cast<std::uint16_t>(item.style | cursor.Word(textStyles, "text style"));
                const std::uint16_t frame =
                    cursor.PeekWord(textFrames) ? cursor.Word(textFrames, "frame") : 0;
                item.tail = {frame, font};
            }
            item.hasText = true;
            item.text = cursor.Text("the text of the " + name, kMaxTextLength);
        }
        const Token* extra = cursor.Peek();
        if (extra != nullptr)
            throw SourceError(
                extra->pos, "Can't recognize item " + name + ": " + Shown(*extra) + " is not expected here");
        return item;
    }

    static std::uint16_t Font(Cursor& cursor, const std::string& itemName) {
        const Token* token = cursor.Peek();
        if (token == nullptr || token->kind != TokenKind::Word)
            throw SourceError(token == nullptr ? cursor.Pos() : token->pos,
                              "An item is missing: " + itemName + " needs a font word before its text (" +
                                  FontWords() + ")");
        return cursor.Word(Fonts(), "font");
    }

    void HelpAnchors(const Token& type) {
        Rescomp::HelpAnchors anchors =
            ReadHeader<Rescomp::HelpAnchors>(type, [](Cursor& cursor, Rescomp::HelpAnchors* header) {
                header->anchor = cursor.Name("dialog anchor");
            });
        for (const TokenLine& line : Body(type)) {
            Cursor entry(line, line.front()->pos);
            HelpAnchorEntry value;
            value.item = static_cast<int>(entry.Decimal("the item number", 1, 65535));
            value.tooltip = entry.Text("the tooltip", kMaxTextLength);
            value.anchor = entry.Name("item anchor");
            entry.ExpectEnd();
            anchors.entries.push_back(value);
        }
        set_->helpAnchors.push_back(anchors);
    }

    static std::uint32_t IdentifierValue(Cursor& cursor) {
        const Token& token = cursor.Take("an identifier value");
        const std::string& text = token.text;
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
                         text.size() <= 10 &&
                         text.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
        if (token.kind == TokenKind::Word && hex)
            return static_cast<std::uint32_t>(std::stoul(text.substr(2), nullptr, 16));
        if (token.kind == TokenKind::Word && text.size() <= 10 && IsDecimal(text.substr(0, 9)) &&
            text.find_first_not_of("0123456789") == std::string::npos && std::stoull(text) <= 0xFFFFFFFFull)
            return static_cast<std::uint32_t>(std::stoull(text));
        throw SourceError(token.pos, "Illegal integer value or undefined constant: " + Shown(token) +
                                         " (expected a 32-bit value, decimal or 0x hex)");
    }

    void AddOnId(const Token& type) {
        Rescomp::AddOnId value = DescribedHeader<Rescomp::AddOnId>(type);
        std::vector<std::uint32_t> values;
        for (const TokenLine& line : Body(type)) {
            Cursor entry(line, line.front()->pos);
            if (values.size() == 2)
                throw SourceError(entry.Pos(), "Extra character on line: an 'MDID' holds two values");
            values.push_back(IdentifierValue(entry));
            entry.ExpectEnd();
        }
        if (values.size() != 2)
            throw SourceError(type.pos, "An item is missing: an 'MDID' holds two values, one per line");
        value.first = values[0];
        value.second = values[1];
        set_->addOnIds.push_back(value);
    }

    std::string FindImage(const std::string& file) const {
        for (const std::string& folder : imageFolders_) {
            const std::filesystem::path candidate = std::filesystem::path(folder) / file;
            if (std::filesystem::is_regular_file(candidate))
                return candidate.string();
        }
        return "";
    }

    void Icon(const Token& type) {
        Rescomp::Icon icon = DescribedHeader<Rescomp::Icon>(type);
        const std::vector<TokenLine> body = Body(type);
        if (body.size() != 1)
            throw SourceError(type.pos, "a 'GICN' holds one image name in double quotes");
        Cursor entry(body.front(), body.front().front()->pos);
        icon.imageName = entry.Text("the image name", kMaxAnchorLength);
        entry.ExpectEnd();
        icon.png96 = FindImage(icon.imageName + ".png");
        icon.png192 = FindImage(icon.imageName + "@2x.png");
        if (icon.png96.empty()) {
            std::string folders;
            for (const std::string& folder : imageFolders_) folders += (folders.empty() ? "" : ", ") + folder;
            throw SourceError(entry.Pos(), "cannot find the image of icon " + icon.imageName + ": no " +
                                               icon.imageName + ".png in " + folders);
        }
        set_->icons.push_back(icon);
    }

    const std::vector<Token>& tokens_;
    std::vector<std::string> imageFolders_;
    ResourceSet* set_;
    std::size_t next_ = 0;
};

}  // namespace

void ParseGrc(const std::vector<Token>& tokens, const std::vector<std::string>& imageFolders,
              const std::string& sourceFolder, ResourceSet* set) {
    GrcParser(tokens, imageFolders, sourceFolder, set).Run();
}

}  // namespace Rescomp
