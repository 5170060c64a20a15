// Fuzz-style checks of formula validation and rewrite: every truncation and
// thousands of seeded random mutations of built formulas. Each piece lives
// in a buffer of exactly its length, so a read past it is caught by the
// address sanitizer of the sanitizer test run.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "formula/formula.h"
#include "support/formula_builder.h"
#include "support/piece_callbacks.h"

namespace quillet {
namespace {

using kit::FormulaBuilder;
using Bytes = std::vector<uint8_t>;

std::vector<Bytes> Corpus() {
  std::vector<Bytes> corpus;
  FormulaBuilder jumps;
  jumps.Main().Number(1).TwoWayJump("then", "else").Label("then").String("yes").Operator(0x20, 2).Jump("end");
  jumps.Label("else").Name("Field").Operator(0x20, 2).Label("end");
  corpus.push_back(jumps.Build());
  FormulaBuilder records;
  records.Remark("odd").Remark("\ttabbed").Field("Name").String("value").Record(4, {1, 2, 3});
  records.TempField("t").Number(3).Operator(0xFB, 1).Column("col").Extended(7).Expression().String("e");
  corpus.push_back(records.Build());
  FormulaBuilder loop;
  loop.Main().Number(0).Label("top").String("x").Operator(0x20, 2).Jump("top").Raw({6, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  loop.Operator(0x20, 2);
  corpus.push_back(loop.Build());
  return corpus;
}

// Rewrites `piece` from an exactly sized copy, also with text pieces grown
// by two bytes (moving every later operation), and checks the outcome: an invalid formula comes out unchanged;
// a valid one re-validates and rewrites to itself again once its texts stop
// changing.
void CheckPiece(const Bytes& piece) {
  auto exact = std::make_unique<uint8_t[]>(piece.size() + 1);  // never empty, read only up to size
  std::copy(piece.begin(), piece.end(), exact.get());
  const std::span<const uint8_t> view(exact.get(), piece.size());

  const Status32 validity = ValidateFormula(view);
  ASSERT_TRUE(validity == kNoError || validity == kErrInvalidFormula) << validity;
  RecordBuffer first;
  ASSERT_EQ(RewriteFormula(view, {}, first), kNoError);
  if (validity != kNoError || piece.size() < 2) {
    EXPECT_TRUE(std::ranges::equal(first.bytes(), piece)) << "invalid formulas are copied unchanged";
    return;
  }
  ASSERT_EQ(ValidateFormula(first.bytes()), kNoError);
  RecordBuffer again;
  ASSERT_EQ(RewriteFormula(first.bytes(), {}, again), kNoError);
  EXPECT_TRUE(std::ranges::equal(again.bytes(), first.bytes()));

  kit::PieceReplacer grow;
  grow.replacements = {{"yes", "yes!!"}, {"value", "values!"}, {"x", "xxx"}, {"odd", "odd!!"}, {"e", "eee"}};
  RecordBuffer grown;
  ASSERT_EQ(RewriteFormula(view, grow.Args(), grown), kNoError);
  EXPECT_EQ(ValidateFormula(grown.bytes()), kNoError);
}

TEST(FormulaFuzz, EveryTruncation) {
  for (const Bytes& formula : Corpus()) {
    for (size_t length = 0; length <= formula.size(); ++length) {
      SCOPED_TRACE(length);
      CheckPiece(Bytes(formula.begin(), formula.begin() + static_cast<ptrdiff_t>(length)));
    }
  }
}

TEST(FormulaFuzz, SeededRandomMutations) {
  std::mt19937 random(0x5EED);
  const std::vector<Bytes> corpus = Corpus();
  const uint16_t words[] = {0, 1, 2, 3, 4, 5, 6, 7, 31, 174, 175, 251, 0x00FB, 0x01FB, 0x0220, 0xFFFF, 0x8000};
  int valid = 0;
  for (int round = 0; round < 4000; ++round) {
    Bytes piece = corpus[random() % corpus.size()];
    const int edits = 1 + static_cast<int>(random() % 3);
    for (int e = 0; e < edits && piece.size() >= 2; ++e) {
      const size_t at = random() % (piece.size() - 1);
      if (random() % 2 == 0) {
        piece[at] = static_cast<uint8_t>(random());
      } else {
        const uint16_t word = random() % 3 == 0 ? static_cast<uint16_t>(random())
                                                : words[random() % std::size(words)];
        piece[at] = static_cast<uint8_t>(word);
        piece[at + 1] = static_cast<uint8_t>(word >> 8);
      }
    }
    if (random() % 8 == 0) piece.resize(random() % (piece.size() + 1));
    SCOPED_TRACE(round);
    CheckPiece(piece);
    valid += ValidateFormula(piece) == kNoError;
    if (HasFatalFailure()) return;
  }
  // The mutations must reach both outcomes to test anything.
  EXPECT_GT(valid, 100);
  EXPECT_LT(valid, 3900);
}

}  // namespace
}  // namespace quillet
