// HookDbStampNotes: the presence probe and ordinary stamps.
#include "hook/stamp_probe.h"

#include <gtest/gtest.h>

#include "config/status.h"
#include "hook/hooks.h"
#include "util/bytes.h"

namespace quillet {
namespace {

HookStatus Stamp(std::string_view itemName, uint8_t* block) {
  return HookDbStampNotes(nullptr, "CN=User", nullptr, 1, 2, itemName.data(),
                          static_cast<uint16_t>(itemName.size()), block, 8);
}

TEST(StampProbe, NonZeroQuestionGetsTheAnswer) {
  uint8_t block[8];
  StoreU32(block, 5);
  StoreU32(block + 4, 0xDEADBEEF);
  EXPECT_EQ(Stamp("$QUILLET_MESSAGE", block), kStampNotesHandled);
  EXPECT_EQ(LoadU32(block), 5u);
  EXPECT_EQ(LoadU32(block + 4), 68369u);
}

TEST(StampProbe, ZeroQuestionGetsZero) {
  uint8_t block[8];
  StoreU32(block, 0);
  StoreU32(block + 4, 0xDEADBEEF);
  EXPECT_EQ(Stamp("$QUILLET_MESSAGE", block), kStampNotesHandled);
  EXPECT_EQ(LoadU32(block + 4), 0u);
}

TEST(StampProbe, OtherNamesStampAsUsual) {
  uint8_t block[8] = {5, 0, 0, 0, 7, 7, 7, 7};
  // The length decides: a prefix, a longer name and another case are not the probe.
  const char text[] = "$QUILLET_MESSAGES";
  EXPECT_EQ(HookDbStampNotes(nullptr, nullptr, nullptr, 0, 0, text, 16, block, 8), kStampNotesHandled);
  StoreU32(block + 4, 0x07070707);
  EXPECT_EQ(HookDbStampNotes(nullptr, nullptr, nullptr, 0, 0, text, 17, block, 8), kNoError);
  EXPECT_EQ(HookDbStampNotes(nullptr, nullptr, nullptr, 0, 0, text, 15, block, 8), kNoError);
  EXPECT_EQ(Stamp("$quillet_message", block), kNoError);
  EXPECT_EQ(Stamp("$Revisions", block), kNoError);
  EXPECT_EQ(LoadU32(block + 4), 0x07070707u);
}

TEST(StampProbe, ShortBlockIsNeitherReadNorWritten) {
  const char name[] = "$QUILLET_MESSAGE";
  for (uint16_t length = 0; length < 8; ++length) {
    // Only `length` bytes belong to the caller; the rest are a neighbour's.
    uint8_t block[12] = {1, 0, 0, 0, 7, 7, 7, 7, 9, 9, 9, 9};
    EXPECT_EQ(HookDbStampNotes(nullptr, nullptr, nullptr, 0, 0, name, 16, block, length), kStampNotesHandled);
    EXPECT_EQ(LoadU32(block + 4), 0x07070707u) << "length " << length;
  }
  uint8_t block[12] = {1, 0, 0, 0, 7, 7, 7, 7, 9, 9, 9, 9};
  EXPECT_EQ(HookDbStampNotes(nullptr, nullptr, nullptr, 0, 0, name, 16, block, 12), kStampNotesHandled);
  EXPECT_EQ(LoadU32(block + 4), 68369u);
  EXPECT_EQ(LoadU32(block + 8), 0x09090909u);
}

TEST(StampProbe, MissingNameOrBlockIsSafe) {
  EXPECT_EQ(HookDbStampNotes(nullptr, nullptr, nullptr, 0, 0, nullptr, 16, nullptr, 0), kNoError);
  EXPECT_EQ(Stamp("$QUILLET_MESSAGE", nullptr), kStampNotesHandled);
}

}  // namespace
}  // namespace quillet
