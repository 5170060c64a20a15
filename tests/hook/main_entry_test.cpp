// MainEntryPoint through the simulated host: every process role, the hook
// vector, the application object and the server's start-up lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "config/settings.h"
#include "hook/hook_fixture.h"
#include "hook/quillet_svr.h"

namespace quillet {
namespace {

using testing::HookTest;

class MainEntryTest : public HookTest {
 protected:
  bool Unhooked() const {
    return vector.term == nullptr && vector.noteOpen == nullptr && vector.noteUpdate == nullptr &&
           vector.dbStampNotes == nullptr && gProfilerApp == nullptr;
  }
  bool ServerHooked() const {
    return vector.term == &Term && vector.noteOpen == &HookNoteOpen_Server && vector.noteUpdate == nullptr &&
           vector.dbStampNotes == &HookDbStampNotes && gProfilerApp != nullptr && gProfilerApp->IsServer();
  }
  bool Console(std::string_view line) {
    const auto lines = sim->ConsoleLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

TEST_F(MainEntryTest, ServerTasksDefaultToAgentManagerAndWeb) {
  WriteSetting("ProfileTasks", "SERVER");
  Start(u"C:\\Domino\\nhttp.exe", u"nhttp.exe", true);
  EXPECT_TRUE(ServerHooked());
  EXPECT_EQ(vector.hostModule, &hostModule);  // host-owned slots untouched
  EXPECT_EQ(vector.hostInit, &hostInit);
  Term(&vector);
  Start(u"C:\\Domino\\nserver.exe", u"nserver.exe", true);
  EXPECT_TRUE(Unhooked());
}

TEST_F(MainEntryTest, AgentManagerNeedsItsSwitch) {
  Start(u"C:\\Domino\\namgr.exe", u"namgr.exe -s", true);
  EXPECT_TRUE(Unhooked());
  Start(u"C:\\Domino\\namgr.exe", u"namgr.exe -e 2", true);
  EXPECT_TRUE(ServerHooked());
}

TEST_F(MainEntryTest, ConfiguredTasksReplaceTheDefaults) {
  WriteSetting("ProfileTasks", "ROUTER,,SERVER");
  Start(u"/opt/domino/nrouter", u"nrouter", true);
  EXPECT_TRUE(ServerHooked());
  Term(&vector);
  Start(u"/opt/domino/nhttp", u"nhttp", true);
  EXPECT_TRUE(Unhooked());
}

TEST_F(MainEntryTest, ServerObjectTakesItsSettings) {
  WriteSetting("ProfileDebug_EnableServerLogging", "1");
  sim->SetCurrentUser("CN=Domino One/O=Acme");
  Start(u"C:\\Domino\\nhttp.exe", u"nhttp.exe", true);
  ASSERT_TRUE(ServerHooked());
  auto* server = static_cast<CQuilletSvr*>(gProfilerApp.load());
  EXPECT_EQ(server->InstrumentFlags(), 0x54);
  EXPECT_TRUE(server->ServerLogging());
  EXPECT_EQ(server->ServerName(), "CN=Domino One/O=Acme");
  EXPECT_EQ(server->ReportPath(), sim.dataDirectory() + "/Brindlecot/quilletreport.zvk");
  EXPECT_EQ(server->ConfigPath(), "Brindlecot/ProfilerConfig.nsf");
  EXPECT_EQ(server->Log().LogPath(), "Brindlecot/ProfilerLog.nsf");
  EXPECT_FALSE(server->IsEnabled());
}

TEST_F(MainEntryTest, StartupLinesNameTheConfigurationFile) {
  Start(u"C:\\Domino\\nhttp.exe", u"nhttp.exe", true);
  EXPECT_TRUE(Console("(nhttp) - Profiler Server Hook started. (QUILLET Edition 32.1 Build 5028)"));
  EXPECT_TRUE(Console("Profiler Server Hook: Configuration File: 'Brindlecot/ProfilerConfig.nsf' is invalid"));
  Term(&vector);

  std::filesystem::create_directories(sim.dataDirectory() + "/Brindlecot");
  std::ofstream(sim.dataDirectory() + "/Brindlecot/ProfilerConfig.nsf") << "x";
  sim->ClearConsole();
  Start(u"C:\\Domino\\nhttp.exe", u"nhttp.exe", true);
  EXPECT_TRUE(Console("Profiler Server Hook: Using Configuration File: Brindlecot/ProfilerConfig.nsf"));
  Term(&vector);

  // A directory is no configuration database.
  WriteSetting("ProfileServerConfig", "Brindlecot");
  sim->ClearConsole();
  Start(u"C:\\Domino\\nhttp.exe", u"nhttp.exe", true);
  EXPECT_TRUE(Console("Profiler Server Hook: Configuration File: 'Brindlecot' is invalid"));
}

TEST_F(MainEntryTest, ClientGetsQueueHooksAndFirstContext) {
  StartClient();
  EXPECT_EQ(vector.term, &Term);
  EXPECT_EQ(vector.noteOpen, &HookNoteOpen_Client);
  EXPECT_EQ(vector.noteUpdate, &HookNoteUpdate);
  EXPECT_EQ(vector.dbStampNotes, &HookDbStampNotes);
  ASSERT_NE(gProfilerApp, nullptr);
  EXPECT_FALSE(gProfilerApp->IsServer());
  EXPECT_FALSE(gProfilerApp->IsEnabled());
  EXPECT_EQ(gProfilerApp->InstrumentFlags(), 0x50);
  EXPECT_EQ(gProfilerApp->ProfileDepth(), 1u);
  EXPECT_TRUE(gProfilerApp->MessageQueue().valid());
  EXPECT_TRUE(sim->ConsoleLines().empty());  // the client writes no start-up line
}

TEST_F(MainEntryTest, SecondClientFindsTheQueueTakenAndStaysUnhooked) {
  ASSERT_EQ(sim->QueueCreate(kControllerQueueName, 0), kNoError);  // the first client's
  StartClient();
  EXPECT_TRUE(Unhooked());
}

TEST_F(MainEntryTest, ServerKitDecidesBeforeTheClientName) {
  Start(u"C:\\Notes\\nlnotes.exe", u"nlnotes.exe", true);
  EXPECT_TRUE(Unhooked());
}

TEST_F(MainEntryTest, AuxiliaryProcessGetsOnlyTheProbe) {
  Start(u"C:\\Notes\\notes2.exe", u"notes2.exe", false);
  EXPECT_EQ(vector.dbStampNotes, &HookDbStampNotes);
  EXPECT_EQ(vector.term, nullptr);
  EXPECT_EQ(vector.noteOpen, nullptr);
  EXPECT_EQ(gProfilerApp, nullptr);
}

TEST_F(MainEntryTest, OtherProcessesStayUnhookedAndSlotsAreCleared) {
  sim->SetProcessIdentity(u"C:\\Notes\\nadminp.exe", u"nadminp.exe");
  vector = HookVector{&hostModule, &hostInit, &Term, &HookNoteOpen_Client, &HookNoteUpdate, &HookDbStampNotes};
  EXPECT_EQ(MainEntryPoint(&vector), 0u);
  EXPECT_TRUE(Unhooked());
  EXPECT_EQ(vector.hostModule, &hostModule);
  EXPECT_EQ(MainEntryPoint(nullptr), 0u);
}

}  // namespace
}  // namespace quillet
