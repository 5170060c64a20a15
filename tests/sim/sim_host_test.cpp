// The simulated host's process services and controls: environment, console,
// clock, failure injection, modules and the scoped installation.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "platform/platform.h"
#include "sim/scoped_sim_host.h"

namespace quillet::sim {
namespace {

TEST(SimHostProcess, EnvironmentNamesIgnoreCaseAndIntegersReadLeadingDigits) {
  ScopedSimHost sim;
  SimHost& host = sim.host();
  std::string value;
  EXPECT_FALSE(host.EnvironmentString("KitType", value));
  EXPECT_EQ(host.EnvironmentInt("KitType"), 0);
  host.SetEnvironmentString("KitType", "2");
  EXPECT_EQ(host.EnvironmentInt("KITTYPE"), 2);
  ASSERT_TRUE(host.EnvironmentString("kittype", value));
  EXPECT_EQ(value, "2");
  host.SetEnvironmentString("Level", " -12abc");
  EXPECT_EQ(host.EnvironmentInt("Level"), -12);
  host.SetEnvironmentString("Level", "abc");
  EXPECT_EQ(host.EnvironmentInt("Level"), 0);
  host.SetEnvironmentString("Level", "99999999999");
  EXPECT_EQ(host.EnvironmentInt("Level"), INT32_MAX);
  host.SetEnvironmentString("Long", std::string(300, 'v'));
  ASSERT_TRUE(host.EnvironmentString("Long", value));
  EXPECT_EQ(value.size(), 255u);
  host.SetEnvironmentString("Long", "");
  EXPECT_FALSE(host.EnvironmentString("Long", value));  // an empty value removes the variable
}

TEST(SimHostProcess, ConsoleClockAndProcessQuery) {
  ScopedSimHost sim;
  SimHost& host = sim.host();
  host.ConsoleLine("PROFILER: error: 0x0103. x");
  EXPECT_EQ(host.ConsoleLines(), (std::vector<std::string>{"PROFILER: error: 0x0103. x"}));
  host.ClearConsole();
  EXPECT_TRUE(host.ConsoleLines().empty());

  const TimeDate before = host.CurrentTime();
  EXPECT_LT(host.MinimumTime().AsU64(), before.AsU64());
  host.AdvanceClock(100);
  EXPECT_EQ(TicksFromTime(host.CurrentTime()) - TicksFromTime(before), 100u);
  EXPECT_EQ(FormatTime(before), "2024-01-01 00:00:00");

  EXPECT_FALSE(host.ProcessQuery(3));
  host.SetProcessQueryFlag(true);
  EXPECT_TRUE(host.ProcessQuery(3));
  EXPECT_FALSE(host.ProcessQuery(2));
}

TEST(SimHostControl, FailNextFailsExactlyTheNamedOperationsInOrder) {
  ScopedSimHost sim;
  SimHost& host = sim.host();
  ASSERT_EQ(host.CreateDatabase("a.nsf"), kNoError);
  host.FailNext("DbOpen", kErrReadOnly);
  host.FailNext("DbOpen", kErrInvalidArgument);
  DbHandle db;
  EXPECT_EQ(host.DbOpen("a.nsf", db), kErrReadOnly);
  EXPECT_EQ(host.DbOpen("a.nsf", db), kErrInvalidArgument);
  EXPECT_EQ(host.DbOpen("a.nsf", db), kNoError);
  host.FailNext("ThreadInit", kErrReadOnly);
  EXPECT_EQ(host.ThreadInit(), kErrReadOnly);
  EXPECT_EQ(host.ActiveHostThreads(), 0);
  ASSERT_EQ(host.ThreadInit(), kNoError);
  EXPECT_EQ(host.ActiveHostThreads(), 1);
  host.ThreadTerm();
  EXPECT_EQ(host.ActiveHostThreads(), 0);
}

TEST(SimHostControl, LoadedModulesAndProcessIdentityAreUndoneWithTheHost) {
  {
    ScopedSimHost sim;
    sim->SetModuleLoaded(u"NNOTESWS.DLL", true);
    EXPECT_NE(platform::GetModuleHandle(u"nnotesws"), 0u);
    sim->SetProcessIdentity(u"C:\\Notes\\nlnotes.exe", u"nlnotes.exe -x");
    EXPECT_EQ(platform::CommandLine(), u"nlnotes.exe -x");
    sim->SetModuleLoaded(u"NNOTESWS.DLL", false);
    EXPECT_EQ(platform::GetModuleHandle(u"nnotesws"), 0u);
    sim->SetModuleLoaded(u"NNOTESWS.DLL", true);
  }
  EXPECT_EQ(platform::GetModuleHandle(u"nnotesws"), 0u);
  EXPECT_NE(platform::CommandLine(), u"nlnotes.exe -x");
}

TEST(SimHostControl, ScopedHostInstallsAFreshDataDirectoryAndRemovesIt) {
  std::string dir;
  {
    ScopedSimHost sim;
    dir = sim.dataDirectory();
    EXPECT_TRUE(std::filesystem::is_directory(dir));
    EXPECT_EQ(InstalledNotes(), &sim.host());
    EXPECT_EQ(Notes().DataDirectory(), dir);
    ScopedSimHost inner;
    EXPECT_NE(inner.dataDirectory(), dir);
  }
  EXPECT_EQ(InstalledNotes(), nullptr);
  EXPECT_FALSE(std::filesystem::exists(dir));
}

TEST(SimHostControl, ConcurrentCallersSeeConsistentState) {
  ScopedSimHost sim;
  SimHost& host = sim.host();
  ASSERT_EQ(host.CreateDatabase("busy.nsf"), kNoError);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&host, t] {
      for (int i = 0; i < 50; ++i) {
        NoteId id = 0;
        EXPECT_EQ(host.CreateNote("busy.nsf", kNoteClassDocument, {SimItemSpec::Number("N", i)}, id), kNoError);
        host.ConsoleLine("thread " + std::to_string(t));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  DbHandle db;
  ASSERT_EQ(host.DbOpen("busy.nsf", db), kNoError);
  TableHandle table;
  TimeDate until;
  ASSERT_EQ(host.DbModifiedNoteTable(db, kNoteClassDocument, host.MinimumTime(), table, until), kNoError);
  size_t count = 0;
  NoteId id = 0;
  for (bool first = true; host.TableScan(table, first, id); first = false) ++count;
  EXPECT_EQ(count, 200u);
  EXPECT_EQ(host.ConsoleLines().size(), 200u);
}

}  // namespace
}  // namespace quillet::sim
