// Typed values of the runtime: Currency's exact arithmetic and its limits,
// Single rounding, dates with numbers, narrowing conversions, Like patterns,
// and the date texts the runtime reads and prints.
#include <gtest/gtest.h>

#include <cstdint>

#include "sim/lsrun/dates.h"
#include "sim/lsrun/errors.h"
#include "sim/lsrun/operators.h"
#include "sim/lsrun/ops.h"

namespace quillet::lsrun {
namespace {

TEST(RunValues, CurrencyArithmeticIsExactAndOverflows) {
  Value sum = Value::Currency(0);
  for (int i = 0; i < 10; ++i) {
    Value next;
    ASSERT_EQ(Binary(op::kAdd, sum, Value::Double(0.1), next), 0);
    sum = next;
  }
  ASSERT_EQ(sum.type(), Value::Type::kCurrency);
  EXPECT_EQ(sum.c(), 10000);  // exactly 1, where ten Double 0.1s are not

  Value product;
  ASSERT_EQ(Binary(op::kMul, Value::Currency(12345), Value::Currency(20000), product), 0);
  EXPECT_EQ(product.c(), 24690);  // 1.2345 * 2 = 2.469
  Value quotient;
  ASSERT_EQ(Binary(op::kDiv, Value::Currency(10000), Value::Integer(3), quotient), 0);
  EXPECT_EQ(quotient.c(), 3333);  // rounded to four places

  Value r;
  EXPECT_EQ(Binary(op::kAdd, Value::Currency(INT64_MAX - 1), Value::Integer(1), r), err::kOverflow);
  EXPECT_EQ(Binary(op::kDiv, Value::Currency(1), Value::Currency(0), r), err::kDivisionByZero);
  EXPECT_EQ(CurrencyText(-12500), "-1.25");
  EXPECT_EQ(CurrencyText(30000), "3");
  EXPECT_EQ(CurrencyText(5), ".0005");
}

TEST(RunValues, NarrowingConversionsOverflowAndRoundHalfToEven) {
  Value out;
  EXPECT_EQ(Convert(Value::Long(40000), SlotType::kInteger, out), err::kOverflow);
  EXPECT_EQ(Convert(Value::Integer(256), SlotType::kByte, out), err::kOverflow);
  EXPECT_EQ(Convert(Value::Integer(-1), SlotType::kByte, out), err::kOverflow);
  EXPECT_EQ(Convert(Value::Double(1e39), SlotType::kSingle, out), err::kOverflow);
  ASSERT_EQ(Convert(Value::Double(2.5), SlotType::kInteger, out), 0);
  EXPECT_EQ(out.n(), 2);
  ASSERT_EQ(Convert(Value::Currency(35000), SlotType::kLong, out), 0);
  EXPECT_EQ(out.n(), 4);
  ASSERT_EQ(Convert(Value::String("7"), SlotType::kBoolean, out), 0);
  EXPECT_EQ(out.type(), Value::Type::kBoolean);
  EXPECT_EQ(out.n(), -1);
  ASSERT_EQ(Convert(Value::Double(0.1), SlotType::kSingle, out), 0);
  EXPECT_EQ(out.d(), static_cast<double>(0.1f));
}

TEST(RunValues, DatesMoveByDaysAndSubtractToNumbers) {
  const double leap = DateSerial(2024, 2, 28);
  Value next;
  ASSERT_EQ(Binary(op::kAdd, Value::Date(leap), Value::Integer(1), next), 0);
  ASSERT_EQ(next.type(), Value::Type::kDate);
  const CivilTime t = CivilOf(next.d());
  EXPECT_EQ(t.month, 2);
  EXPECT_EQ(t.day, 29);
  Value days;
  ASSERT_EQ(Binary(op::kSub, Value::Date(DateSerial(2025, 1, 1)), Value::Date(DateSerial(2024, 1, 1)), days), 0);
  EXPECT_EQ(days.type(), Value::Type::kDouble);
  EXPECT_EQ(days.d(), 366);
  EXPECT_EQ(DateSerial(2024, 13, 1), DateSerial(2025, 1, 1));
  EXPECT_EQ(DateSerial(1899, 12, 30), 0);
}

TEST(RunValues, DateTextsReadAndPrint) {
  double serial = 0;
  ASSERT_TRUE(ParseDateText("03/15/2025 1:05:09 PM", serial));
  EXPECT_EQ(DateText(serial), "03/15/2025 1:05:09 PM");
  ASSERT_TRUE(ParseDateText("2025-03-15", serial));
  EXPECT_EQ(DateText(serial), "03/15/2025");
  ASSERT_TRUE(ParseDateText("13:30", serial));
  EXPECT_EQ(DateText(serial), "1:30:00 PM");
  EXPECT_FALSE(ParseDateText("02/30/2025", serial));
  EXPECT_FALSE(ParseDateText("25:00", serial));
  EXPECT_FALSE(ParseDateText("soon", serial));
}

TEST(RunValues, LikeMatchesWildcardsAndCharacterLists) {
  EXPECT_TRUE(LikeMatch("report.txt", "*.txt"));
  EXPECT_FALSE(LikeMatch("report.txt", "*.doc"));
  EXPECT_TRUE(LikeMatch("A7", "[A-C]#"));
  EXPECT_FALSE(LikeMatch("D7", "[A-C]#"));
  EXPECT_TRUE(LikeMatch("x", "[!a-c]"));
  EXPECT_TRUE(LikeMatch("abc", "a?c"));
  EXPECT_FALSE(LikeMatch("ac", "a?c"));
  EXPECT_TRUE(LikeMatch("aXbXc", "a*b*c"));
  EXPECT_TRUE(LikeMatch("", "*"));
}

}  // namespace
}  // namespace quillet::lsrun
