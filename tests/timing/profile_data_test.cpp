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
  data.Line(10);  // reads 200, starts the line at 201
  gNow = 300;
  data.Line(11);  // closes line 10 at 300, starts line 11 at 301
  gNow = 450;
  data.Exit();
  ASSERT_EQ(data.RootCount(), 1u);
  const CallRecord& a = *data.FirstRoot();
  EXPECT_EQ(a.IsRoot, 1);
  EXPECT_EQ(a.Elapsed, 350);
  ASSERT_EQ(a.Lines.size(), 2u);
  EXPECT_EQ(a.Lines.Find(10)->Count, 1);
  EXPECT_EQ(a.Lines.Find(10)->Total, 99);
  EXPECT_EQ(a.Lines.Find(11)->Count, 1);
  EXPECT_EQ(a.Lines.Find(11)->Total, 149);
  EXPECT_EQ(a.CurrentLine, kNoCurrentLine);
  EXPECT_EQ(a.LineStart, 0);
  EXPECT_TRUE(data.CallStack().empty());
}

// Line argument 0xFFFF is a line like any other: timed from its call to the
// next event, and it leaves no line open after the exit.
TEST(CProfileData, LineArgumentFFFFIsTimedLikeAnyOther) {
  CProfileData data(&TestCounter, 1000);
  gNow = 0;
  data.Enter({7, 1});
  gNow = 10;
  data.Line(0xFFFF);  // starts at 11
  gNow = 40;
  data.Line(3);  // closes 0xFFFF at 40, starts line 3 at 41
  gNow = 50;
  data.Line(0xFFFF);  // closes line 3 at 50
  gNow = 70;
  data.Exit();  // closes 0xFFFF again at 70
  const CallRecord& a = *data.FirstRoot();
  ASSERT_EQ(a.Lines.size(), 2u);
  ASSERT_NE(a.Lines.Find(0xFFFF), nullptr);
  EXPECT_EQ(a.Lines.Find(0xFFFF)->Count, 2);
  EXPECT_EQ(a.Lines.Find(0xFFFF)->Total, 29 + 19);
  EXPECT_EQ(a.Lines.Find(3)->Total, 9);
  EXPECT_EQ(a.LineOpen, 0);
  EXPECT_EQ(a.LineStart, 0);
}

TEST(CProfileData, ALineIncludesTheCallsMadeFromIt) {
  CProfileData data(&TestCounter, 1000);
  gNow = 0;
  data.Enter({1, 1});
  gNow = 100;
  data.Line(10);  // line starts at 101
  gNow = 200;
  data.Enter({1, 2});
  gNow = 300;
  data.Exit();
  gNow = 400;
  data.Line(10);  // 400 - 101, then restarts at 401
  gNow = 500;
  data.Exit();
  const CallRecord& a = *data.FirstRoot();
  const auto kids = Children(a);
  ASSERT_EQ(kids.size(), 1u);
  EXPECT_EQ(kids[0]->ProcedureId, 2u);
  EXPECT_EQ(kids[0]->IsRoot, 0);
  EXPECT_EQ(kids[0]->Elapsed, 100);
  ASSERT_EQ(a.Lines.size(), 1u);
  EXPECT_EQ(a.Lines.Find(10)->Count, 2);
  EXPECT_EQ(a.Lines.Find(10)->Total, 299 + 99);
  EXPECT_EQ(a.ChildCount(), 1u);
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
  EXPECT_TRUE(data.FirstRoot()->Lines.empty());
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
  const LineTable& lines = data.FirstRoot()->Lines;
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
