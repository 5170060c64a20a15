// The "nnotes" exports of the simulated host: resolution by name, removal,
// and ID switching through them.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "sim/scoped_sim_host.h"
#include "sim/sim_exports.h"

namespace quillet::sim {
namespace {

template <typename Fn>
Fn Resolve(std::string_view name) {
  const platform::ModuleHandle module = platform::GetModuleHandle(u"nnotes");
  return reinterpret_cast<Fn>(platform::GetProcAddress(module, name));
}

class SimExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.SetCurrentUser("CN=Server/O=Acme");
    ASSERT_EQ(host.CreateIdFile("signer.id", "CN=Signer/O=Acme", "secret"), kNoError);
  }
  ScopedSimHost sim;
  SimHost& host = sim.host();
};

TEST_F(SimExportsTest, EveryExportResolvesAndARemovedOneDoesNot) {
  for (std::string_view name : kNotesExportNames) {
    EXPECT_NE(Resolve<void*>(name), nullptr) << name;
  }
  host.RemoveExport("SECKFMSwitchToIDFile");
  EXPECT_EQ(Resolve<void*>("SECKFMSwitchToIDFile"), nullptr);
  EXPECT_NE(Resolve<void*>("REGSwitchToID"), nullptr);
  host.RestoreExport("SECKFMSwitchToIDFile");
  EXPECT_NE(Resolve<void*>("SECKFMSwitchToIDFile"), nullptr);
}

TEST_F(SimExportsTest, SwitchChecksThePasswordAndChangesTheCurrentUser) {
  auto kfm = Resolve<SECKFMSwitchToIDFileFn>("SECKFMSwitchToIDFile");
  ASSERT_NE(kfm, nullptr);
  char user[256] = {};
  const std::string path = sim.dataDirectory() + "/signer.id";
  EXPECT_EQ(kfm(path.c_str(), "Secret", user, sizeof user, 0, nullptr), kErrWrongPassword);
  EXPECT_EQ(host.CurrentUserName(), "CN=Server/O=Acme");
  EXPECT_EQ(kfm("absent.id", "secret", user, sizeof user, 0, nullptr), kErrFileNotFound);

  ASSERT_EQ(kfm(path.c_str(), "secret", user, sizeof user, 0, nullptr), kNoError);
  EXPECT_STREQ(user, "CN=Signer/O=Acme");
  EXPECT_EQ(host.CurrentUserName(), "CN=Signer/O=Acme");

  char tiny[4] = {'x', 'x', 'x', 'x'};
  ASSERT_EQ(kfm("signer.id", "secret", tiny, sizeof tiny, 0, nullptr), kNoError);
  EXPECT_STREQ(tiny, "CN=");
}

TEST_F(SimExportsTest, RegistrySwitchAndAttachReattachRestoreTheRootId) {
  ASSERT_EQ(host.CreateIdFile("server.id", "CN=Server/O=Acme", ""), kNoError);
  auto attach = Resolve<SECAttachToIDFn>("SECAttachToID");
  auto reg = Resolve<REGSwitchToIDFn>("REGSwitchToID");
  auto reattach = Resolve<SECReattachToRootIDFn>("SECReattachToRootID");
  ASSERT_TRUE(attach && reg && reattach);

  ASSERT_EQ(attach(nullptr, nullptr, nullptr), kNoError);
  uint16_t out1 = 7, out2 = 7;
  EXPECT_EQ(reg(0, &out1, &out2, "signer.id", "wrong", 0), kErrWrongPassword);
  ASSERT_EQ(reg(0, &out1, &out2, "signer.id", "secret", 0), kNoError);
  EXPECT_EQ(host.CurrentUserName(), "CN=Signer/O=Acme");
  ASSERT_EQ(reg(0, nullptr, nullptr, "server.id", "", 0), kNoError);
  ASSERT_EQ(reg(0, nullptr, nullptr, "signer.id", "secret", 0), kNoError);
  ASSERT_EQ(reattach(0), kNoError);
  EXPECT_EQ(host.CurrentUserName(), "CN=Server/O=Acme");
}

TEST_F(SimExportsTest, ExpandExportAndInjectedFailures) {
  ASSERT_EQ(host.CreateDatabase("a.nsf"), kNoError);
  NoteId id = 0;
  ASSERT_EQ(host.CreateNote("a.nsf", kNoteClassForm, {}, id), kNoError);
  DbHandle db;
  NoteHandle note;
  ASSERT_EQ(host.DbOpen("a.nsf", db), kNoError);
  ASSERT_EQ(host.NoteOpen(db, id, 0, note), kNoError);
  auto expand = Resolve<NSFNoteExpandFn>("NSFNoteExpand");
  ASSERT_NE(expand, nullptr);
  host.FailNext("NSFNoteExpand", kErrReadOnly);
  EXPECT_EQ(expand(note.value), kErrReadOnly);
  EXPECT_FALSE(host.IsExpanded(note));
  EXPECT_EQ(expand(note.value), kNoError);
  EXPECT_TRUE(host.IsExpanded(note));
}

TEST(SimExportsLifetime, ExportsVanishWithTheHostAndKeptPointersAnswer546) {
  NSFNoteExpandFn kept = nullptr;
  {
    ScopedSimHost sim;
    kept = Resolve<NSFNoteExpandFn>("NSFNoteExpand");
    ASSERT_NE(kept, nullptr);
  }
  EXPECT_EQ(platform::GetModuleHandle(u"nnotes"), 0u);
  EXPECT_EQ(kept(1), kErrFunctionNotAvailable);
}

}  // namespace
}  // namespace quillet::sim
