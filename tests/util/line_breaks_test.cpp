// Line breaks: CR LF, LF and a lone CR each end one line.
#include "util/line_breaks.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace quillet {
namespace {

using Lines = std::vector<std::string_view>;

TEST(LineBreaks, SplitsOnEachKindAndTheirMixture) {
  EXPECT_EQ(SplitLines("a\nb\n"), (Lines{"a", "b"}));
  EXPECT_EQ(SplitLines("a\r\nb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(SplitLines("a\rb\r"), (Lines{"a", "b"}));
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\n\rb"), (Lines{"a", "", "b"}));  // LF then CR: two breaks
  EXPECT_EQ(SplitLines("\r\r\n\n"), (Lines{"", "", ""}));
  EXPECT_EQ(SplitLines(""), Lines{});
  EXPECT_EQ(SplitLines("x"), (Lines{"x"}));
  EXPECT_EQ(SplitLines("x\r"), (Lines{"x"}));  // a CR as the last byte
}

TEST(LineBreaks, CountsBreaksAsSplitLinesNumbersThem) {
  EXPECT_EQ(CountLineBreaks("a\r\nb\rc\nd"), 3u);
  EXPECT_EQ(CountLineBreaks("\n\r"), 2u);
  EXPECT_EQ(CountLineBreaks("\r\n"), 1u);
  EXPECT_EQ(CountLineBreaks("\r"), 1u);
  EXPECT_EQ(CountLineBreaks(""), 0u);
  EXPECT_EQ(LineBreakAt("a\r\n", 1), 2u);
  EXPECT_EQ(LineBreakAt("a\r\n", 2), 1u);
  EXPECT_EQ(LineBreakAt("a\r\n", 3), 0u);  // past the end
  EXPECT_EQ(LineBreakAt("a\r\n", 0), 0u);
}

}  // namespace
}  // namespace quillet
