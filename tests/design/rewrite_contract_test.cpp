// Tests of which pieces reach the rewrite callback, and of the library's own
// structure sizes.
#include "design/rewrite_contract.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "design/structures.h"
#include "support/piece_callbacks.h"

namespace quillet {
namespace {

std::string Emit(PieceKind kind, const RewriteArgs& args, size_t& length) {
  const std::string piece = "piece";
  RecordBuffer out(64, 0, 64);
  const Status32 status =
      EmitPiece(kind, std::span(reinterpret_cast<const uint8_t*>(piece.data()), piece.size()), args, out, length);
  EXPECT_EQ(status, kNoError);
  return std::string(out.bytes().begin(), out.bytes().end());
}

TEST(RewriteContract, OnlySelectedKindsReachTheCallback) {
  kit::PieceReplacer replacer;
  replacer.replacements = {{"piece", "replaced piece"}};
  size_t length = 0;
  EXPECT_EQ(Emit(PieceKind::ObjectCode, replacer.Args(kRewriteObjectCode), length), "replaced piece");
  EXPECT_EQ(length, 14u);
  EXPECT_EQ(Emit(PieceKind::Text, replacer.Args(kRewriteObjectCode), length), "piece");
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(Emit(PieceKind::Text, replacer.Args(kRewriteText), length), "replaced piece");
  EXPECT_EQ(Emit(PieceKind::Script, replacer.Args(kRewriteText | kRewriteObjectCode), length), "piece");
  EXPECT_EQ(Emit(PieceKind::ObjectCode, RewriteArgs{kRewriteObjectCode}, length), "piece") << "no callback";
  EXPECT_EQ(replacer.kinds, (std::vector<PieceKind>{PieceKind::ObjectCode, PieceKind::Text}));
}

TEST(RewriteContract, CallbackStatusIsReturnedUnchanged) {
  kit::PieceReplacer replacer;
  replacer.failWith = 0x12345;
  RecordBuffer out(16, 0, 16);
  size_t length = 99;
  const uint8_t piece[] = {1, 2};
  EXPECT_EQ(EmitPiece(PieceKind::ObjectCode, piece, replacer.Args(kRewriteObjectCode), out, length), 0x12345u);
  EXPECT_EQ(length, 99u);
}

TEST(LibraryStructures, SizesComeFromTheLibrarysTableWithoutAHost) {
  StructureSizes sizes;
  ASSERT_EQ(StructureSize(kStructLsObject, sizes), kNoError);
  EXPECT_EQ(sizes.onDisk, 12);
  ASSERT_EQ(StructureSize(620, sizes), kNoError);
  EXPECT_EQ(sizes.onDisk, 270);
  ASSERT_EQ(StructureSize(934, sizes), kNoError);
  EXPECT_EQ(sizes.host, 30);
  EXPECT_EQ(StructureSize(744, sizes), kErrUnknownStructure) << "a code no record uses";
  const std::vector<uint8_t> event(32, 7);
  std::vector<uint8_t> host(32, 0);
  ASSERT_EQ(StructureFromDisk(kStructEvent, event, host), kNoError);
  EXPECT_EQ(host, event);
  EXPECT_EQ(StructureFromDisk(kStructEvent, std::span(event).first(31), host), kErrBufferTooSmall);
}

}  // namespace
}  // namespace quillet
