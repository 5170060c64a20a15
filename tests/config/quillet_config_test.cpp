// The configuration table: item rules, the incremental refresh, selection
// and the signer-ID switch over the simulated host.
#include "config/quillet_config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "config/config_entry.h"
#include "config/notes_services.h"
#include "platform/platform.h"
#include "sim/scoped_sim_host.h"
#include "support/config_documents.h"

namespace quillet {
namespace {

using testing::AddConfigDocument;
using testing::ConfigDocument;
using testing::HexId;
using testing::UpdateConfigDocument;

TEST(ConfigItemRules, AgentIdIsHexadecimalAndRefusesEverythingElse) {
  EXPECT_EQ(ParseHexNoteId("2A"), 0x2Au);
  EXPECT_EQ(ParseHexNoteId(" 0x20e "), 0x20Eu);
  EXPECT_EQ(ParseHexNoteId("FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_FALSE(ParseHexNoteId(""));
  EXPECT_FALSE(ParseHexNoteId("2G"));
  EXPECT_FALSE(ParseHexNoteId("123456789"));  // more than 32 bits
  EXPECT_FALSE(ParseHexNoteId("0x"));
}

TEST(ConfigItemRules, UnidGroupsAreWordsTwoOneFourThreeAndRoundTripThroughFormatUnid) {
  const std::string text = "0000000200000001F102030489ABCDEF";
  const std::optional<Unid> unid = ParseUnidText(text + " trailing text");
  ASSERT_TRUE(unid);
  const uint8_t expected[16] = {0x01, 0, 0, 0, 0x02, 0, 0, 0, 0xEF, 0xCD, 0xAB, 0x89, 0x04, 0x03, 0x02, 0xF1};
  EXPECT_EQ(std::memcmp(unid->bytes, expected, 16), 0);
  EXPECT_EQ(FormatUNID(unid->bytes), text);
  EXPECT_FALSE(ParseUnidText(text.substr(0, 31)));
  EXPECT_FALSE(ParseUnidText("0000000200000001F10203048 9ABCDEF"));
}

TEST(ConfigItemRules, RunCountTruncatesTowardZeroAndDefaultsToOne) {
  EXPECT_EQ(RunCountFrom(2.9), 2);
  EXPECT_EQ(RunCountFrom(-1.7), -1);
  EXPECT_EQ(RunCountFrom(std::nullopt), 1);
  EXPECT_EQ(RunCountFrom(1e300), INT32_MAX);
  EXPECT_EQ(RunCountFrom(-1e300), INT32_MIN);
  EXPECT_EQ(RunCountFrom(std::nan("")), 1);
}

TEST(ConfigItemRules, ProfileFlagsByKeywordIgnoringCase) {
  sim::ScopedSimHost sim;  // keywords compare through the host
  EXPECT_EQ(ProfileFlagsFrom("entry"), 0x80);
  EXPECT_EQ(ProfileFlagsFrom("FUNC"), 1);
  EXPECT_EQ(ProfileFlagsFrom("Func_Line"), 3);
  EXPECT_EQ(ProfileFlagsFrom("EVERYTHING"), 3);
  EXPECT_EQ(ProfileFlagsFrom(""), 3);
  EXPECT_TRUE(EnabledFrom("1"));
  EXPECT_FALSE(EnabledFrom("0"));
  EXPECT_FALSE(EnabledFrom(""));
}

class ConfigTable : public ::testing::Test {
 protected:
  void SetUp() override { ForgetHostFunctions(); }
  void TearDown() override { ForgetHostFunctions(); }

  ConfigDocument Doc(NoteId agent, std::string db = "sales.nsf") {
    ConfigDocument doc;
    doc.DatabasePath = std::move(db);
    doc.AgentId = HexId(agent);
    return doc;
  }
  NoteId Add(const ConfigDocument& doc) {
    sim_->AdvanceClock(100);
    return AddConfigDocument(sim_.host(), doc);
  }
  void Change(NoteId id, const ConfigDocument& doc) {
    sim_->AdvanceClock(100);
    UpdateConfigDocument(sim_.host(), id, doc);
  }
  // Temporary ID files left in the data directory.
  int TemporaryIdFiles() {
    int count = 0;
    for (const auto& file : std::filesystem::directory_iterator(sim_.dataDirectory())) {
      count += file.path().filename().string().starts_with("~qid") ? 1 : 0;
    }
    return count;
  }

  sim::ScopedSimHost sim_;
};

TEST_F(ConfigTable, FirstRefreshReadsEveryEnabledDocumentAndTheNextFindsNothingNew) {
  ConfigDocument full = Doc(0x20E);
  full.AgentRunCount = 3;
  full.AgentProfileFlags = "FUNC";
  full.AgentUser = "CN=Ann/O=Acme";
  const NoteId first = Add(full);
  ConfigDocument disabled = Doc(0x212);
  disabled.Enabled = "0";
  Add(disabled);
  CQuilletConfig config;
  ASSERT_EQ(config.Refresh(), 0u);
  ASSERT_EQ(config.ConfigEntries().size(), 1u);
  const ConfigEntry& entry = config.ConfigEntries().at(first);
  EXPECT_EQ(entry.AgentId, 0x20Eu);
  EXPECT_EQ(entry.AgentRunCount, 3);
  EXPECT_EQ(entry.AgentProfileFlags, 1);
  EXPECT_EQ(entry.AgentUser, "CN=Ann/O=Acme");
  EXPECT_EQ(entry.AgentTitle, "Nightly");
  EXPECT_EQ(entry.AgentServerTask, "AMGR");
  EXPECT_FALSE(entry.HasSignerId);
  EXPECT_EQ(FormatUNID(entry.AgentUNID.bytes), "00000002000000010000000400000003");
  EXPECT_EQ(StatusCode(config.Refresh()), kErrNoModifiedNotes);
  EXPECT_EQ(config.ConfigEntries().size(), 1u);
}

TEST_F(ConfigTable, RefreshRereadsOnlyChangedDocuments) {
  const NoteId a = Add(Doc(0x20E));
  const NoteId b = Add(Doc(0x212));
  CQuilletConfig config;
  ASSERT_EQ(config.Refresh(), 0u);
  // Counts lowered in memory stay until their document changes.
  config.FindEntry("sales.nsf", 0x20E)->AgentRunCount = 0;
  config.FindEntry("sales.nsf", 0x212)->AgentRunCount = 0;
  ConfigDocument changed = Doc(0x212);
  changed.AgentRunCount = 5;
  Change(b, changed);
  ASSERT_EQ(config.Refresh(), 0u);
  EXPECT_EQ(config.ConfigEntries().at(a).AgentRunCount, 0);
  EXPECT_EQ(config.ConfigEntries().at(b).AgentRunCount, 5);
}

TEST_F(ConfigTable, DeletedAndDisabledDocumentsLoseTheirEntries) {
  const NoteId a = Add(Doc(0x20E));
  const NoteId b = Add(Doc(0x212));
  const NoteId c = Add(Doc(0x216));
  CQuilletConfig config;
  ASSERT_EQ(config.Refresh(), 0u);
  sim_->AdvanceClock(100);
  ASSERT_EQ(sim_->DeleteNote(testing::kConfigDb, a), kNoError);
  ConfigDocument off = Doc(0x212);
  off.Enabled = "0";
  Change(b, off);
  ASSERT_EQ(config.Refresh(), 0u);
  ASSERT_EQ(config.ConfigEntries().size(), 1u);
  EXPECT_TRUE(config.ConfigEntries().contains(c));
}

TEST_F(ConfigTable, MalformedDocumentsAreSkippedWithANoticeWhileTheOthersApply) {
  std::vector<std::string> notices;
  ConfigDocument badHex = Doc(0);
  badHex.AgentId = "agent";
  ConfigDocument badUnid = Doc(0x212);
  badUnid.AgentUNID = "1234";
  ConfigDocument noPath = Doc(0x216, "");
  ConfigDocument noId = Doc(0x21A);
  noId.AgentId.clear();
  Add(badHex);
  Add(badUnid);
  Add(noPath);
  Add(noId);
  const NoteId good = Add(Doc(0x21E));
  CQuilletConfig config;
  config.SetNoticeLine([&](const std::string& line) { notices.push_back(line); });
  ASSERT_EQ(config.Refresh(), 0u);
  ASSERT_EQ(config.ConfigEntries().size(), 1u);
  EXPECT_TRUE(config.ConfigEntries().contains(good));
  ASSERT_EQ(notices.size(), 4u);
  EXPECT_NE(notices[0].find("AgentId"), std::string::npos) << notices[0];
  EXPECT_NE(notices[1].find("AgentUNID"), std::string::npos) << notices[1];
  EXPECT_NE(notices[2].find("DatabasePath"), std::string::npos) << notices[2];
}

TEST_F(ConfigTable, UnopenableDatabaseKeepsTheTableAndReportsThePath) {
  Add(Doc(0x20E));
  CQuilletConfig config;
  ASSERT_EQ(config.Refresh(), 0u);
  std::vector<std::string> errors;
  config.SetErrorLine([&](Status32, const std::string& text) { errors.push_back(text); });
  sim_->AdvanceClock(100);
  sim_->FailNext("DbOpenModifiedSince", kErrInvalidHandle);
  EXPECT_EQ(config.Refresh(), static_cast<uint32_t>(kErrInvalidHandle));
  EXPECT_EQ(config.ConfigEntries().size(), 1u);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Error opening configuration file Brindlecot/ProfilerConfig.nsf");
}

TEST_F(ConfigTable, SelectionByPathAgentUserAndRunsLeft) {
  ConfigDocument forAnn = Doc(0x20E);
  forAnn.AgentUser = "CN=Ann/O=Acme";
  Add(forAnn);
  ConfigDocument used = Doc(0x212);
  used.AgentRunCount = 0;
  Add(used);
  Add(Doc(0x216));
  CQuilletConfig config;
  ASSERT_EQ(config.Refresh(), 0u);
  EXPECT_TRUE(config.IsTargeted("sales.nsf", 0x20E, "CN=Ann/O=Acme"));
  EXPECT_FALSE(config.IsTargeted("sales.nsf", 0x20E, "CN=Bob/O=Acme"));
  EXPECT_FALSE(config.IsTargeted("sales.nsf", 0x212, "CN=Ann/O=Acme"));
  EXPECT_TRUE(config.IsTargeted("sales.nsf", 0x216, "anyone"));
  EXPECT_FALSE(config.IsTargeted("SALES.nsf", 0x216, "anyone"));  // paths compare exactly
  EXPECT_FALSE(config.IsTargeted("sales.nsf", 0x21A, "anyone"));
}

TEST_F(ConfigTable, LowerConfigurationNoteIdWinsForTheSameAgent) {
  ConfigDocument first = Doc(0x20E);
  first.AgentTitle = "first";
  ConfigDocument second = Doc(0x20E);
  second.AgentTitle = "second";
  Add(first);
  Add(second);
  CQuilletConfig config;
  ASSERT_EQ(config.Refresh(), 0u);
  ASSERT_NE(config.FindEntry("sales.nsf", 0x20E), nullptr);
  EXPECT_EQ(config.FindEntry("sales.nsf", 0x20E)->AgentTitle, "first");
}

class SignerSwitchTest : public ConfigTable {
 protected:
  void SetUp() override {
    ConfigTable::SetUp();
    ASSERT_EQ(sim_->CreateIdFile("server.id", sim_->CurrentUserName(), ""), kNoError);
    sim_->SetEnvironmentString("ServerKeyfileName", "server.id");
    ASSERT_EQ(sim_->CreateIdFile("signer.id", "CN=Signer/O=Acme", "s3cret-pass"), kNoError);
    server_ = sim_->CurrentUserName();
  }
  void AddSigned(std::string password, std::string db = "sales.nsf") {
    ConfigDocument doc = Doc(0x20E, std::move(db));
    doc.SignerIdFile = "signer.id";
    doc.AgentSignerPassword = std::move(password);
    Add(doc);
  }
  std::string server_;
};

TEST_F(SignerSwitchTest, SwitchesToTheAttachedIdInAnOwnerOnlyFileAndBack) {
  AddSigned("s3cret-pass");
  CQuilletConfig config;
  ASSERT_EQ(config.Refresh(), 0u);
  EXPECT_TRUE(config.FindEntry("sales.nsf", 0x20E)->HasSignerId);
  SignerSwitch done;
  ASSERT_EQ(config.SwitchToSignerId("sales.nsf", 0x20E, done), 0u);
  EXPECT_EQ(sim_->CurrentUserName(), "CN=Signer/O=Acme");
  ASSERT_FALSE(done.TemporaryIdFile.empty());
  EXPECT_EQ(done.PreviousKeyFile, "server.id");
  struct stat info {};
  ASSERT_EQ(::stat(platform::Utf16ToUtf8(done.TemporaryIdFile).c_str(), &info), 0);
#ifndef _WIN32  // Windows keeps the file to its owner by opening it unshared, not by mode bits
  EXPECT_EQ(info.st_mode & 0777, 0600u);
#endif
  EXPECT_EQ(config.SwitchBack(done), 0u);
  EXPECT_EQ(sim_->CurrentUserName(), server_);
  EXPECT_EQ(TemporaryIdFiles(), 0);
}

TEST_F(SignerSwitchTest, WrongPasswordFailsCleanlyWithoutTheFileOrThePassword) {
  AddSigned("not-the-password");
  CQuilletConfig config;
  std::vector<std::string> errors;
  config.SetErrorLine([&](Status32, const std::string& text) { errors.push_back(text); });
  ASSERT_EQ(config.Refresh(), 0u);
  SignerSwitch done;
  EXPECT_EQ(config.SwitchToSignerId("sales.nsf", 0x20E, done), static_cast<uint32_t>(kErrWrongPassword));
  EXPECT_TRUE(done.TemporaryIdFile.empty());
  EXPECT_EQ(sim_->CurrentUserName(), server_);
  EXPECT_EQ(TemporaryIdFiles(), 0);
  ASSERT_EQ(errors.size(), 1u);
  for (const std::string& line : sim_->ConsoleLines()) EXPECT_EQ(line.find("not-the-password"), std::string::npos);
  EXPECT_EQ(errors[0].find("not-the-password"), std::string::npos);
}

TEST_F(SignerSwitchTest, NoKeyFileNamedOrFailedExtractionLeavesNoFile) {
  AddSigned("s3cret-pass");
  CQuilletConfig config;
  ASSERT_EQ(config.Refresh(), 0u);
  sim_->SetEnvironmentString("ServerKeyfileName", "");
  SignerSwitch done;
  EXPECT_EQ(config.SwitchToSignerId("sales.nsf", 0x20E, done), 6402u);
  EXPECT_EQ(TemporaryIdFiles(), 0);
  sim_->SetEnvironmentString("ServerKeyfileName", "server.id");
  sim_->FailNext("ExtractFile", kErrFileWriteFailed);
  EXPECT_EQ(config.SwitchToSignerId("sales.nsf", 0x20E, done), static_cast<uint32_t>(kErrFileWriteFailed));
  EXPECT_EQ(TemporaryIdFiles(), 0);
  EXPECT_EQ(sim_->CurrentUserName(), server_);
}

TEST_F(SignerSwitchTest, AnAgentOfAnotherDatabaseWithTheSameNoteIdGetsNoSwitch) {
  AddSigned("s3cret-pass", "other.nsf");
  CQuilletConfig config;
  ASSERT_EQ(config.Refresh(), 0u);
  SignerSwitch done;
  EXPECT_EQ(config.SwitchToSignerId("sales.nsf", 0x20E, done), 0u);
  EXPECT_TRUE(done.TemporaryIdFile.empty());
  EXPECT_EQ(sim_->CurrentUserName(), server_);
}

}  // namespace
}  // namespace quillet
