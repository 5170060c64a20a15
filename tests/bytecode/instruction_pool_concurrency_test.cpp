// Tests of the instruction pool: live blocks never share memory, blocks freed
// on another thread or after a thread's end are handed out safely again, and
// instructions deleted through the base class return their own size.
#include "bytecode/instruction_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "bytecode/opcode_jumps.h"
#include "bytecode/opcode_misc.h"

namespace quillet {
namespace {

struct Block {
  uint8_t* at;
  size_t size;
  uint8_t fill;
};

// Allocates blocks of many sizes, each filled with its own byte.
std::vector<Block> FillBlocks(int count, uint8_t seed) {
  std::vector<Block> blocks;
  for (int i = 0; i < count; ++i) {
    const size_t size = 1 + static_cast<size_t>(i * 37) % (instruction_pool::kLargestPooled + 64);
    auto* at = static_cast<uint8_t*>(instruction_pool::Allocate(size));
    const auto fill = static_cast<uint8_t>(seed + i);
    std::memset(at, fill, size);
    blocks.push_back({at, size, fill});
  }
  return blocks;
}

// True when every block still holds only its own byte: two live blocks that
// overlapped would have overwritten each other.
bool Intact(const std::vector<Block>& blocks) {
  for (const Block& b : blocks) {
    for (size_t k = 0; k < b.size; ++k) {
      if (b.at[k] != b.fill) return false;
    }
  }
  return true;
}

void ReleaseAll(const std::vector<Block>& blocks) {
  for (const Block& b : blocks) instruction_pool::Release(b.at, b.size);
}

TEST(InstructionPool, LiveBlocksAreDistinctAlignedAndReusedAfterRelease) {
  std::vector<Block> first = FillBlocks(3000, 1);
  EXPECT_TRUE(Intact(first));
  for (const Block& b : first) EXPECT_EQ(reinterpret_cast<uintptr_t>(b.at) % alignof(std::max_align_t), 0u);
  // Free every other block, then allocate again over the holes.
  std::vector<Block> kept;
  for (size_t i = 0; i < first.size(); ++i) {
    if (i % 2 == 0) {
      instruction_pool::Release(first[i].at, first[i].size);
    } else {
      kept.push_back(first[i]);
    }
  }
  std::vector<Block> second = FillBlocks(3000, 101);
  EXPECT_TRUE(Intact(kept));
  EXPECT_TRUE(Intact(second));
  ReleaseAll(kept);
  ReleaseAll(second);
  instruction_pool::Release(nullptr, 16);  // ignored
}

TEST(InstructionPool, BlocksFreedOnOtherThreadsAndAfterTheirEndAreHandedOutSafely) {
  // Thread A allocates; thread B frees them and ends, handing its lists to
  // the shared pool; several threads then allocate at once.
  std::vector<Block> fromA;
  std::thread a([&] { fromA = FillBlocks(2000, 7); });
  a.join();
  EXPECT_TRUE(Intact(fromA));
  std::thread b([&] { ReleaseAll(fromA); });
  b.join();

  constexpr int kThreads = 4;
  std::vector<std::vector<Block>> live(kThreads);
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int round = 0; round < 20; ++round) {
        std::vector<Block> blocks = FillBlocks(200, static_cast<uint8_t>(t * 50 + round));
        if (!Intact(blocks)) ADD_FAILURE() << "thread " << t << " round " << round;
        ReleaseAll(blocks);
      }
      live[static_cast<size_t>(t)] = FillBlocks(500, static_cast<uint8_t>(200 + t));
    });
  }
  for (std::thread& w : workers) w.join();
  for (const auto& blocks : live) EXPECT_TRUE(Intact(blocks));
  // Blocks of ended threads freed here, by a thread that did not make them.
  for (const auto& blocks : live) ReleaseAll(blocks);
}

TEST(InstructionPool, InstructionsOfDifferentSizesRoundTripThroughTheBaseClass) {
  // Deleting through COpCode* passes each class's own size back: a wrong size
  // would put the block on another size's list and hand it out too small.
  for (int round = 0; round < 3; ++round) {
    std::vector<std::unique_ptr<COpCode>> list;
    for (int i = 0; i < 500; ++i) {
      if (i % 3 == 0) {
        auto line = std::make_unique<OpLine>(static_cast<uint16_t>(i));
        line->AddAnnotation(i, "End If");
        list.push_back(std::move(line));
      } else if (i % 3 == 1) {
        list.push_back(std::make_unique<OpStmtSep>());
      } else {
        list.push_back(std::make_unique<OpJmp>());
      }
      list.back()->offset = i;
    }
    for (int i = 0; i < 500; ++i) {
      ASSERT_EQ(list[static_cast<size_t>(i)]->offset, i);
      if (i % 3 == 0) {
        const auto& line = static_cast<const OpLine&>(*list[static_cast<size_t>(i)]);
        ASSERT_EQ(line.line, i);
        ASSERT_EQ(line.annotations.size(), 1u);
      }
    }
  }
}

}  // namespace
}  // namespace quillet
