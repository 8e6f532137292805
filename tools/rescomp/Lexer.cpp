// The GRC tokenizer (see Lexer.hpp).
#include "Lexer.hpp"

#include <cctype>

namespace Rescomp {

namespace {

int HexDigit(char c) {
    if (std::isdigit(static_cast<unsigned char>(c)))
        return c - '0';
    if (std::isxdigit(static_cast<unsigned char>(c)))
        return std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
    return -1;
}

// Reads the text that starts at text[*at] == '"'; leaves *at after the closing quote.
std::string ReadText(const std::string& text, std::size_t* at, const SourcePos& pos) {
    std::string value;
    std::size_t i = *at + 1;
    for (; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] != '\\') {
            value += text[i];
            continue;
        }
        if (++i >= text.size())
            break;
        const char c = text[i];
        if (c == '"' || c == '\\' || c == '\'') {
            value += c;
        } else if (c == 't') {
            value += '\t';
        } else if (c == 'n') {
            value += '\n';
        } else if (c == 'x' && i + 1 < text.size() && HexDigit(text[i + 1]) >= 0) {
            int byte = 0;
            for (int digits = 0; digits < 2 && i + 1 < text.size() && HexDigit(text[i + 1]) >= 0; ++digits)
                byte = byte * 16 + HexDigit(text[++i]);
            value += static_cast<char>(byte);
        } else if (c >= '0' && c <= '7') {
            int byte = c - '0';
            for (int digits = 1;
                 digits < 3 && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '7'; ++digits)
                byte = byte * 8 + (text[++i] - '0');
            value += static_cast<char>(byte & 0xFF);
        } else {
            throw SourceError(pos, std::string("Unrecognized character escape sequence \\") + c +
                                       " (expected \\\", \\\\, \\t, \\n, \\xHH or an octal \\ooo)");
        }
    }
    if (i >= text.size())
        throw SourceError(pos, "Illegal string: the text has no closing \"");
    *at = i + 1;
    return value;
}

bool IsPunctuation(char c) {
    return c == '{' || c == '}' || c == '|' || c == '+' || c == '"' || c == '\'';
}

void TokenizeLine(const LogicalLine& line, std::size_t index, std::vector<Token>* tokens) {
    const std::string& text = line.text;
    const std::size_t first = tokens->size();
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        Token token{TokenKind::Word, "", line.pos, index};
        if (c == '"') {
            token.kind = TokenKind::Text;
            token.text = ReadText(text, &i, line.pos);
            // "a" "b" and "a" + "b" on one line are one text.
            const std::size_t count = tokens->size() - first;
            if (count >= 1 && tokens->back().kind == TokenKind::Text) {
                tokens->back().text += token.text;
                ++tokens->back().pieces;
                continue;
            }
            if (count >= 2 && tokens->back().kind == TokenKind::Word && tokens->back().text == "+" &&
                (*tokens)[tokens->size() - 2].kind == TokenKind::Text) {
                tokens->pop_back();
                tokens->back().text += token.text;
                ++tokens->back().pieces;
                continue;
            }
        } else if (c == '\'') {
            const std::size_t close = text.find('\'', i + 1);
            const std::string type =
                text.substr(i, close == std::string::npos ? std::string::npos : close - i + 1);
            if (close == std::string::npos || close - i - 1 != 4)
                throw SourceError(line.pos,
                                  "Illegal resource type: " + type +
                                      " (expected four characters in single quotes, such as 'STR#')");
            token.kind = TokenKind::Type;
            token.text = text.substr(i + 1, 4);
            i = close + 1;
        } else if (c == '{' || c == '}' || c == '|' || c == '+') {
            token.kind = c == '{'   ? TokenKind::OpenBrace
                         : c == '}' ? TokenKind::CloseBrace
                         : c == '|' ? TokenKind::Bar
                                    : TokenKind::Word;
            token.text = std::string(1, c);
            ++i;
        } else {
            std::size_t end = i;
            while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])) &&
                   !IsPunctuation(text[end]))
                ++end;
            token.text = text.substr(i, end - i);
            i = end;
        }
        tokens->push_back(token);
    }
}

}  // namespace

std::vector<Token> Tokenize(const std::vector<LogicalLine>& lines) {
    std::vector<Token> tokens;
    for (std::size_t i = 0; i < lines.size(); ++i) TokenizeLine(lines[i], i, &tokens);
    return tokens;
}

}  // namespace Rescomp
