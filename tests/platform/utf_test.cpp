// Tests of the seam's UTF-8 <-> UTF-16 conversion.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace quillet::platform {
namespace {

TEST(Utf, RoundTripsAllPlanes) {
  // "A", e acute (2 bytes), euro sign (3 bytes), G clef (4 bytes, a surrogate pair)
  const std::string utf8 = "A\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E";
  const std::u16string utf16 = u"A\u00E9\u20AC\U0001D11E";
  EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
  EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
  EXPECT_EQ(Utf8ToUtf16(""), u"");
}

TEST(Utf, MalformedInputBecomesReplacementWithoutSwallowingText) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");        // invalid lead byte
  EXPECT_EQ(Utf8ToUtf16("a\xE2\x82"), u"a\uFFFD\uFFFD");   // truncated at the end
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");     // overlong '/'
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(Utf8ToUtf16("\xC3" "A"), u"\uFFFDA");          // lead without continuation
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800') + u"x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xDC00')), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace quillet::platform
