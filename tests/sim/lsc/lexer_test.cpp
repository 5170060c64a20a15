// Lexer: the line of every token under each kind of line break.
#include "sim/lsc/lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet::lsc {
namespace {

// The line of each identifier token, in order.
std::vector<int> IdentLines(const std::string& source) {
  std::vector<CompileError> errors;
  std::vector<int> lines;
  for (const Token& t : Tokenize(source, errors))
    if (t.kind == Tok::kIdent) lines.push_back(t.line);
  EXPECT_TRUE(errors.empty()) << errors.front().message;
  return lines;
}

// CR LF, LF and a lone CR each end one line, in a file of one kind or mixed;
// a line continuation, a comment and a %Rem block end theirs the same way.
TEST(LscLexer, EveryLineBreakStartsOneLine) {
  const std::vector<std::string> parts = {"a", "b ' note", "c _", "d", "%REM", "x", "%END REM", "e", "Rem f", "g"};
  const std::vector<int> expected = {1, 2, 3, 4, 8, 10};  // a, b, c, d (continued from 3), e, g
  for (const std::string br : {"\n", "\r\n", "\r"}) {
    std::string source;
    for (const std::string& p : parts) source += p + br;
    EXPECT_EQ(IdentLines(source), expected) << "break " << static_cast<int>(br.back());
  }
  // Mixed: every break still ends exactly one line; "\n\r" is two breaks.
  const std::string mixed = "a\r\nb ' note\rc _\nd\r%REM\r\nx\n%END REM\re\r\nRem f\rg";
  EXPECT_EQ(IdentLines(mixed), expected);
  EXPECT_EQ(IdentLines("a\n\rb\r\r\nc"), (std::vector<int>{1, 3, 5}));
}

// A UTF-8 byte order mark (Windows editors write one) is no character of
// the source: the first token is at line 1, column 1; elsewhere it is one.
TEST(LscLexer, ByteOrderMarkBeforeTheFirstLineIsSkipped) {
  std::vector<CompileError> errors;
  const std::vector<Token> tokens = Tokenize("\xEF\xBB\xBFSub S\r\nEnd Sub\r\n", errors);
  EXPECT_TRUE(errors.empty()) << errors.front().message;
  ASSERT_FALSE(tokens.empty());
  EXPECT_EQ(tokens[0].text, "Sub");
  EXPECT_EQ(tokens[0].column, 1);
  Tokenize("Sub S\n\xEF\xBB\xBF" "End Sub\n", errors);
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].line, 2);
  EXPECT_NE(errors[0].message.find("byte 0xEF"), std::string::npos) << errors[0].message;
}

// An error's line is the line it is on, whatever ends the lines before it.
TEST(LscLexer, ErrorsCarryTheLineUnderLoneCarriageReturns) {
  std::vector<CompileError> errors;
  Tokenize("Sub S\r  x = 1\r  y = \"open\rEnd Sub\r", errors);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].line, 3);
  EXPECT_EQ(errors[0].column, 7);
}

// Line markers hold 16-bit numbers: the compiler's line limit counts lines
// by the same rule, so lone CRs cannot slip past it.
TEST(LscLexer, LineLimitCountsEveryKindOfBreak) {
  for (const std::string br : {"\n", "\r\n", "\r"}) {
    std::string source = "Sub S" + br;
    for (int i = 0; i < 0xFFFE; ++i) source += br;
    source += "End Sub" + br;
    std::vector<uint8_t> image;
    std::vector<CompileError> errors;
    EXPECT_FALSE(CompileLotusScript(source, image, errors)) << "break " << static_cast<int>(br.back());
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors[0].message.find("more than 65534 lines"), std::string::npos) << errors[0].message;
  }
}

}  // namespace
}  // namespace quillet::lsc
