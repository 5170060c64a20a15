// LowerBoundNear against std::lower_bound from every hint, over ranges with
// runs of equal values (the first of them must be found).
#include "util/near_search.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillet {
namespace {

TEST(LowerBoundNear, FindsWhatLowerBoundFindsFromEveryHint) {
  const std::vector<int> values = {1, 3, 3, 3, 4, 8, 9, 9, 15, 20, 21, 40};
  for (size_t hint = 0; hint <= values.size(); ++hint) {
    for (int value = -1; value <= 42; ++value) {
      const auto expected = std::lower_bound(values.begin(), values.end(), value);
      const auto found = LowerBoundNear(values.begin(), values.end(), values.begin() + static_cast<long>(hint), value);
      EXPECT_EQ(found - values.begin(), expected - values.begin()) << "hint " << hint << " value " << value;
    }
  }
}

TEST(LowerBoundNear, EmptyRangesAndHintsOutsideAnswerAsLowerBound) {
  const std::vector<int> none;
  EXPECT_EQ(LowerBoundNear(none.begin(), none.end(), none.begin(), 5), none.end());
  const std::vector<int> values = {2, 4, 6};
  // A hint past the range is taken as its start.
  EXPECT_EQ(LowerBoundNear(values.begin(), values.begin() + 2, values.end(), 5) - values.begin(), 2);
  EXPECT_EQ(LowerBoundNear(values.begin(), values.begin() + 2, values.end(), 3) - values.begin(), 1);
}

}  // namespace
}  // namespace quillet
