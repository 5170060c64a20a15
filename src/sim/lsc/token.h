// Tokens of the LotusScript subset as the lexer hands them to the parser.
#pragma once

#include <cstdint>
#include <string>

namespace quillet::lsc {

enum class Tok {
  kEnd,        // end of the source
  kNewline,    // end of a logical line
  kIdent,      // a name or a keyword (the parser tells them apart)
  kNumber,     // numeric literal, value in `number` (or `real`)
  kString,     // string literal, text without quotes in `text`
  kColon, kComma, kSemicolon, kDot, kLParen, kRParen, kHash,
  kPlus, kMinus, kStar, kSlash, kBackslash, kCaret, kAmp,
  kEq, kNe, kLt, kLe, kGt, kGe,
};

struct Token {
  Tok kind = Tok::kEnd;
  std::string text;   // as written (string literals: their contents)
  std::string upper;  // upper-case spelling of names, for keyword tests
  int64_t number = 0;
  bool isReal = false;  // kNumber written with a fraction, exponent or suffix
  double real = 0;      // its value when isReal
  char suffix = 0;      // type suffix of a name or number (% & ! # @ $)
  int line = 0;
  int column = 0;
};

}  // namespace quillet::lsc
