// Where code ranges stand once the collected edits are applied: the ranges
// the rewrite reuses instead of walking the new code again.
#include "instrument/module_instrument_edits.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillet {
namespace {

using Range = std::pair<uint32_t, uint32_t>;

// Procedures at 0, 10 and 30 of 50 bytes of code.
class RelocateRangeTest : public ::testing::Test {
 protected:
  RelocateRangeTest() : edits_(std::vector<uint32_t>{0, 10, 30}) {}

  void Add(uint32_t start, uint32_t oldLength, size_t newLength) {
    UninitVector<uint8_t> bytes(newLength, 0x1B);
    edits_.Add(start, oldLength, bytes, EditInsertions{});
  }

  CodeEdits edits_;
};

TEST_F(RelocateRangeTest, RangesMoveByEditsBeforeThemAndGrowByTheirOwn) {
  Add(0, 0, 27);    // entry code alone before the first procedure
  Add(10, 20, 49);  // the second one's 20 bytes rewritten with 29 more
  EXPECT_EQ(edits_.RelocateRange(0, 10), (Range{0, 37}));
  EXPECT_EQ(edits_.RelocateRange(10, 30), (Range{37, 86}));
  EXPECT_EQ(edits_.RelocateRange(30, 50), (Range{86, 106}));  // moved, not grown
  // The new positions are those of the applied code.
  const std::vector<uint8_t> code(50, 0);
  EXPECT_EQ(edits_.Apply(code).size(), 106u);
}

TEST_F(RelocateRangeTest, RangesAnEditCutsIntoHaveNoPlace) {
  Add(10, 20, 49);
  EXPECT_EQ(edits_.RelocateRange(0, 11), std::nullopt);   // an edit starts inside
  EXPECT_EQ(edits_.RelocateRange(10, 25), std::nullopt);  // its edit reaches past the end
  EXPECT_EQ(edits_.RelocateRange(20, 30), std::nullopt);  // inside the old bytes an edit replaces
  EXPECT_EQ(edits_.RelocateRange(0, 10), (Range{0, 10}));  // ends where the edit starts
  EXPECT_EQ(edits_.RelocateRange(10, 10), std::nullopt);  // empty
}

TEST_F(RelocateRangeTest, WithoutEditsRangesStay) {
  EXPECT_EQ(edits_.RelocateRange(10, 30), (Range{10, 30}));
}

}  // namespace
}  // namespace quillet
