// Agents running at once on threads of their own: each thread keeps its own
// pending run and profile, so each run ends in its own report.
#include <gtest/gtest.h>

#include "hook/server_fixture.h"

namespace quillet {
namespace {

class ServerAgentsAtOnce : public testing::ServerTest {};

TEST_F(ServerAgentsAtOnce, TwoAgentsOnTwoThreadsGiveTwoSeparateReports) {
  const NoteId north = StoreAgent("North", testing::AgentSource("North", 400));
  const NoteId south = StoreAgent("South", testing::AgentSource("South", 400));
  Configure(north);
  Configure(south);
  StartAgentManager();
  std::vector<sim::SimAgentOutcome> outcomes;
  {
    sim::SimAgentManager manager(vector);
    manager.Start(sim::SimAgent{testing::kAgentsDb, north, testing::kAnn});
    manager.Start(sim::SimAgent{testing::kAgentsDb, south, testing::kAnn});
    outcomes = manager.Wait();
  }
  ASSERT_EQ(outcomes.size(), 2u);
  for (const sim::SimAgentOutcome& outcome : outcomes) {
    ASSERT_TRUE(outcome.run.ok) << outcome.run.error;
    EXPECT_TRUE(outcome.hasCode);
  }
  EXPECT_EQ(outcomes[0].run.output, "North 160400\n");
  EXPECT_EQ(outcomes[1].run.output, "South 160400\n");

  const auto documents = testing::ReadLogDocuments(testing::kLogDb);
  ASSERT_EQ(documents.size(), 2u);
  std::set<std::string> titles;
  for (size_t i = 0; i < documents.size(); ++i) {
    EXPECT_EQ(ErrorOf(documents[i]), 0.0);
    const std::set<std::string> procedures = ReportedProcedures(i);
    const bool isNorth = procedures.contains("NorthSum");
    const bool isSouth = procedures.contains("SouthSum");
    // One agent's procedures only: neither run saw the other's calls.
    EXPECT_NE(isNorth, isSouth) << ::testing::PrintToString(procedures);
    titles.insert(isNorth ? "North" : "South");
  }
  EXPECT_EQ(titles.size(), 2u);
  EXPECT_EQ(sim->ActiveHostThreads(), 0);
}

}  // namespace
}  // namespace quillet
