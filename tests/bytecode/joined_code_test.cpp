// Code in two blocks read as one: bytes, u16 values on either side of and
// across the join, and the pieces readable from an offset.
#include "bytecode/joined_code.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillet {
namespace {

TEST(JoinedCodeTest, ReadsBothBlocksAsOne) {
  const std::vector<uint8_t> head = {0x01, 0x02, 0x03};
  const std::vector<uint8_t> tail = {0x04, 0x05, 0x06, 0x07};
  const JoinedCode code(head, tail);
  ASSERT_EQ(code.size(), 7u);
  for (size_t i = 0; i < code.size(); ++i) EXPECT_EQ(code[i], i + 1) << i;
  EXPECT_EQ(code.U16At(0), 0x0201);  // inside the head
  EXPECT_EQ(code.U16At(2), 0x0403);  // one byte in each block
  EXPECT_EQ(code.U16At(3), 0x0504);  // the tail's first two
  EXPECT_EQ(code.U16At(5), 0x0706);  // the last two
}

TEST(JoinedCodeTest, PiecesEndWhereTheirBlockEnds) {
  const std::vector<uint8_t> head = {0x01, 0x02};
  const std::vector<uint8_t> tail = {0x03, 0x04, 0x05};
  const JoinedCode code(head, tail);
  EXPECT_EQ(code.From(0).data(), head.data());
  EXPECT_EQ(code.From(1).size(), 1u);
  EXPECT_EQ(code.From(2).data(), tail.data());
  EXPECT_EQ(code.From(4).size(), 1u);
  EXPECT_TRUE(code.From(5).empty());
  EXPECT_TRUE(code.From(99).empty());
}

TEST(JoinedCodeTest, OneBlockOrNone) {
  const std::vector<uint8_t> whole = {0x10, 0x20, 0x30};
  const JoinedCode code(whole);
  EXPECT_TRUE(code.head().empty());
  EXPECT_EQ(code.U16At(1), 0x3020);
  EXPECT_EQ(code.From(0).size(), 3u);
  EXPECT_EQ(JoinedCode().size(), 0u);
  EXPECT_TRUE(JoinedCode().From(0).empty());
}

}  // namespace
}  // namespace quillet
