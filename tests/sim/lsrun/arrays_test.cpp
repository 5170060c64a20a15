// Arrays of several dimensions: the bounds text a variable entry carries,
// element positions and what ReDim Preserve keeps.
#include "sim/lsrun/arrays.h"

#include <gtest/gtest.h>

#include "sim/lsrun/errors.h"

namespace quillet::lsrun {
namespace {

TEST(LsrunArrays, BoundsTextReadsEachDimensionAndRefusesAnythingElse) {
  std::vector<ArrayBound> b;
  ASSERT_TRUE(ParseArrayBounds("1:3,0:4", kMaxDeclaredElements, b));
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0].lower, 1);
  EXPECT_EQ(b[0].count, 3);
  EXPECT_EQ(b[1].lower, 0);
  EXPECT_EQ(b[1].count, 5);
  ASSERT_TRUE(ParseArrayBounds("-5:-5", kMaxDeclaredElements, b));
  EXPECT_EQ(b[0].lower, -5);
  EXPECT_EQ(b[0].count, 1);
  for (const char* bad : {"", "1", "1:", ":3", "3:1", "1:3,", "1:3;0:4", "1:3 ", "a:b", "0:1,0:1,0:1,0:1,0:1,0:1,0:1,0:1,0:1",
                          "0:16384", "0:200,0:200", "-2147483648:2147483647"}) {
    EXPECT_FALSE(ParseArrayBounds(bad, kMaxDeclaredElements, b)) << bad;
  }
  EXPECT_TRUE(ParseArrayBounds("0:16383", kMaxDeclaredElements, b));
}

TEST(LsrunArrays, ElementPositionVariesTheFirstSubscriptFastest) {
  ArrayRep rep({ArrayBound{1, 3}, ArrayBound{0, 5}}, SlotType::kInteger);
  ASSERT_EQ(rep.items.size(), 15u);
  size_t at = 99;
  const Value first[] = {Value::Integer(1), Value::Integer(0)};
  ASSERT_EQ(ElementPosition(rep, first, 2, at), 0);
  EXPECT_EQ(at, 0u);
  const Value next[] = {Value::Integer(2), Value::Integer(0)};
  ASSERT_EQ(ElementPosition(rep, next, 2, at), 0);
  EXPECT_EQ(at, 1u);
  const Value last[] = {Value::Long(3), Value::Double(4)};
  ASSERT_EQ(ElementPosition(rep, last, 2, at), 0);
  EXPECT_EQ(at, 14u);
  const Value below[] = {Value::Integer(0), Value::Integer(0)};
  EXPECT_EQ(ElementPosition(rep, below, 2, at), err::kSubscriptOutOfRange);
  const Value above[] = {Value::Integer(1), Value::Integer(5)};
  EXPECT_EQ(ElementPosition(rep, above, 2, at), err::kSubscriptOutOfRange);
  EXPECT_EQ(ElementPosition(rep, first, 1, at), err::kSubscriptOutOfRange);
  const Value text[] = {Value::Integer(1), Value::String("x")};
  EXPECT_EQ(ElementPosition(rep, text, 2, at), err::kTypeMismatch);
}

TEST(LsrunArrays, PreserveKeepsElementsAtTheirSubscripts) {
  ArrayRep old({ArrayBound{0, 2}, ArrayBound{0, 2}}, SlotType::kInteger);
  for (size_t k = 0; k < 4; ++k) old.items[k] = Value::Integer(static_cast<int16_t>(10 + k));
  ArrayRep wider({ArrayBound{0, 2}, ArrayBound{0, 3}}, SlotType::kLong);
  ASSERT_EQ(PreserveInto(old, wider), 0);
  EXPECT_EQ(wider.items[3].n(), 13);
  EXPECT_EQ(wider.items[3].type(), Value::Type::kLong);
  EXPECT_EQ(wider.items[5].n(), 0);
  // A narrower first dimension drops a row of each column, not the tail.
  ArrayRep narrower({ArrayBound{0, 1}, ArrayBound{0, 2}}, SlotType::kInteger);
  ASSERT_EQ(PreserveInto(old, narrower), 0);
  EXPECT_EQ(narrower.items[0].n(), 10);
  EXPECT_EQ(narrower.items[1].n(), 12);
  ArrayRep flat(0, 4, SlotType::kInteger);
  EXPECT_EQ(PreserveInto(old, flat), err::kSubscriptOutOfRange);
}

}  // namespace
}  // namespace quillet::lsrun
