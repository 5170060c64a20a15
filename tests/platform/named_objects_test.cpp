// Tests of named mutexes and events: Win32 semantics across threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/platform.h"

namespace quillet::platform {
namespace {

TEST(NamedEvent, CreateOpenAndLifetimeFollowHandles) {
  bool existed = true;
  const Handle first = CreateNamedEvent(u"PROFILER_RUNNING", true, false, &existed);
  ASSERT_NE(first, 0u);
  EXPECT_FALSE(existed);
  const Handle second = CreateNamedEvent(u"PROFILER_RUNNING", false, true, &existed);
  ASSERT_NE(second, 0u);
  EXPECT_TRUE(existed);
  EXPECT_NE(second, first);
  EXPECT_EQ(WaitForSingleObject(second, 0), WaitResult::kTimeout);  // the first creation's state counts
  const Handle opened = OpenNamedEvent(u"PROFILER_RUNNING");
  ASSERT_NE(opened, 0u);
  EXPECT_EQ(OpenNamedEvent(u"profiler_running"), 0u);  // names are case-sensitive
  EXPECT_EQ(OpenNamedEvent(u"NO_SUCH_EVENT"), 0u);
  ASSERT_TRUE(SetEvent(opened));  // every handle reaches the one object
  EXPECT_EQ(WaitForSingleObject(first, 0), WaitResult::kSignaled);
  EXPECT_TRUE(CloseHandle(first));
  EXPECT_TRUE(CloseHandle(second));
  EXPECT_FALSE(CloseHandle(second));
  EXPECT_EQ(WaitForSingleObject(second, 0), WaitResult::kFailed);
  const Handle reopened = OpenNamedEvent(u"PROFILER_RUNNING");  // `opened` still holds the object
  EXPECT_NE(reopened, 0u);
  EXPECT_TRUE(CloseHandle(opened));
  EXPECT_TRUE(CloseHandle(reopened));
  EXPECT_EQ(OpenNamedEvent(u"PROFILER_RUNNING"), 0u);
}

TEST(NamedEvent, ObjectVanishesWithLastHandle) {
  const Handle event = CreateNamedEvent(u"GONE", true, true);
  ASSERT_TRUE(CloseHandle(event));
  EXPECT_EQ(OpenNamedEvent(u"GONE"), 0u);
  bool existed = true;
  const Handle again = CreateNamedEvent(u"GONE", true, false, &existed);
  EXPECT_FALSE(existed);
  EXPECT_EQ(WaitForSingleObject(again, 0), WaitResult::kTimeout);  // a fresh, unsignaled object
  CloseHandle(again);
}

TEST(NamedEvent, ManualResetStaysSignaledUntilReset) {
  const Handle event = CreateNamedEvent(u"MANUAL", true, false);
  EXPECT_EQ(WaitForSingleObject(event, 10), WaitResult::kTimeout);
  ASSERT_TRUE(SetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WaitResult::kSignaled);
  EXPECT_EQ(WaitForSingleObject(event, kInfinite), WaitResult::kSignaled);
  ASSERT_TRUE(ResetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WaitResult::kTimeout);
  CloseHandle(event);
}

TEST(NamedEvent, SetWakesWaiterOnAnotherThread) {
  const Handle event = CreateNamedEvent(u"WAKE", true, false);
  std::atomic<int> result{-1};
  std::thread waiter([&] { result = static_cast<int>(WaitForSingleObject(event, kInfinite)); });
  SleepMilliseconds(5);
  EXPECT_EQ(result, -1);
  ASSERT_TRUE(SetEvent(event));
  waiter.join();
  EXPECT_EQ(result, static_cast<int>(WaitResult::kSignaled));
  CloseHandle(event);
}

TEST(NamedEvent, AutoResetReleasesExactlyOneWaiter) {
  const Handle event = CreateNamedEvent(u"AUTO", false, false);
  std::atomic<int> released{0};
  auto wait = [&] {
    if (WaitForSingleObject(event, 50) == WaitResult::kSignaled) ++released;
  };
  std::thread a(wait), b(wait);
  SleepMilliseconds(5);
  ASSERT_TRUE(SetEvent(event));
  a.join();
  b.join();
  EXPECT_EQ(released, 1);
  EXPECT_EQ(WaitForSingleObject(event, 0), WaitResult::kTimeout);  // the signal was consumed
  CloseHandle(event);
}

TEST(NamedMutex, CreateExistingAndRecursiveOwnership) {
  bool existed = true;
  const Handle mutex = CreateNamedMutex(u"BCPROFILER_MUTEX", &existed);
  ASSERT_NE(mutex, 0u);
  EXPECT_FALSE(existed);
  const Handle same = CreateNamedMutex(u"BCPROFILER_MUTEX", &existed);
  EXPECT_TRUE(existed);
  EXPECT_EQ(CreateNamedEvent(u"BCPROFILER_MUTEX", true, false), 0u);  // one name space
  EXPECT_EQ(OpenNamedEvent(u"BCPROFILER_MUTEX"), 0u);
  EXPECT_FALSE(SetEvent(mutex));
  EXPECT_FALSE(ReleaseMutex(mutex));  // created not owned

  ASSERT_EQ(WaitForSingleObject(mutex, 0), WaitResult::kSignaled);
  ASSERT_EQ(WaitForSingleObject(same, 0), WaitResult::kSignaled);  // recursive for the owner
  std::atomic<int> other{-1};
  std::thread([&] { other = static_cast<int>(WaitForSingleObject(same, 10)); }).join();
  EXPECT_EQ(other, static_cast<int>(WaitResult::kTimeout));
  std::thread([&] { other = ReleaseMutex(mutex) ? 1 : 0; }).join();
  EXPECT_EQ(other, 0);  // only the owner releases

  EXPECT_TRUE(ReleaseMutex(mutex));
  std::thread([&] { other = static_cast<int>(WaitForSingleObject(same, 10)); }).join();
  EXPECT_EQ(other, static_cast<int>(WaitResult::kTimeout));  // still held once
  EXPECT_TRUE(ReleaseMutex(same));
  EXPECT_FALSE(ReleaseMutex(same));
  std::thread([&] {
    other = static_cast<int>(WaitForSingleObject(same, 10));
    ReleaseMutex(same);
  }).join();
  EXPECT_EQ(other, static_cast<int>(WaitResult::kSignaled));
  CloseHandle(mutex);
  CloseHandle(same);
}

TEST(NamedObjects, BadHandlesFail) {
  EXPECT_EQ(WaitForSingleObject(0, 0), WaitResult::kFailed);
  EXPECT_FALSE(SetEvent(0));
  EXPECT_FALSE(ResetEvent(12345));
  EXPECT_FALSE(CloseHandle(0));
  const Handle unnamed1 = CreateNamedEvent(u"", true, false);
  const Handle unnamed2 = CreateNamedEvent(u"", true, true);
  EXPECT_EQ(WaitForSingleObject(unnamed1, 0), WaitResult::kTimeout);  // unnamed objects are distinct
  EXPECT_EQ(WaitForSingleObject(unnamed2, 0), WaitResult::kSignaled);
  EXPECT_EQ(OpenNamedEvent(u""), 0u);
  CloseHandle(unnamed1);
  CloseHandle(unnamed2);
}

}  // namespace
}  // namespace quillet::platform
