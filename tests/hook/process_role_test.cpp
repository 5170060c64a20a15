// Process names and the watched server task list.
#include "hook/process_role.h"

#include <gtest/gtest.h>

#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

class ProcessRoleTest : public ::testing::Test {
 protected:
  sim::ScopedSimHost sim;  // text services
};

TEST_F(ProcessRoleTest, NameDropsDirectoryExtensionAndPrefixLetter) {
  EXPECT_EQ(ProcessName(u"C:\\Lotus\\Domino\\namgr.exe"), "AMGR");
  EXPECT_EQ(ProcessName(u"/opt/domino/bin/nserver"), "SERVER");
  EXPECT_EQ(ProcessName(u"C:\\Notes\\nlnotes.exe"), "LNOTES");
  EXPECT_EQ(ProcessName(u"C:\\Notes\\notes2.exe"), "OTES2");
  EXPECT_EQ(ProcessName(u"C:\\my.dir\\nhttp"), "HTTP");
  EXPECT_EQ(ProcessName(u""), "");
  EXPECT_EQ(ProcessName(u"C:\\n.exe"), "");
  EXPECT_EQ(ExecutableBaseName(u"C:\\Domino\\nhttp.exe"), u"nhttp");
}

TEST_F(ProcessRoleTest, NameIsCutTo255Bytes) {
  const std::u16string longName = u"/x/n" + std::u16string(300, u'a') + u".exe";
  EXPECT_EQ(ProcessName(longName), std::string(255, 'A'));
}

TEST_F(ProcessRoleTest, TaskListDropsEmptyPiecesAndServer) {
  using List = std::vector<std::string>;
  EXPECT_EQ(ParseTaskList("SERVER"), (List{"AMGR", "HTTP"}));
  EXPECT_EQ(ParseTaskList(""), (List{"AMGR", "HTTP"}));
  EXPECT_EQ(ParseTaskList(",,"), (List{"AMGR", "HTTP"}));
  EXPECT_EQ(ParseTaskList("HTTP,,SERVER,ROUTER,"), (List{"HTTP", "ROUTER"}));
  EXPECT_EQ(ParseTaskList("server"), (List{"server"}));  // only the exact word is dropped
}

TEST_F(ProcessRoleTest, WatchedTaskComparesExactlyAndWantsTheAgentManagerSwitch) {
  const std::vector<std::string> tasks = {"AMGR", "HTTP"};
  EXPECT_TRUE(IsWatchedServerTask("HTTP", tasks, u"nhttp"));
  EXPECT_FALSE(IsWatchedServerTask("http", tasks, u"nhttp"));
  EXPECT_FALSE(IsWatchedServerTask("ROUTER", tasks, u"nrouter"));
  EXPECT_FALSE(IsWatchedServerTask("AMGR", tasks, u"namgr -s"));
  EXPECT_TRUE(IsWatchedServerTask("AMGR", tasks, u"namgr -e"));
}

}  // namespace
}  // namespace quillet
