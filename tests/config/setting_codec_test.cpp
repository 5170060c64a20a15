// Tests of the stored form of setting values.
#include "config/setting_codec.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

std::string Decode(std::u16string_view stored, bool* native = nullptr) {
  bool seen = false;
  std::string value = DecodeSettingValue(stored, seen);
  if (native != nullptr) *native = seen;
  return value;
}

TEST(SettingCodec, EscapesBytesOutsideTheQuoteToDeleteRange) {
  EXPECT_EQ(EncodeSettingValue("a b"), u"a&$20;b");
  EXPECT_EQ(EncodeSettingValue("x&y"), u"x&$26;y");
  EXPECT_EQ(EncodeSettingValue("k=v;(~\x7F"), u"k=v;(~\x7F");  // 0x28..0x7F stay as they are
  EXPECT_EQ(EncodeSettingValue("k=v;'~"), u"k=v;&$27;~");    // a quote is escaped
  EXPECT_EQ(EncodeSettingValue("\xC3\xA9\n"), u"&$c3;&$a9;&$0a;");
}

TEST(SettingCodec, TheAbsenceMarkerAsAValueIsNeverStoredPlain) {
  const std::u16string stored = EncodeSettingValue("NoKey");
  EXPECT_NE(stored, kAbsentMarker);
  EXPECT_EQ(Decode(stored), "NoKey");
  EXPECT_EQ(EncodeSettingValue("NoKe"), u"NoKe");
  EXPECT_EQ(EncodeSettingValue("nokey"), u"nokey");  // the reader compares exactly
}

TEST(SettingCodec, RoundTripsEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  bool native = true;
  EXPECT_EQ(Decode(EncodeSettingValue(all), &native), all);
  EXPECT_FALSE(native);
}

TEST(SettingCodec, StopsBeforeTheLimitWithoutCuttingAnEscape) {
  std::u16string plain = EncodeSettingValue(std::string(70000, 'a'));
  EXPECT_EQ(plain.size(), kSettingValueLimit);

  // 13,106 escapes take 65,530 characters; the next would pass the limit.
  std::u16string spaces = EncodeSettingValue(std::string(20000, ' '));
  EXPECT_EQ(spaces.size(), 13106u * 5);
  EXPECT_EQ(Decode(spaces), std::string(13106, ' '));

  std::u16string mixed = EncodeSettingValue(std::string(65532, 'a') + " b");
  EXPECT_EQ(mixed.size(), 65532u);  // the escape of the space would not fit
}

TEST(SettingCodec, DecodesHashFormsAndReportsThem) {
  bool native = false;
  EXPECT_EQ(Decode(u"&#41;&#42;c", &native), "ABc");
  EXPECT_TRUE(native);
  EXPECT_EQ(Decode(u"&$41;&#9;", &native), "A\t");  // one digit is enough
  EXPECT_TRUE(native);
  EXPECT_EQ(Decode(u"&$9;x", &native), "\tx");
  EXPECT_FALSE(native);
}

TEST(SettingCodec, MalformedEscapesAreKeptCharacterByCharacter) {
  EXPECT_EQ(Decode(u"&"), "&");
  EXPECT_EQ(Decode(u"a&$"), "a&$");
  EXPECT_EQ(Decode(u"&$4"), "&$4");
  EXPECT_EQ(Decode(u"&$4x;"), "&$4x;");
  EXPECT_EQ(Decode(u"&$zz;"), "&$zz;");
  EXPECT_EQ(Decode(u"&$414;"), "&$414;");  // three digits are no escape
  EXPECT_EQ(Decode(u"&&$41;"), "&A");
  EXPECT_EQ(Decode(u"&%41;"), "&%41;");
}

TEST(SettingCodec, WideCharactersGiveTheirLowByte) {
  EXPECT_EQ(Decode(u"\u0141b"), "\x41" "b");
}

}  // namespace
}  // namespace quillet
