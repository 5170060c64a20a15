// ASCII case folding touches a-z only: host text bytes above 0x7F and the
// characters next to the letters stay as they are.
#include <gtest/gtest.h>

#include "util/ascii.h"

namespace quillet {
namespace {

TEST(Ascii, UpperFoldsOnlyLowercaseAsciiLetters) {
  EXPECT_EQ(AsciiUpper("az{`@[Z09_"), "AZ{`@[Z09_");
  EXPECT_EQ(AsciiUpper("caf\xC3\xA9"), "CAF\xC3\xA9");
  EXPECT_EQ(AsciiUpper(""), "");
}

TEST(Ascii, EqualNoCaseNeedsTheSameLength) {
  EXPECT_TRUE(AsciiEqualNoCase("KVXFunctionTimer", "kvxfunctiontimer"));
  EXPECT_FALSE(AsciiEqualNoCase("Timer", "Timers"));
  EXPECT_FALSE(AsciiEqualNoCase("caf\xC3\xA9", "CAF\xC3\x89"));  // not ASCII letters
  EXPECT_FALSE(AsciiEqualNoCase("[", "{"));                      // 0x5B and 0x7B differ by 0x20
}

}  // namespace
}  // namespace quillet
