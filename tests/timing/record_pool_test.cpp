// The record pool's chunks: small ones first, then large-page ones, all
// taken from and given back to the system.
#include "timing/record_pool.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/page_memory.h"

namespace quillet {
namespace {

TEST(RecordPool, SmallChunksUpTo2MiBThenLargePagesAllGivenBackOnClear) {
  const size_t heldBefore = platform::PagesHeld();
  RecordPool pool;
  std::vector<CallRecord*> records;
  std::vector<size_t> reserved;
  constexpr uint32_t kRecords = 200000;  // about 9 MiB
  for (uint32_t i = 0; i < kRecords; ++i) {
    CallRecord* r = pool.NewRecord();
    EXPECT_EQ(r->FirstChild, nullptr);
    r->Key = i;
    r->Elapsed = static_cast<int64_t>(i) * 3;
    records.push_back(r);
    if (reserved.empty() || reserved.back() != pool.BytesReserved()) reserved.push_back(pool.BytesReserved());
  }
  ASSERT_GT(reserved.size(), 9u);
  for (size_t i = 0; i < reserved.size(); ++i) {
    const size_t step = reserved[i] - (i == 0 ? 0 : reserved[i - 1]);
    EXPECT_EQ(step, reserved[i] <= platform::kLargePageSize ? size_t{256 * 1024} : RecordPool::kLargeChunkSize) << i;
  }
  EXPECT_EQ(pool.BytesInUse(), size_t{kRecords} * sizeof(CallRecord));
  EXPECT_EQ(platform::PagesHeld(), heldBefore + pool.BytesReserved());
  for (uint32_t i = 0; i < kRecords; ++i) {  // no record overlaps another across chunk ends
    ASSERT_EQ(records[i]->Key, i);
    ASSERT_EQ(records[i]->Elapsed, static_cast<int64_t>(i) * 3);
  }
  pool.Clear();
  EXPECT_EQ(pool.BytesReserved(), 0u);
  EXPECT_EQ(platform::PagesHeld(), heldBefore);
}

}  // namespace
}  // namespace quillet
