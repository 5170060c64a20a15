// Printable ASCII is recognised exactly (no control character, nothing past
// 0x7E), and narrowing and widening it keep every character.
#include "util/ascii_text.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

TEST(AsciiText, OnlySpaceToTildeIsPrintable) {
  EXPECT_TRUE(IsPrintableAscii(u" ~CKVXTimerManager_0"));
  EXPECT_TRUE(IsPrintableAscii(u""));
  EXPECT_FALSE(IsPrintableAscii(u"tab\there"));       // 0x09
  EXPECT_FALSE(IsPrintableAscii(u"\u001F"));          // last control character
  EXPECT_FALSE(IsPrintableAscii(u"del\u007F"));       // 0x7F
  EXPECT_FALSE(IsPrintableAscii(u"caf\u00E9"));       // Latin-1
  EXPECT_FALSE(IsPrintableAscii(u"x\U0001F600"));   // surrogate pair
  EXPECT_FALSE(IsPrintableAscii(u"\u0120"));          // low byte 0x20, high byte set
  EXPECT_FALSE(IsPrintableAscii(std::u16string(1, u'\0')));

  EXPECT_TRUE(IsPrintableAscii(std::string(" ~Name")));
  EXPECT_FALSE(IsPrintableAscii(std::string("caf\xC3\xA9")));  // bytes above 0x7F
  EXPECT_FALSE(IsPrintableAscii(std::string("\x10" "A")));    // an LMBCS group byte
  EXPECT_FALSE(IsPrintableAscii(std::string("\x7F")));
}

TEST(AsciiText, NarrowAndWidenKeepEveryCharacter) {
  std::u16string all;
  for (char16_t c = 0x20; c <= 0x7E; ++c) all.push_back(c);
  const std::string narrow = NarrowAscii(all);
  ASSERT_EQ(narrow.size(), all.size());
  for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(static_cast<unsigned char>(narrow[i]), all[i]);
  EXPECT_EQ(WidenAscii(narrow), all);
  EXPECT_EQ(NarrowAscii(u""), "");
}

}  // namespace
}  // namespace quillet
