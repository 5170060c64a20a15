// Whole pages from the system: zeroed, writable, counted while held.
#include "platform/page_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace quillet::platform {
namespace {

TEST(PageMemory, BlocksAreZeroedWritableAndCountedWhileHeld) {
  const size_t before = PagesHeld();
  constexpr size_t kSmall = 256 * 1024;
  for (const bool large : {false, true}) {
    const size_t bytes = large ? 2 * kLargePageSize : kSmall;
    auto* block = static_cast<unsigned char*>(AllocatePages(bytes, large));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(PagesHeld(), before + bytes);
    EXPECT_TRUE(std::all_of(block, block + bytes, [](unsigned char b) { return b == 0; }));
    std::memset(block, 0xA5, bytes);  // every page of it is ours to write
    EXPECT_EQ(block[bytes - 1], 0xA5);
    FreePages(block, bytes);
    EXPECT_EQ(PagesHeld(), before);
  }
}

TEST(PageMemory, NothingAskedNothingHeld) {
  const size_t before = PagesHeld();
  EXPECT_EQ(AllocatePages(0, false), nullptr);
  FreePages(nullptr, 4096);
  EXPECT_EQ(PagesHeld(), before);
}

#if !defined(_WIN32)
// Large blocks start on a large-page boundary, where huge pages can back them.
TEST(PageMemory, LargeBlocksAreAlignedToTheLargePage) {
  void* block = AllocatePages(kLargePageSize, true);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % kLargePageSize, 0u);
  FreePages(block, kLargePageSize);
}
#endif

}  // namespace
}  // namespace quillet::platform
