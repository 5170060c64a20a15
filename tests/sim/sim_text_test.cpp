// Text services of the simulated host: comparison options, upper case,
// UTF-8 <-> UTF-16 translation, status texts, network paths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_text.h"
#include "config/notes_api.h"

namespace quillet::sim {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(SimText, CompareOption0IsExactAndOption3IgnoresCase) {
  EXPECT_EQ(CompareText("ENABLE", "ENABLE", kCompareExact), 0);
  EXPECT_NE(CompareText("enable", "ENABLE", kCompareExact), 0);
  EXPECT_EQ(CompareText("enable", "ENABLE", kCompareNoCase), 0);
  EXPECT_EQ(CompareText("\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", kCompareNoCase), 0);  // été / ÉTÉ
  EXPECT_LT(CompareText("abc", "abd", kCompareExact), 0);
  EXPECT_GT(CompareText("abd", "abc", kCompareExact), 0);
  EXPECT_LT(CompareText("ab", "abc", kCompareNoCase), 0);  // a proper prefix orders first
  EXPECT_GT(CompareText("\xC3\xA9", "z", kCompareExact), 0);  // bytes compare unsigned
}

// Every text of up to three bytes over an alphabet that reaches each edge of
// the upper-casing rule: the compare ignoring case must order exactly as the
// upper-cased copies do.
TEST(SimText, CompareIgnoringCaseAgreesWithUpperText) {
  const std::string alphabet = {'a', 'A', '{', '\xC3', '\xA0', '\xBE', '\x80', '\xB7', '\xBF'};
  std::vector<std::string> texts = {""};
  for (size_t begin = 0, length = 0; length < 3; ++length) {
    const size_t end = texts.size();
    for (size_t t = begin; t < end; ++t)
      for (char c : alphabet) texts.push_back(texts[t] + c);
    begin = end;
  }
  auto sign = [](int v) { return (v > 0) - (v < 0); };
  size_t disagreements = 0;
  for (const std::string& a : texts)
    for (const std::string& b : texts)
      if (sign(CompareText(a, b, kCompareNoCase)) != sign(CompareText(UpperText(a), UpperText(b), kCompareExact)))
        ++disagreements;
  EXPECT_EQ(disagreements, 0u);

  // A byte after a lead 0xC3 is never a letter of its own; a trailing 0xC3 stays.
  EXPECT_NE(CompareText("\xC3" "a", "\xC3" "A", kCompareNoCase), 0);
  EXPECT_EQ(CompareText("\xC3\xC3" "a", "\xC3\xC3" "A", kCompareNoCase), 0);
  EXPECT_EQ(CompareText("x\xC3", "X\xC3", kCompareNoCase), 0);
  EXPECT_LT(CompareText("x\xC3", "X\xC3\xA0", kCompareNoCase), 0);
  EXPECT_EQ(CompareText("\xC3\xB7", "\xC3\x97", kCompareNoCase), 1);  // ÷ has no capital
  EXPECT_EQ(CompareText("", "", kCompareNoCase), 0);
  EXPECT_EQ(CompareText("", "a", kCompareNoCase), -1);
  EXPECT_EQ(CompareText("abc", "AB", kCompareNoCase), 1);
}

TEST(SimText, UpperCaseCoversAsciiAndLatin1Only) {
  EXPECT_EQ(UpperText("lnotes.exe"), "LNOTES.EXE");
  EXPECT_EQ(UpperText("\xC3\xA0\xC3\xB7\xC3\xBE"), "\xC3\x80\xC3\xB7\xC3\x9E");  // à÷þ -> À÷Þ
  EXPECT_EQ(UpperText("\xC3\x9F"), "\xC3\x9F");                                   // ß stays
  EXPECT_EQ(UpperText("\xC3"), "\xC3");                                           // cut sequence stays
  std::vector<uint8_t> out;
  ASSERT_EQ(TranslateText(kTranslateUpper, Bytes("amgr"), out), kNoError);
  EXPECT_EQ(std::string(out.begin(), out.end()), "AMGR");
}

TEST(SimText, Utf16TranslationRoundTrips) {
  const std::string text = "n\xC3\xB6tes \xE2\x82\xAC \xF0\x9F\x98\x80";  // nötes € 😀
  std::vector<uint8_t> wide, back;
  ASSERT_EQ(TranslateText(kTranslateHostToUnicode, Bytes(text), wide), kNoError);
  ASSERT_EQ(wide.size(), 2u * 10);  // 8 BMP units + one surrogate pair
  EXPECT_EQ(wide[0], 'n');
  EXPECT_EQ(wide[1], 0);
  EXPECT_EQ(wide[2], 0xF6);  // ö as UTF-16LE
  EXPECT_EQ(wide[3], 0x00);
  ASSERT_EQ(TranslateText(kTranslateUnicodeToHost, wide, back), kNoError);
  EXPECT_EQ(std::string(back.begin(), back.end()), text);

  back = {1, 2, 3};
  EXPECT_EQ(TranslateText(kTranslateUnicodeToHost, std::vector<uint8_t>{'a', 0, 'b'}, back), kErrInvalidArgument);
  EXPECT_EQ(back, (std::vector<uint8_t>{1, 2, 3}));  // refused input leaves the output alone
  EXPECT_EQ(TranslateText(99, Bytes("x"), back), kErrInvalidArgument);
  ASSERT_EQ(TranslateText(kTranslateUtf8ToHost, Bytes(text), back), kNoError);
  EXPECT_EQ(std::string(back.begin(), back.end()), text);
}

TEST(SimText, StatusTextsIgnoreFlagBitsAndNetworkPaths) {
  std::string text;
  ASSERT_TRUE(StatusTextOf(kErrFileNotFound | 0x4000, text));
  EXPECT_EQ(text, "File does not exist");
  EXPECT_FALSE(StatusTextOf(0x3FFE, text));
  EXPECT_EQ(BuildNetworkPath("Srv/Acme", "mail/a.nsf"), "Srv/Acme!!mail/a.nsf");
  EXPECT_EQ(BuildNetworkPath("", "mail/a.nsf"), "mail/a.nsf");
}

}  // namespace
}  // namespace quillet::sim
