// Tokens of preprocessed GRC and .rc2 lines: resource types in single quotes, texts, words and the
// punctuation { } | +. Texts written side by side on one line (or joined by +) become one text, which
// remembers how many literals it was made of.
#pragma once

#include <string>
#include <vector>

#include "Preprocessor.hpp"

namespace Rescomp {

enum class TokenKind { Type, Text, Word, OpenBrace, CloseBrace, Bar };

struct Token {
    TokenKind kind = TokenKind::Word;
    std::string text;  // the type's four characters, the text's value (escapes resolved), the word
    SourcePos pos;
    std::size_t line = 0;    // index of the logical line it stands on
    std::size_t pieces = 1;  // a text: how many literals were joined into it
};

// Splits the lines into tokens. Escapes in texts: \" \\ \t \n \xHH and octal \ooo. Throws SourceError
// ("Illegal string", "Illegal resource type", "Unrecognized character escape sequence") naming the line.
std::vector<Token> Tokenize(const std::vector<LogicalLine>& lines);

}  // namespace Rescomp
