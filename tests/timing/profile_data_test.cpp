// Tests of the call-tree bookkeeping, under a clock the test controls.
#include "timing/profile_data.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace quillet {
namespace {

// Each reading returns the set time and then moves it on by one tick, so the
// test can tell the first reading of an event from the second.
int64_t gNow = 0;
int64_t TestCounter() { return gNow++; }

std::vector<const CallRecord*> Children(const CallRecord& r) {
  std::vector<const CallRecord*> out;
  for (const CallRecord* c = r.FirstChild; c != nullptr; c = c->NextSibling) out.push_back(c);
  return out;
}

TEST(CProfileData, LinesOfOneCallAreCountedAndTimedUntilTheNextEvent) {
  CProfileData data(&TestCounter, 1000);
  gNow = 100;
  data.Enter({7, 1});
  gNow = 200;
  data.Line(10);  // one reading: the line starts at 200
  gNow = 300;
  data.Line(11);  // the reading 300 closes line 10 and starts line 11
  gNow = 450;
  data.Exit();
  ASSERT_EQ(data.RootCount(), 1u);
  const CallRecord& a = *data.FirstRoot();
  EXPECT_EQ(a.IsRoot, 1);
  EXPECT_EQ(a.Elapsed, 350);
  ASSERT_EQ(a.Lines().size(), 2u);
  EXPECT_EQ(a.Lines().Find(10)->Count, 1);
  EXPECT_EQ(a.Lines().Find(10)->Total, 100);
  EXPECT_EQ(a.Lines().Find(11)->Count, 1);
  EXPECT_EQ(a.Lines().Find(11)->Total, 150);
  EXPECT_TRUE(data.CallStack().empty());
}

// Line argument 0xFFFF is a line like any other: timed from its call to the
// next event, and it leaves no line open after the exit.
TEST(LineEntry, PassCountStopsAtItsLimitWhileTimeAddsUp) {
  LineEntry entry{7, INT32_MAX - 1, 100};
  entry.AddPass(5);
  EXPECT_EQ(entry.Count, INT32_MAX);
  entry.AddPass(5);  // the two-billion-and-first pass of one call
  EXPECT_EQ(entry.Count, INT32_MAX);
  EXPECT_EQ(entry.Total, 110);
  EXPECT_EQ(entry.Line, 7);
}

TEST(CProfileData, LineArgumentFFFFIsTimedLikeAnyOther) {
  CProfileData data(&TestCounter, 1000);
  gNow = 0;
  data.Enter({7, 1});
  gNow = 10;
  data.Line(0xFFFF);  // starts at 10
  gNow = 40;
  data.Line(3);  // closes 0xFFFF at 40, starts line 3 there
  gNow = 50;
  data.Line(0xFFFF);  // closes line 3 at 50
  gNow = 70;
  data.Exit();  // closes 0xFFFF again at 70
  const CallRecord& a = *data.FirstRoot();
  ASSERT_EQ(a.Lines().size(), 2u);
  ASSERT_NE(a.Lines().Find(0xFFFF), nullptr);
  EXPECT_EQ(a.Lines().Find(0xFFFF)->Count, 2);
  EXPECT_EQ(a.Lines().Find(0xFFFF)->Total, 30 + 20);
  EXPECT_EQ(a.Lines().Find(3)->Total, 10);
  EXPECT_TRUE(data.CallStack().empty());
}

TEST(CProfileData, ALineIncludesTheCallsMadeFromIt) {
  CProfileData data(&TestCounter, 1000);
  gNow = 0;
  data.Enter({1, 1});
  gNow = 100;
  data.Line(10);  // line starts at 100
  gNow = 200;
  data.Enter({1, 2});
  gNow = 300;
  data.Exit();
  gNow = 400;
  data.Line(10);  // 400 - 100, then restarts at 400
  gNow = 500;
  data.Exit();
  const CallRecord& a = *data.FirstRoot();
  const auto kids = Children(a);
  ASSERT_EQ(kids.size(), 1u);
  EXPECT_EQ(kids[0]->ProcedureId, 2u);
  EXPECT_EQ(kids[0]->IsRoot, 0);
  EXPECT_EQ(kids[0]->Elapsed, 100);
  ASSERT_EQ(a.Lines().size(), 1u);
  EXPECT_EQ(a.Lines().Find(10)->Count, 2);
  EXPECT_EQ(a.Lines().Find(10)->Total, 300 + 100);
  EXPECT_EQ(a.ChildCount, 1u);
}

TEST(CProfileData, CallsOnAnEmptyStackBecomeRootsInStartOrder) {
  CProfileData data(&TestCounter, 1000);
  data.Enter({1, 1});
  data.Enter({1, 2});
  data.Exit();
  data.Enter({1, 3});
  data.Exit();
  data.Exit();
  data.Enter({2, 4});
  ASSERT_EQ(data.RootCount(), 2u);
  EXPECT_EQ(data.FirstRoot()->ProcedureId, 1u);
  EXPECT_EQ(data.FirstRoot()->NextSibling->ProcedureId, 4u);
  const auto kids = Children(*data.FirstRoot());
  ASSERT_EQ(kids.size(), 2u);
  EXPECT_EQ(kids[0]->ProcedureId, 2u);
  EXPECT_EQ(kids[1]->ProcedureId, 3u);
  EXPECT_EQ(data.FirstRoot()->ChildCount, 2u);
  EXPECT_EQ(kids[0]->ChildCount, 0u);
  EXPECT_EQ(data.FirstRoot()->NextSibling->ChildCount, 0u);  // roots are not each other's children
  // The second root is still open: not exited, no elapsed time.
  ASSERT_EQ(data.CallStack().size(), 1u);
  EXPECT_EQ(data.FirstRoot()->NextSibling->Elapsed, 0);
}

TEST(CProfileData, ExitAndLineWithNoOpenCallAreIgnored) {
  CProfileData data(&TestCounter, 1000);
  data.Exit();
  data.Line(5);
  EXPECT_EQ(data.RootCount(), 0u);
  data.Enter({1, 1});
  data.Exit();
  data.Exit();  // one exit too many
  data.Line(5);
  ASSERT_EQ(data.RootCount(), 1u);
  EXPECT_TRUE(data.FirstRoot()->Lines().empty());
}

TEST(CProfileData, ClearWithOpenCallsEmptiesTheStackSoLaterEventsAreSafe) {
  CProfileData data(&TestCounter, 1000);
  ProcedureInfo info;
  info.ProcedureId = 3;
  data.AddProcedure(9, info);
  data.Enter({1, 1});
  data.Line(4);
  data.Enter({1, 2});
  data.Clear();
  EXPECT_TRUE(data.CallStack().empty());
  EXPECT_EQ(data.RootCount(), 0u);
  EXPECT_TRUE(data.Procedures().empty());
  data.Line(6);  // would have touched a destroyed record
  data.Exit();
  data.Enter({1, 5});
  ASSERT_EQ(data.RootCount(), 1u);
  EXPECT_EQ(data.FirstRoot()->IsRoot, 1);
  EXPECT_EQ(data.FirstRoot()->ProcedureId, 5u);
}

TEST(CProfileData, LinesStayOrderedWhateverTheirArrivalOrder) {
  CProfileData data(&TestCounter, 1000);
  data.Enter({1, 1});
  const int32_t order[] = {50, 10, 30, 10, 70, 20, 60, 40, 30, 5, 80, -3};
  for (int32_t line : order) data.Line(line);
  data.Exit();
  const LineTable lines = data.FirstRoot()->Lines();
  ASSERT_EQ(lines.size(), 10u);
  int32_t previous = INT32_MIN;
  for (const LineEntry& e : lines) {
    EXPECT_LT(previous, e.Line);
    previous = e.Line;
  }
  EXPECT_EQ(lines.Find(10)->Count, 2);
  EXPECT_EQ(lines.Find(30)->Count, 2);
  EXPECT_EQ(lines.Find(-3)->Count, 1);
  EXPECT_EQ(lines.Find(99), nullptr);
}

// A limit below one chunk of the pool: the first record takes a chunk, and
// every later call finds the limit reached.
TEST(CProfileData, CallsPastTheMemoryLimitAreCountedNotRecorded) {
  CProfileData data(&TestCounter, 1000);
  data.SetMemoryLimit(1);
  gNow = 0;
  data.Enter({1, 1});  // recorded: nothing is held yet
  gNow = 100;
  data.Line(5);  // starts at 100
  gNow = 200;
  data.Enter({1, 2});  // dropped
  data.Line(9);        // belongs to the dropped call: ignored
  data.Enter({1, 3});  // called from a dropped call: dropped too
  gNow = 250;
  data.Exit();  // closes the innermost dropped call only
  data.Exit();
  EXPECT_EQ(data.CallStack().size(), 1u);
  gNow = 400;
  data.Exit();  // closes line 5 at 400, the root at 400
  EXPECT_EQ(data.DroppedCalls(), 2u);
  ASSERT_EQ(data.RootCount(), 1u);
  const CallRecord& a = *data.FirstRoot();
  EXPECT_EQ(a.FirstChild, nullptr);
  EXPECT_EQ(a.Elapsed, 400);  // the dropped calls' time stays in their caller's
  ASSERT_EQ(a.Lines().size(), 1u);
  EXPECT_EQ(a.Lines().Find(5)->Total, 300);
  data.Enter({1, 4});  // a new root past the limit: dropped, and its exit closes nothing else
  data.Line(1);
  data.Exit();
  EXPECT_EQ(data.RootCount(), 1u);
  EXPECT_EQ(data.DroppedCalls(), 3u);
  EXPECT_TRUE(data.CallStack().empty());

  data.Clear();  // a clear starts the count again and frees the records
  EXPECT_EQ(data.DroppedCalls(), 0u);
  data.Enter({1, 5});
  EXPECT_EQ(data.RootCount(), 1u);
  EXPECT_EQ(data.DroppedCalls(), 0u);
}

TEST(CProfileData, RecordsStopGrowingAtTheLimit) {
  CProfileData data(&TestCounter, 1000);
  constexpr uint64_t kLimit = 1 << 20;
  data.SetMemoryLimit(kLimit);
  data.Enter({1, 1});
  constexpr int kCalls = 100000;  // far more than a MiB of records
  for (int i = 0; i < kCalls; ++i) {
    data.Enter({1, 2});
    data.Line(i % 3);
    data.Exit();
  }
  const uint64_t recorded = data.FirstRoot()->ChildCount;
  EXPECT_EQ(recorded, Children(*data.FirstRoot()).size());  // dropped calls are neither linked nor counted
  EXPECT_EQ(recorded + data.DroppedCalls(), static_cast<uint64_t>(kCalls));
  EXPECT_GT(data.DroppedCalls(), 0u);
  EXPECT_GE(data.Pool().BytesReserved(), kLimit);
  EXPECT_LT(data.Pool().BytesReserved(), kLimit + kLimit / 2);  // one chunk past it at most
}

// The open calls' state is what the stack shows; the records hold only what
// the report writes, and a finished call's lines take exactly their entries.
TEST(CProfileData, FinishedCallsKeepExactlyTheirLines) {
  CProfileData data(&TestCounter, 1000);
  data.Enter({1, 1});
  data.Line(1);
  uint64_t lines = 0;
  for (int calls = 0; calls < 50; ++calls) {
    data.Enter({1, 2});
    const int distinct = calls % 9;  // 0 to 8 lines, so most tables outgrow their room
    for (int k = 0; k < distinct; ++k) data.Line(distinct - k);  // descending: inserts at the front
    data.Line(1);
    data.Exit();
    lines += static_cast<uint64_t>(distinct == 0 ? 1 : distinct);
  }
  data.Exit();
  lines += 1;  // the root's line 1
  EXPECT_EQ(data.Pool().BytesInUse(), 51 * sizeof(CallRecord) + lines * sizeof(LineEntry));
  const CallRecord* c = data.FirstRoot()->FirstChild;
  for (int calls = 0; calls < 50; ++calls, c = c->NextSibling) {
    ASSERT_NE(c, nullptr);
    const int distinct = calls % 9;
    ASSERT_EQ(c->Lines().size(), static_cast<uint32_t>(distinct == 0 ? 1 : distinct));
    EXPECT_EQ(c->Lines().Find(1)->Count, distinct == 0 ? 1 : 2);
  }
}

TEST(CProfileData, AddProcedureReplacesAnEntryWithTheSameKey) {
  CProfileData data(&TestCounter, 1000);
  ProcedureInfo info;
  info.ProcedureId = 4;
  info.FullName = "FIRST";
  data.AddProcedure(0x10002, info);
  info.FullName = "SECOND";
  data.AddProcedure(0x10002, info);
  info.ProcedureId = 2;
  data.AddProcedure(0x10002, info);
  ASSERT_EQ(data.Procedures().size(), 2u);
  const auto& first = *data.Procedures().begin();
  EXPECT_EQ(first.first.ProcedureId, 2u);  // ordered by key, then handle
  const auto& entry = data.Procedures().at(ProcedureKey{0x10002, 4});
  EXPECT_EQ(entry->FullName, "SECOND");
  EXPECT_EQ(entry->Key, 0x10002u);
}

}  // namespace
}  // namespace quillet
