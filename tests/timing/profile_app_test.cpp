// Tests of the profile context: timer operations, watch list, resets, report file.
#include "timing/profile_app.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <new>

#include "config/settings.h"
#include "sim/scoped_sim_host.h"
#include "timing/report_format.h"
#include "timing/report_reader.h"

namespace quillet {
namespace {

int64_t gNow = 0;
int64_t TestCounter() { return gNow += 5; }

class ProfileAppTest : public ::testing::Test {
 protected:
  std::string PathIn(const std::string& name) const { return host_.dataDirectory() + "/" + name; }

  sim::ScopedSimHost host_;
  CLSProfileApp app_{"AMGR", "", 0x54, &TestCounter, 1000};
};

std::vector<const CallRecord*> Children(const CallRecord& r) {
  std::vector<const CallRecord*> out;
  for (const CallRecord* c = r.FirstChild; c != nullptr; c = c->NextSibling) out.push_back(c);
  return out;
}

TEST_F(ProfileAppTest, LineWithNoOpenCallEntersItsProcedureAsARoot) {
  app_.TimerLine(0x50001, 9, 12);
  app_.TimerEnter(0x50001, 10);  // called from the line: a child of the new root
  app_.TimerExit(0x50001, 10);
  ASSERT_EQ(app_.Data.RootCount(), 1u);
  const CallRecord& root = *app_.Data.FirstRoot();
  EXPECT_EQ(root.ProcedureId, 9u);
  ASSERT_EQ(app_.Data.CallStack().size(), 1u);
  EXPECT_EQ(app_.Data.CallStack()[0].CurrentLine, 12);
  ASSERT_EQ(Children(root).size(), 1u);
  EXPECT_EQ(Children(root)[0]->ProcedureId, 10u);
  EXPECT_EQ(app_.Data.CallStack().size(), 1u);  // the root stays open until an exit
}

TEST_F(ProfileAppTest, EnterRecordsTheRemappedKeyAndExitIgnoresItsArguments) {
  app_.KeyRemap[0x1111] = 0x2222;
  app_.TimerEnter(0x1111, 3);
  app_.TimerEnter(0x3333, 4);
  app_.TimerExit(0xDEAD, 99);  // closes the innermost call whatever it names
  EXPECT_EQ(app_.Data.FirstRoot()->Key, 0x2222u);
  EXPECT_EQ(app_.Data.FirstRoot()->FirstChild->Key, 0x3333u);
  EXPECT_GT(app_.Data.FirstRoot()->FirstChild->Elapsed, 0);
  EXPECT_EQ(app_.Data.FirstRoot()->Elapsed, 0);
  app_.TimerExit(0, 0);
  app_.TimerExit(0, 0);  // nothing open: ignored
  EXPECT_TRUE(app_.Data.CallStack().empty());
  EXPECT_GT(app_.Data.FirstRoot()->Elapsed, 0);
}

TEST_F(ProfileAppTest, WatchListKeepsItsFirstEntryUnique) {
  EXPECT_FALSE(app_.IsWatchedDatabase("apps/a.nsf"));
  app_.AddDatabase("apps/a.nsf");
  app_.AddDatabase("apps/a.nsf");
  app_.AddDatabase("apps/b.nsf");
  app_.AddDatabase("apps/b.nsf");  // only the first entry is checked
  app_.AddDatabase("APPS/A.NSF");  // compared exactly
  EXPECT_EQ(app_.Databases, (std::vector<std::string>{"apps/a.nsf", "apps/b.nsf", "apps/b.nsf", "APPS/A.NSF"}));
  EXPECT_TRUE(app_.IsWatchedDatabase("apps/a.nsf"));
  EXPECT_FALSE(app_.IsWatchedDatabase("apps/b.nsf"));
  EXPECT_FALSE(app_.IsWatchedDatabase("APPS/A.NSF"));
  app_.ClearDatabases();
  EXPECT_FALSE(app_.IsWatchedDatabase("apps/a.nsf"));
}

TEST_F(ProfileAppTest, ResetContextRereadsTheSettingAndClearsOnlyWhenAsked) {
  WriteSetting("Other", "1");  // a settings file without the key
  app_.LineTimerHandle = app_.FunctionTimerHandle = app_.TimerClassHandle = app_.SpareHandle = 7;
  app_.KeyRemap[1] = 2;
  app_.Messages.push_back("warning");
  app_.TimerEnter(1, 1);
  app_.ResetContext(true, false, kKeepContextFlags);
  EXPECT_TRUE(app_.Collecting);
  EXPECT_EQ(app_.FilterBindEvents, 1);  // absent setting leaves it
  EXPECT_EQ(app_.ContextFlags, 0x54);
  EXPECT_EQ(app_.LineTimerHandle, kNoSymbolHandle);
  EXPECT_EQ(app_.SpareHandle, kNoSymbolHandle);
  EXPECT_EQ(app_.Data.RootCount(), 1u);

  WriteSetting("FilterBindEvents", "2");
  app_.ResetContext(false, false, 0x10);
  EXPECT_EQ(app_.FilterBindEvents, 1);
  EXPECT_EQ(app_.ContextFlags, 0x10);
  WriteSetting("FilterBindEvents", "0");
  app_.ResetContext(false, true, 0x10);
  EXPECT_EQ(app_.FilterBindEvents, 0);
  EXPECT_EQ(app_.Data.RootCount(), 0u);
  EXPECT_TRUE(app_.Data.CallStack().empty());
  EXPECT_TRUE(app_.Messages.empty());
  EXPECT_EQ(app_.KeyRemap.size(), 1u);  // kept across resets
}

ProcedureInfo Procedure(uint32_t handle, const std::string& db, const std::string& name) {
  ProcedureInfo p;
  p.ProcedureId = handle;
  p.DatabasePath = db;
  p.FullName = name;
  return p;
}

TEST_F(ProfileAppTest, ReportHoldsWatchedAndCacheProceduresAndTheWholeTree) {
  CLSProfileApp server("AMGR", "Srv/Acme", 0x54, &TestCounter, 1000);
  server.AddDatabase("apps/a.nsf");
  server.Data.AddProcedure(1, Procedure(1, "Srv/Acme!!APPS/A.NSF", "WATCHED"));  // case ignored
  server.Data.AddProcedure(1, Procedure(2, "apps/other.nsf", "OTHER"));
  server.Data.AddProcedure(1, Procedure(3, "cache.dsk", "CACHED"));
  server.TimerEnter(1, 2);
  server.TimerLine(1, 2, 4);
  server.TimerExit(1, 2);
  server.Messages.push_back("Instrument Lines: Jump too big: Initialize.");
  const std::string path = PathIn("report.zvk");
  ASSERT_TRUE(server.WriteReport(path.c_str(), true));

  Report report;
  ReportError error;
  ASSERT_TRUE(ReadReportFile(path, report, error)) << error.Text;
  ASSERT_EQ(report.Procedures.size(), 2u);
  EXPECT_EQ(report.Procedures[0].FullName, "WATCHED");
  EXPECT_EQ(report.Procedures[1].FullName, "CACHED");
  ASSERT_EQ(report.Roots.size(), 1u);
  EXPECT_EQ(report.Calls[0].ProcedureId, 2u);  // the left-out procedure's call stays
  EXPECT_EQ(report.Calls[0].Lines.size(), 1u);
  EXPECT_EQ(report.Messages, server.Messages);
  EXPECT_TRUE(server.Collecting);
  // Writing does not consume the data.
  EXPECT_EQ(server.Data.RootCount(), 1u);
}

TEST_F(ProfileAppTest, WritingTwiceLeavesOnlyTheSecondReport) {
  const std::string path = PathIn("twice.zvk");
  app_.Messages.push_back(std::string(500, 'w'));
  ASSERT_TRUE(app_.WriteReport(path.c_str(), false));
  const auto firstSize = std::filesystem::file_size(path);
  app_.Messages.clear();
  ASSERT_TRUE(app_.WriteReport(path.c_str(), false));
  EXPECT_EQ(std::filesystem::file_size(path), report::kEmptyReportSize);
  EXPECT_GT(firstSize, report::kEmptyReportSize);
}

TEST_F(ProfileAppTest, FailuresToOpenOrWriteAreReportedAndKeepTheData) {
  app_.TimerEnter(1, 1);
  app_.TimerExit(1, 1);
  EXPECT_TRUE(app_.WriteReport(nullptr, true));  // nothing to write
  const std::string missingDir = PathIn("no/such/dir/report.zvk");
  EXPECT_FALSE(app_.WriteReport(missingDir.c_str(), false));
  EXPECT_FALSE(std::filesystem::exists(missingDir));
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_FALSE(app_.WriteReport("/dev/full", false));  // opens, then every write fails
  }
  EXPECT_EQ(app_.Data.RootCount(), 1u);
  const std::string path = PathIn("after.zvk");
  ASSERT_TRUE(app_.WriteReport(path.c_str(), false));
  EXPECT_EQ(std::filesystem::file_size(path), report::kEmptyReportSize + report::kCallRecordFixedSize);
}

// The report `app` writes to `path`, read back; empty when either step fails.
Report WrittenReport(CLSProfileApp& app, const std::string& path) {
  Report report;
  ReportError error;
  EXPECT_TRUE(app.WriteReport(path.c_str(), true));
  EXPECT_TRUE(ReadReportFile(path, report, error)) << error.Text;
  return report;
}

TEST_F(ProfileAppTest, MemoryLimitDropsCallsSaysSoOnceAndCountsThemInTheReport) {
  EXPECT_EQ(app_.Data.MemoryLimit(), MegabytesToBytes(kDefaultMaxProfileMemoryMB));
  WriteSetting("MaxProfileMemoryMB", "1");
  app_.ResetContext(true, false, kKeepContextFlags);
  EXPECT_EQ(app_.Data.MemoryLimit(), uint64_t{1} << 20);
  app_.Messages.push_back("warning");
  host_->ClearConsole();

  app_.TimerEnter(1, 1);
  constexpr int kCalls = 60000;  // about 2.7 MiB of records without a limit
  for (int i = 0; i < kCalls; ++i) {
    app_.TimerEnter(1, 2);
    app_.TimerLine(1, 2, 7);
    app_.TimerExit(1, 2);
  }
  app_.TimerExit(1, 1);
  const uint64_t dropped = app_.Data.DroppedCalls();
  ASSERT_GT(dropped, 0u);
  EXPECT_EQ(app_.Data.FirstRoot()->ChildCount + dropped, static_cast<uint64_t>(kCalls));
  const std::vector<std::string> console = host_->ConsoleLines();
  ASSERT_EQ(console.size(), 1u);
  EXPECT_NE(console[0].find("1 MB"), std::string::npos);

  const Report report = WrittenReport(app_, PathIn("limited.zvk"));
  ASSERT_EQ(report.Messages.size(), 2u);
  EXPECT_EQ(report.Messages[0], "warning");
  EXPECT_EQ(report.Messages[1], DroppedCallsMessage(dropped, 1));
  EXPECT_NE(report.Messages[1].find(std::to_string(dropped)), std::string::npos);
  EXPECT_EQ(app_.Messages.size(), 1u);  // the count is the report's, not a rewrite warning

  // A cleared context starts counting again and may say so again.
  WriteSetting("MaxProfileMemoryMB", "0");  // not a size: the default applies
  app_.ResetContext(true, true, kKeepContextFlags);
  EXPECT_EQ(app_.Data.MemoryLimit(), MegabytesToBytes(kDefaultMaxProfileMemoryMB));
  app_.TimerEnter(1, 1);
  EXPECT_EQ(app_.Data.DroppedCalls(), 0u);
  EXPECT_EQ(host_->ConsoleLines().size(), 1u);
}

// A counter whose next reading fails once when asked, the way a failed
// allocation inside an entry would: the export's guard swallows the throw.
bool gFailNextReading = false;
int64_t FailingCounter() {
  if (gFailNextReading) {
    gFailNextReading = false;
    throw std::bad_alloc();
  }
  return gNow += 5;
}

class FailedEnterTest : public ::testing::Test {
 protected:
  void FailingEnter(uint32_t key, uint32_t handle) {
    gFailNextReading = true;
    EXPECT_THROW(app_.TimerEnter(key, handle), std::bad_alloc);
  }
  sim::ScopedSimHost host_;
  CLSProfileApp app_{"AMGR", "", 0x54, &FailingCounter, 1000};
};

// The failed call keeps its place: its lines and callees stay out of its
// caller, its exit closes nothing else, and the caller's later lines and
// exit land on the caller.
TEST_F(FailedEnterTest, AFailedEnterStillPairsWithItsExit) {
  app_.TimerEnter(0x50001, 1);
  app_.TimerLine(0x50001, 1, 10);
  FailingEnter(0x50001, 2);
  app_.TimerLine(0x50001, 2, 20);
  app_.TimerEnter(0x50001, 3);
  app_.TimerLine(0x50001, 3, 30);
  app_.TimerExit(0x50001, 3);
  app_.TimerExit(0x50001, 2);
  EXPECT_EQ(app_.Data.CallStack().size(), 1u);
  app_.TimerLine(0x50001, 1, 11);
  app_.TimerExit(0x50001, 1);
  app_.TimerEnter(0x50001, 4);
  app_.TimerExit(0x50001, 4);

  EXPECT_TRUE(app_.Data.CallStack().empty());
  ASSERT_EQ(app_.Data.RootCount(), 2u);
  const CallRecord& root = *app_.Data.FirstRoot();
  EXPECT_EQ(root.ProcedureId, 1u);
  EXPECT_EQ(root.ChildCount, 0u);
  EXPECT_EQ(root.FirstChild, nullptr);
  ASSERT_EQ(root.Lines().size(), 2u);
  EXPECT_NE(root.Lines().Find(10), nullptr);
  EXPECT_NE(root.Lines().Find(11), nullptr);
  EXPECT_EQ(root.NextSibling->ProcedureId, 4u);
  EXPECT_EQ(app_.Data.DroppedCalls(), 0u);  // no memory limit was met
}

TEST_F(FailedEnterTest, AFailedRootLeavesNoCallOpenAfterItsExit) {
  FailingEnter(0x50001, 1);
  app_.TimerLine(0x50001, 1, 10);  // the failed root's line opens no other root
  app_.TimerExit(0x50001, 1);
  EXPECT_EQ(app_.Data.RootCount(), 0u);
  app_.TimerLine(0x50001, 2, 12);  // a line with nothing open enters its procedure
  ASSERT_EQ(app_.Data.RootCount(), 1u);
  EXPECT_EQ(app_.Data.FirstRoot()->ProcedureId, 2u);

  FailingEnter(0x50001, 3);  // fails inside the open root
  app_.Data.Clear();         // drops every open call, the failed one too
  app_.TimerEnter(0x50001, 5);
  app_.TimerExit(0x50001, 5);
  ASSERT_EQ(app_.Data.RootCount(), 1u);
  EXPECT_EQ(app_.Data.FirstRoot()->ProcedureId, 5u);
  EXPECT_GT(app_.Data.FirstRoot()->Elapsed, 0);
  EXPECT_TRUE(app_.Data.CallStack().empty());
}

}  // namespace
}  // namespace quillet
