// Tests of host text services handed to the host in pieces.
#include "config/host_text.h"

#include <gtest/gtest.h>

#include "config/notes_api.h"
#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

class HostText : public ::testing::Test {
 protected:
  sim::ScopedSimHost sim_;
};

TEST_F(HostText, ToUpperNeverCutsAMultiByteCharacter) {
  // "é" (0xC3 0xA9) straddles the 10,000th byte; cut there it would stay lower case.
  std::string text = std::string(kHostTextPiece - 1, 'a') + "\xC3\xA9" + std::string(kHostTextPiece, 'b');
  std::string expected = std::string(kHostTextPiece - 1, 'A') + "\xC3\x89" + std::string(kHostTextPiece, 'B');
  EXPECT_EQ(ToUpper(text), expected);
  EXPECT_EQ(ToUpper(""), "");
}

TEST_F(HostText, ToHostTextKeepsSurrogatePairsTogether) {
  std::u16string text = std::u16string(kHostTextPiece - 1, u'x') + u"\U0001F600" + u"yz";
  std::string expected = std::string(kHostTextPiece - 1, 'x') + "\xF0\x9F\x98\x80" + "yz";
  EXPECT_EQ(ToHostText(text), expected);
  EXPECT_EQ(ToHostText(u"caf\u00E9"), "caf\xC3\xA9");
}

TEST_F(HostText, HostCompareWalksPiecesThenComparesLengths) {
  const std::string base(25000, 'q');
  EXPECT_EQ(HostCompare(base, base, kCompareExact), 0);
  EXPECT_EQ(HostCompare(base, base + "abc", kCompareExact), -3);
  EXPECT_EQ(HostCompare(base + "abc", base, kCompareExact), 3);

  std::string later = base;
  later[15000] = 'r';  // differs in the second piece only
  EXPECT_LT(HostCompare(base, later, kCompareExact), 0);
  EXPECT_GT(HostCompare(later, base, kCompareExact), 0);
}

TEST_F(HostText, HostCompareIgnoresCaseAcrossPieceEdges) {
  std::string lower = std::string(kHostTextPiece - 1, 'a') + "\xC3\xA9" + "tail";
  std::string upper = std::string(kHostTextPiece - 1, 'A') + "\xC3\x89" + "TAIL";
  EXPECT_EQ(HostCompare(lower, upper, kCompareNoCase), 0);
  EXPECT_NE(HostCompare(lower, upper, kCompareExact), 0);
  EXPECT_EQ(HostCompare("", "", kCompareExact), 0);
  EXPECT_EQ(HostCompare("", "ab", kCompareExact), -2);
}

TEST(HostPieceLength, BacksOffContinuationBytesOnly) {
  EXPECT_EQ(HostPieceLength("abc", 10), 3u);
  EXPECT_EQ(HostPieceLength("ab\xC3\xA9z", 3), 2u);
  EXPECT_EQ(HostPieceLength("ab\xC3\xA9z", 4), 4u);
  EXPECT_EQ(HostPieceLength("\x80\x80\x80\x80", 2), 2u);  // no character start: cut where asked
}

}  // namespace
}  // namespace quillet
