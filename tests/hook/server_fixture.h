// A simulated server with the hook driver started in its agent manager, a
// database of agents, the log template and a server ID file; agents are run
// through the simulated agent manager.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "config/notes_services.h"
#include "hook/hook_fixture.h"
#include "hook/quillet_svr.h"
#include "sim/amgr/agent_manager.h"
#include "sim/log_template.h"
#include "support/config_documents.h"
#include "support/log_documents.h"

namespace quillet::testing {

inline constexpr const char* kAgentsDb = "sales.nsf";
inline constexpr const char* kLogDb = "Brindlecot/ProfilerLog.nsf";
inline constexpr const char* kAnn = "CN=Ann/O=Acme";

// An agent whose Initialize calls two procedures of its own.
inline std::string AgentSource(const std::string& prefix, int loops = 3) {
  return "Option Declare\n"
         "Function " + prefix + "Twice(ByVal n As Long) As Long\n"
         "  " + prefix + "Twice = n * 2\n"
         "End Function\n"
         "Sub " + prefix + "Sum(ByVal count As Long)\n"
         "  Dim i As Long\n"
         "  Dim total As Long\n"
         "  For i = 1 To count\n"
         "    total = total + " + prefix + "Twice(i)\n"
         "  Next\n"
         "  Print \"" + prefix + " \" & total\n"
         "End Sub\n"
         "Sub Initialize\n"
         "  Call " + prefix + "Sum(" + std::to_string(loops) + ")\n"
         "End Sub\n";
}

class ServerTest : public HookTest {
 protected:
  void SetUp() override {
    HookTest::SetUp();
    ForgetHostFunctions();
    ASSERT_EQ(sim::EnsureLogTemplate(sim.host()), kNoError);
    ASSERT_EQ(sim::EnsureServerIdFile(sim.host()), kNoError);
    ASSERT_EQ(sim->CreateDatabase(kAgentsDb, "Sales"), kNoError);
  }
  void TearDown() override {
    HookTest::TearDown();
    ForgetHostFunctions();
  }

  NoteId StoreAgent(const std::string& title, const std::string& source) {
    NoteId id = 0;
    std::string error;
    EXPECT_EQ(sim::StoreAgent(sim.host(), kAgentsDb, title, source, id, &error), kNoError) << error;
    return id;
  }
  NoteId Configure(NoteId agent, ConfigDocument doc = {}) {
    doc.DatabasePath = kAgentsDb;
    doc.AgentId = HexId(agent);
    sim->AdvanceClock(100);
    return AddConfigDocument(sim.host(), doc);
  }
  void StartAgentManager() { Start(u"C:\\Domino\\namgr.exe", u"namgr.exe -e", true); }
  CQuilletSvr& Server() { return dynamic_cast<CQuilletSvr&>(*gProfilerApp.load()); }

  sim::SimAgentOutcome RunAgent(NoteId agent, const std::string& user = kAnn) {
    sim::SimAgentManager manager(vector);
    return manager.RunHere(sim::SimAgent{kAgentsDb, agent, user});
  }

  // The procedure names of the report attached to log document `index`.
  std::set<std::string> ReportedProcedures(size_t index) {
    Report report;
    EXPECT_TRUE(ReadAttachedReport(kLogDb, index, sim.dataDirectory(), report));
    std::set<std::string> names;
    for (const ReportProcedure& procedure : report.Procedures) names.insert(procedure.FullName);
    return names;
  }
  // The "ProfLog_AgentError" of the log's only document; -2 when the log
  // does not hold exactly one.
  double SingleDocumentError() {
    const auto documents = ReadLogDocuments(kLogDb);
    EXPECT_EQ(documents.size(), 1u);
    return documents.size() == 1 ? ErrorOf(documents[0]) : -2;
  }
  static double ErrorOf(const LogDocument& document) {
    const ItemInfo* item = FindItem(document, "ProfLog_AgentError");
    return item == nullptr ? -1 : ItemNumberOf(*item);
  }
};

}  // namespace quillet::testing
