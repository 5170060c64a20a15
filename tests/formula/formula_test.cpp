// Tests of compiled-formula validation and rewrite: exact re-emission, jump
// offsets that follow re-emitted strings, invalid formulas copied unchanged.
#include "formula/formula.h"

#include <gtest/gtest.h>

#include <vector>

#include "formula/formula_status.h"
#include "support/formula_builder.h"
#include "support/piece_callbacks.h"
#include "util/bytes.h"

namespace quillet {
namespace {

using kit::FormulaBuilder;
using kit::PieceReplacer;
using Bytes = std::vector<uint8_t>;

constexpr uint8_t kJoin = 0x20;  // an operator taking two values and leaving one

struct Rewritten {
  Status32 status = kNoError;
  Bytes bytes;
};

Rewritten Rewrite(const Bytes& piece, const RewriteArgs& args = {}) {
  RecordBuffer out;
  Rewritten result;
  result.status = RewriteFormula(piece, args, out);
  result.bytes.assign(out.bytes().begin(), out.bytes().end());
  return result;
}

// 1 ? "skipped" : ... with a jump over a string constant.
FormulaBuilder JumpOverString(std::string_view skipped) {
  FormulaBuilder f;
  f.Main().Number(1).Jump("end").String(skipped).Operator(kJoin, 2).Label("end");
  return f;
}

// cond; two-way jump into the branches; each joins its own string.
FormulaBuilder Branches(std::string_view yes, std::string_view no) {
  FormulaBuilder f;
  f.Main().Number(1).TwoWayJump("then", "else");
  f.Label("then").String(yes).Operator(kJoin, 2).Jump("end");
  f.Label("else").String(no).Operator(kJoin, 2).Label("end");
  return f;
}

TEST(RewriteFormula, JumpOverStringComesOutIdentical) {
  const Bytes formula = JumpOverString("skipped").Build();
  ASSERT_EQ(ValidateFormula(formula), kNoError);
  Rewritten out = Rewrite(formula);
  ASSERT_EQ(out.status, kNoError);
  EXPECT_EQ(out.bytes, formula);
}

TEST(RewriteFormula, TwoWayJumpComesOutIdentical) {
  const Bytes formula = Branches("yes", "no").Build();
  ASSERT_EQ(ValidateFormula(formula), kNoError);
  PieceReplacer unchanged;
  Rewritten out = Rewrite(formula, unchanged.Args());
  ASSERT_EQ(out.status, kNoError);
  EXPECT_EQ(out.bytes, formula);
  EXPECT_EQ(unchanged.seen, (std::vector<std::string>{"yes", "no"}));
}

TEST(RewriteFormula, ReplacedStringsMoveEveryJumpOffset) {
  // Longer, shorter and odd-length replacements: the output must equal the
  // formula built directly with the new texts, offsets and lengths included.
  PieceReplacer replacer;
  replacer.replacements = {{"skipped", "a considerably longer text"}, {"yes", "y"}, {"no", "negative!"}};
  Rewritten jump = Rewrite(JumpOverString("skipped").Build(), replacer.Args());
  ASSERT_EQ(jump.status, kNoError);
  EXPECT_EQ(jump.bytes, JumpOverString("a considerably longer text").Build());

  const Bytes branches = Branches("yes", "no").Build();
  Rewritten two = Rewrite(branches, replacer.Args());
  ASSERT_EQ(two.status, kNoError);
  const Bytes expected = Branches("y", "negative!").Build();
  EXPECT_EQ(two.bytes, expected);
  EXPECT_NE(LoadU16(two.bytes.data() + 20), LoadU16(branches.data() + 20)) << "else offset of the two-way jump";
  EXPECT_EQ(ValidateFormula(two.bytes), kNoError);
}

TEST(RewriteFormula, BackwardJumpFollowsAGrownString) {
  FormulaBuilder before, after;
  for (auto [f, text] : {std::pair{&before, "x"}, std::pair{&after, "xxxxxxxxxxx"}}) {
    f->Main().Number(1).Label("top").String(text).Operator(kJoin, 2).Jump("top");
  }
  PieceReplacer replacer;
  replacer.replacements = {{"x", "xxxxxxxxxxx"}};
  Rewritten out = Rewrite(before.Build(), replacer.Args());
  ASSERT_EQ(out.status, kNoError);
  EXPECT_EQ(out.bytes, after.Build());
}

TEST(RewriteFormula, NamedRecordsKeepTheirNamesAndRecomputeLengths) {
  auto build = [](std::string_view value) {
    FormulaBuilder f;
    f.Field("Subject").String(value);  // an odd name, padded
    f.TempField("tmp").Name("Other").String(value).Operator(kJoin, 2);
    f.Column("Col").Number(2);
    f.Environment("EnvVar").Extended(0x1234);
    return f.Build();
  };
  const Bytes formula = build("v");
  EXPECT_EQ(Rewrite(formula).bytes, formula);
  PieceReplacer replacer;
  replacer.replacements = {{"v", "value"}};
  Rewritten out = Rewrite(formula, replacer.Args());
  ASSERT_EQ(out.status, kNoError);
  EXPECT_EQ(out.bytes, build("value"));
  EXPECT_EQ(replacer.seen, (std::vector<std::string>{"v", "v"})) << "names never reach the callback";
}

TEST(RewriteFormula, RemarkTextGoesThroughTheCallbackUnlessItStartsWithATab) {
  PieceReplacer replacer;
  replacer.replacements = {{"note", "a longer note"}, {"\tindented", "changed"}};
  auto build = [](std::string_view remark) {
    FormulaBuilder f;
    f.Remark(remark).Main().Number(1);
    return f.Build();
  };
  Rewritten plain = Rewrite(build("note"), replacer.Args());
  ASSERT_EQ(plain.status, kNoError);
  EXPECT_EQ(plain.bytes, build("a longer note"));
  EXPECT_EQ(LoadU16(plain.bytes.data() + 4), 6 + 13 + 1) << "record length counts the pad byte";

  const Bytes tabbed = build("\tindented");
  replacer.seen.clear();
  Rewritten kept = Rewrite(tabbed, replacer.Args());
  ASSERT_EQ(kept.status, kNoError);
  EXPECT_EQ(kept.bytes, tabbed);
  EXPECT_TRUE(replacer.seen.empty());
}

TEST(RewriteFormula, RecordsBeforeTheFirstType4RecordAreCopiedAsTheyAre) {
  FormulaBuilder f;
  f.Main().String("before").String("unbalanced");  // would fail validation if it were re-encoded
  f.Record(4);
  f.Expression().String("after");
  const Bytes formula = f.Build();
  ASSERT_EQ(ValidateFormula(formula), kNoError);
  PieceReplacer replacer;
  replacer.replacements = {{"before", "B"}, {"after", "AFTER!"}};
  Rewritten out = Rewrite(formula, replacer.Args());
  ASSERT_EQ(out.status, kNoError);
  EXPECT_EQ(replacer.seen, std::vector<std::string>{"after"});
  FormulaBuilder expected;
  expected.Main().String("before").String("unbalanced").Record(4).Expression().String("AFTER!");
  EXPECT_EQ(out.bytes, expected.Build());
}

TEST(RewriteFormula, InvalidFormulasAreCopiedUnchanged) {
  FormulaBuilder twoValues, underflow, badOperation;
  twoValues.Main().Number(1).String("left over");
  underflow.Main().Operator(kJoin, 2);
  badOperation.Main().Raw({7, 0});
  Bytes tooLong = JumpOverString("x").Build();
  StoreU16(tooLong.data(), static_cast<uint16_t>(tooLong.size() + 2));
  for (const Bytes& formula : {twoValues.Build(), underflow.Build(), badOperation.Build(), tooLong}) {
    EXPECT_EQ(ValidateFormula(formula), kErrInvalidFormula);
    PieceReplacer replacer;
    Rewritten out = Rewrite(formula, replacer.Args());
    EXPECT_EQ(out.status, kNoError);
    EXPECT_EQ(out.bytes, formula);
    EXPECT_TRUE(replacer.seen.empty());
  }
}

TEST(RewriteFormula, JumpIntoTheMiddleOfAnOperationIsInvalid) {
  FormulaBuilder f;
  f.Main().Number(1).Raw({174, 0, 3, 0}).String("abc").Operator(kJoin, 2);
  EXPECT_EQ(ValidateFormula(f.Build()), kErrInvalidFormula);
}

TEST(RewriteFormula, RecordShorterThanItsHeaderIsInvalid) {
  Bytes formula = JumpOverString("x").Build();
  StoreU16(formula.data() + 4, 0);  // the first record's length: would never advance
  EXPECT_EQ(ValidateFormula(formula), kErrInvalidFormula);
  EXPECT_EQ(Rewrite(formula).bytes, formula);
}

TEST(RewriteFormula, ShortAndEmptyPieces) {
  EXPECT_TRUE(Rewrite({}).bytes.empty());
  EXPECT_EQ(Rewrite({0x42}).bytes, Bytes{0x42});
  const Bytes noRecords{2, 0};
  EXPECT_EQ(ValidateFormula(noRecords), kNoError);
  EXPECT_EQ(Rewrite(noRecords).bytes, noRecords);
}

TEST(RewriteFormula, BytesAfterTheTotalLengthFollowTheFormula) {
  Bytes piece = JumpOverString("abc").Build();
  piece.insert(piece.end(), {0xAA, 0xBB});
  PieceReplacer replacer;
  replacer.replacements = {{"abc", "abcdef"}};
  Rewritten out = Rewrite(piece, replacer.Args());
  ASSERT_EQ(out.status, kNoError);
  Bytes expected = JumpOverString("abcdef").Build();
  expected.insert(expected.end(), {0xAA, 0xBB});
  EXPECT_EQ(out.bytes, expected);
}

TEST(RewriteFormula, CallbackAndBufferFailuresAreReturned) {
  PieceReplacer failing;
  failing.failWith = 0x4242;
  EXPECT_EQ(Rewrite(JumpOverString("x").Build(), failing.Args()).status, 0x4242u);

  const Bytes formula = JumpOverString("a string long enough to overflow a small buffer").Build();
  RecordBuffer small(32, 0, 32);
  EXPECT_EQ(RewriteFormula(formula, {}, small), kErrOutOfMemory);
}

}  // namespace
}  // namespace quillet
