// Server agent profiling end to end: configured agents opened by the
// simulated agent manager through the note-open hook, rewritten, run, and
// finalised into a report and a log document.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

#include "hook/server_fixture.h"

namespace quillet {
namespace {

using testing::ConfigDocument;
using testing::kAgentsDb;
using testing::kAnn;
using testing::kLogDb;
using testing::ReadLogDocuments;

class ServerAgents : public testing::ServerTest {
 protected:
  // An agent whose document carries the ID file of "CN=Signer/O=Acme"
  // (password "right") and `password`; the server logs and is started.
  NoteId ConfigureSignedAgent(const std::string& password) {
    EXPECT_EQ(sim->CreateIdFile("signer.id", "CN=Signer/O=Acme", "right"), kNoError);
    const NoteId agent = StoreAgent("Nightly", testing::AgentSource("Tally"));
    ConfigDocument doc;
    doc.SignerIdFile = "signer.id";
    doc.AgentSignerPassword = password;
    Configure(agent, doc);
    WriteSetting("ProfileDebug_EnableServerLogging", "1");
    StartAgentManager();
    server = sim->CurrentUserName();
    return agent;
  }
  std::string server;
};

TEST_F(ServerAgents, ConfiguredAgentIsProfiledIntoARunDocumentWithItsReport) {
  const NoteId agent = StoreAgent("Nightly", testing::AgentSource("Tally"));
  Configure(agent);
  StartAgentManager();
  ASSERT_FALSE(sim->DatabaseExists(kLogDb));

  const sim::SimAgentOutcome outcome = RunAgent(agent);
  ASSERT_TRUE(outcome.run.ok) << outcome.run.error;
  EXPECT_EQ(outcome.run.output, "Tally 12\n");
  // The log was made from its template on this first run.
  ASSERT_TRUE(sim->DatabaseExists(kLogDb));
  const auto documents = ReadLogDocuments(kLogDb);
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_EQ(ErrorOf(documents[0]), 0.0);
  EXPECT_EQ(testing::ItemTextOf(*testing::FindItem(documents[0], "ProfLog_AgentUser")), kAnn);
  const std::set<std::string> procedures = ReportedProcedures(0);
  EXPECT_TRUE(procedures.contains("TallyTwice")) << ::testing::PrintToString(procedures);
  EXPECT_TRUE(procedures.contains("TallySum"));
  EXPECT_TRUE(procedures.contains("Initialize"));
  // The run is over: nothing stays pending on the thread.
  platform::LockHolder hold(Server().Lock());
  EXPECT_EQ(Server().RunDepth(), 0u);
}

TEST_F(ServerAgents, RunCountTwoProfilesTwoRunsAndNotTheThird) {
  const NoteId agent = StoreAgent("Nightly", testing::AgentSource("Tally"));
  ConfigDocument doc;
  doc.AgentRunCount = 2;
  Configure(agent, doc);
  StartAgentManager();
  for (size_t run = 1; run <= 3; ++run) {
    const sim::SimAgentOutcome outcome = RunAgent(agent);
    ASSERT_TRUE(outcome.run.ok) << outcome.run.error;
    EXPECT_EQ(outcome.run.output, "Tally 12\n");
    EXPECT_EQ(ReadLogDocuments(kLogDb).size(), std::min<size_t>(run, 2)) << "after run " << run;
  }
  // Each run's report holds that run alone: two calls of TallySum would mean
  // the second report carried the first run too.
  Report second;
  ASSERT_TRUE(testing::ReadAttachedReport(kLogDb, 1, sim.dataDirectory(), second));
  size_t sums = 0;
  for (const ReportCall& call : second.Calls) {
    for (const ReportProcedure& procedure : second.Procedures) {
      if (procedure.Key == call.Key && procedure.ProcedureId == call.ProcedureId && procedure.FullName == "TallySum") {
        ++sums;
      }
    }
  }
  EXPECT_EQ(sums, 1u);
}

TEST_F(ServerAgents, OtherUsersAndUnconfiguredAgentsRunUntouched) {
  const NoteId agent = StoreAgent("Nightly", testing::AgentSource("Tally"));
  const NoteId other = StoreAgent("Other", testing::AgentSource("Other"));
  ConfigDocument doc;
  doc.AgentUser = kAnn;
  Configure(agent, doc);
  StartAgentManager();
  EXPECT_TRUE(RunAgent(agent, "CN=Bob/O=Acme").run.ok);
  EXPECT_TRUE(RunAgent(other).run.ok);
  EXPECT_FALSE(sim->DatabaseExists(kLogDb));
  EXPECT_FALSE(Server().IsEnabled());
}

TEST_F(ServerAgents, AgentThatCannotBeInstrumentedGetsAnErrorDocument) {
  NoteId broken = 0;
  sim::SimItemSpec code;
  code.name = std::string(sim::kAgentCodeItem);
  code.type = kTypeLsObject;
  code.value = {0x01, 0x02, 0x03};  // not a module
  ASSERT_EQ(sim->CreateNote(kAgentsDb, kNoteClassFilter,
                            {sim::SimItemSpec::Text("$TITLE", "Broken"), sim::SimItemSpec::Text("$Flags", "f"), code},
                            broken),
            kNoError);
  Configure(broken);
  StartAgentManager();
  RunAgent(broken);
  const auto documents = ReadLogDocuments(kLogDb);
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_EQ(ErrorOf(documents[0]), 0x10B15);
  EXPECT_EQ(testing::ItemTextOf(*testing::FindItem(documents[0], "ProfLog_AgentErrorText")),
            "The agent's compiled LotusScript could not be read");
  EXPECT_EQ(testing::FindItem(documents[0], "$FILE"), nullptr);
  platform::LockHolder hold(Server().Lock());
  EXPECT_EQ(Server().RunDepth(), 0u);
}

TEST_F(ServerAgents, RewrittenCodeThatCannotBeStoredGetsAnErrorDocument) {
  const NoteId agent = StoreAgent("Nightly", testing::AgentSource("Tally"));
  Configure(agent);
  StartAgentManager();
  sim->FailNext("ItemAppend", kErrFileWriteFailed);
  const sim::SimAgentOutcome outcome = RunAgent(agent);
  EXPECT_TRUE(outcome.run.ok) << outcome.run.error;  // the original code runs
  EXPECT_EQ(SingleDocumentError(), 0x10B16);
}

TEST_F(ServerAgents, HiddenDesignGivesAnErrorDocumentAndNoRun) {
  const NoteId agent = StoreAgent("Nightly", testing::AgentSource("Tally"));
  Configure(agent);
  ASSERT_EQ(sim->SetReplicationFlags(kAgentsDb, kReplFlagDesignHidden), kNoError);
  StartAgentManager();
  const sim::SimAgentOutcome outcome = RunAgent(agent);
  EXPECT_TRUE(outcome.run.ok);
  const auto documents = ReadLogDocuments(kLogDb);
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_EQ(ErrorOf(documents[0]), 68372.0);
  EXPECT_EQ(testing::ItemTextOf(*testing::FindItem(documents[0], "ProfLog_AgentErrorText")),
            "The database design is hidden");
}

TEST_F(ServerAgents, SignerIdWithAWrongPasswordFailsCleanly) {
  const NoteId agent = ConfigureSignedAgent("wrong-secret");
  const sim::SimAgentOutcome outcome = RunAgent(agent);
  EXPECT_TRUE(outcome.run.ok);
  EXPECT_EQ(outcome.run.output, "Tally 12\n");
  EXPECT_EQ(sim->CurrentUserName(), server);
  const auto documents = ReadLogDocuments(kLogDb);
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_EQ(ErrorOf(documents[0]), static_cast<double>(kErrWrongPassword));
  for (const auto& file : std::filesystem::directory_iterator(sim.dataDirectory())) {
    EXPECT_FALSE(file.path().filename().string().starts_with("~qid")) << file.path();
  }
  for (const std::string& line : sim->ConsoleLines()) EXPECT_EQ(line.find("wrong-secret"), std::string::npos) << line;
  for (const ItemInfo& item : documents[0]) EXPECT_EQ(testing::ItemTextOf(item).find("wrong-secret"), std::string::npos);
  // The agent is out of the selection for the life of the process.
  EXPECT_FALSE(Server().IsEnabled());
  platform::LockHolder hold(Server().Lock());
  EXPECT_LT(Server().FindEntry(kAgentsDb, agent)->AgentRunCount, 1);
}

TEST_F(ServerAgents, SignerIdSignsTheRewrittenAgentAndTheServerIdComesBack) {
  const NoteId agent = ConfigureSignedAgent("right");
  ASSERT_TRUE(RunAgent(agent).run.ok);
  EXPECT_EQ(sim->CurrentUserName(), server);
  bool signedBySigner = false;
  for (const std::string& line : sim->ConsoleLines()) {
    signedBySigner |= line.find("signed by CN=Signer/O=Acme") != std::string::npos;
  }
  EXPECT_TRUE(signedBySigner);
  EXPECT_EQ(SingleDocumentError(), 0.0);
}

TEST_F(ServerAgents, HostThrowingUnderTheSignerIdStillSwitchesBack) {
  const NoteId agent = ConfigureSignedAgent("right");
  sim->ThrowNext("NoteSign");
  EXPECT_TRUE(RunAgent(agent).run.ok);
  EXPECT_EQ(sim->CurrentUserName(), server);
  for (const auto& file : std::filesystem::directory_iterator(sim.dataDirectory())) {
    EXPECT_FALSE(file.path().filename().string().starts_with("~qid")) << file.path();
  }
}

TEST_F(ServerAgents, UnwritableLogKeepsTheReportAndSaysSoOnTheConsole) {
  const NoteId agent = StoreAgent("Nightly", testing::AgentSource("Tally"));
  Configure(agent);
  StartAgentManager();
  sim->FailNext("DbCreateAndCopy", kErrFileWriteFailed);
  sim->FailNext("DbCreateAndCopy", kErrFileWriteFailed);
  ASSERT_TRUE(RunAgent(agent).run.ok);
  EXPECT_FALSE(sim->DatabaseExists(kLogDb));
  bool kept = false;
  for (const std::string& line : sim->ConsoleLines()) kept |= line.find("is kept in") != std::string::npos;
  EXPECT_TRUE(kept);
  size_t reports = 0;
  for (const auto& file : std::filesystem::directory_iterator(sim.dataDirectory() + "/Brindlecot")) {
    reports += file.path().filename().string().starts_with("quilletreport.zvk.") ? 1 : 0;
  }
  EXPECT_EQ(reports, 1u);
}

class PendingRuns : public testing::ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    StartAgentManager();
  }
  AgentRun Run(NoteId id, int32_t kind = kDesignKindAgent) { return AgentRun{kAgentsDb, kAnn, kind, id, "A"}; }
};

TEST_F(PendingRuns, SameAgentOnTopAndWebServicesAddNoRecord) {
  CQuilletSvr& server = Server();
  platform::LockHolder hold(server.Lock());
  server.PushRun(Run(0x20E, kDesignKindWebService));  // the first record of a thread is always taken
  EXPECT_EQ(server.RunDepth(), 1u);
  server.PushRun(Run(0x212));
  server.PushRun(Run(0x212));
  EXPECT_EQ(server.RunDepth(), 2u);
  server.PushRun(Run(0x216, kDesignKindWebService));
  EXPECT_EQ(server.RunDepth(), 2u);
  EXPECT_EQ(server.TopRun()->NoteId, 0x212u);
}

TEST_F(PendingRuns, FinalizingALowerRunDropsTheOnesAboveAndCountsThem) {
  const NoteId lower = StoreAgent("Lower", testing::AgentSource("Low"));
  const NoteId upper = StoreAgent("Upper", testing::AgentSource("Up"));
  ConfigDocument doc;
  doc.AgentRunCount = 5;
  Configure(lower, doc);
  Configure(upper, doc);
  CQuilletSvr& server = Server();
  platform::LockHolder hold(server.Lock());
  ASSERT_EQ(server.Refresh(), 0u);
  server.Enable(true, true, kKeepContextFlags);
  server.PushRun(Run(lower));
  server.PushRun(Run(upper));
  server.FinalizeAgentRun(lower);
  EXPECT_EQ(server.RunDepth(), 0u);
  EXPECT_EQ(server.FindEntry(kAgentsDb, upper)->AgentRunCount, 4);
  EXPECT_EQ(server.FindEntry(kAgentsDb, lower)->AgentRunCount, 4);
  EXPECT_EQ(ReadLogDocuments(kLogDb).size(), 1u);
}

TEST_F(PendingRuns, CountSetBelowOneDuringARunStaysSpent) {
  const NoteId agent = StoreAgent("Nightly", testing::AgentSource("N"));
  ConfigDocument doc;
  doc.AgentRunCount = 1;
  const NoteId first = Configure(agent, doc);
  CQuilletSvr& server = Server();
  platform::LockHolder hold(server.Lock());
  ASSERT_EQ(server.Refresh(), 0u);
  server.Enable(true, true, kKeepContextFlags);
  server.PushRun(Run(agent));
  // While the run is pending, the administrator replaces the document with
  // one whose count reads as the 32-bit minimum.
  ASSERT_EQ(sim->DeleteNote(testing::kConfigDb, first), kNoError);
  doc.AgentRunCount = -3e9;
  Configure(agent, doc);
  ASSERT_EQ(server.Refresh(), 0u);
  ASSERT_EQ(server.FindEntry(kAgentsDb, agent)->AgentRunCount, std::numeric_limits<int32_t>::min());
  server.FinalizeAgentRun(agent);
  EXPECT_EQ(server.RunDepth(), 0u);
  EXPECT_LT(server.FindEntry(kAgentsDb, agent)->AgentRunCount, 1);
  EXPECT_FALSE(server.IsTargeted(kAgentsDb, agent, kAnn));
}

TEST_F(PendingRuns, FinalizeWithNothingPendingDoesNothing) {
  CQuilletSvr& server = Server();
  platform::LockHolder hold(server.Lock());
  server.FinalizeAgentRun(0x20E);
  EXPECT_EQ(server.RunDepth(), 0u);
  EXPECT_FALSE(sim->DatabaseExists(kLogDb));
}

}  // namespace
}  // namespace quillet
