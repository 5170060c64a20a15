// The profile log: the database made from its template, run and error
// documents with their items in order, the report attached.
#include "config/quillet_log.h"

#include <gtest/gtest.h>

#include <fstream>

#include "config/notes_services.h"
#include "sim/log_template.h"
#include "sim/scoped_sim_host.h"
#include "support/log_documents.h"

namespace quillet {
namespace {

class LogDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sim::EnsureLogTemplate(sim_.host()), kNoError);
    entry_.DatabasePath = "sales.nsf";
    entry_.DatabaseTitle = "Sales";
    entry_.AgentTitle = "Nightly";
    entry_.AgentId = 0x20E;
    const uint8_t unid[16] = {0x01, 0, 0, 0, 0x02, 0, 0, 0, 0x03, 0, 0, 0, 0x04, 0, 0, 0};
    std::copy(unid, unid + 16, entry_.AgentUNID.bytes);
    std::ofstream(sim_.dataDirectory() + "/report.zvk", std::ios::binary) << "report bytes";
  }

  std::vector<testing::LogDocument> Documents() { return testing::ReadLogDocuments(std::string(kDefaultLogPath)); }

  static std::string Text(const ItemInfo& item) { return testing::ItemTextOf(item); }
  static std::vector<std::string> Names(const std::vector<ItemInfo>& items) {
    std::vector<std::string> names;
    for (const ItemInfo& item : items) names.push_back(item.name);
    return names;
  }

  sim::ScopedSimHost sim_;
  ConfigEntry entry_;
};

TEST_F(LogDatabase, FirstRunCreatesTheLogFromItsTemplateAndStoresTheRunWithItsReport) {
  CQuilletLog log;
  ASSERT_FALSE(sim_->DatabaseExists(kDefaultLogPath));
  ASSERT_EQ(log.WriteRun(entry_, "CN=Ann/O=Acme", sim_.dataDirectory() + "/report.zvk"), 0u);
  ASSERT_TRUE(sim_->DatabaseExists(kDefaultLogPath));

  NotesApi& notes = Notes();
  DbHandle db;
  ASSERT_EQ(notes.DbOpen(kDefaultLogPath, db), kNoError);
  std::string info;
  ASSERT_EQ(notes.DbInfoRead(db, info), kNoError);
  EXPECT_EQ(notes.DbInfoTitle(info), "BC Profiler Log");
  NoteId iconId = 0;
  ASSERT_EQ(notes.DbSpecialNoteId(db, kSpecialNoteIcon, iconId), kNoError);
  NoteHandle icon;
  ASSERT_EQ(notes.NoteOpen(db, iconId, 0, icon), kNoError);
  std::string flags;
  ASSERT_EQ(ReadTextItem(icon, "$Flags", flags), kNoError);
  EXPECT_EQ(flags, "7J");
  ItemInfo none;
  EXPECT_EQ(notes.ItemFind(icon, "$FlagsNoRefresh", none), kErrItemNotFound);
  ASSERT_EQ(notes.NoteClose(icon), kNoError);
  ASSERT_EQ(notes.DbClose(db), kNoError);
  sim::SimAcl acl;
  ASSERT_EQ(sim_->ReadAcl(kDefaultLogPath, acl), kNoError);
  EXPECT_EQ(acl.defaultLevel, 6);
  EXPECT_EQ(acl.entries.count("LocalDomainServers"), 1u);

  const auto documents = Documents();
  ASSERT_EQ(documents.size(), 1u);
  const std::vector<ItemInfo>& run = documents[0];
  const std::vector<std::string> expected = {
      "Form", "ProfLog_DatabaseServer", "ProfLog_DatabasePath", "ProfLog_DatabaseTitle", "ProfLog_StartTime",
      "ProfLog_AgentTitle", "ProfLog_AgentUNID", "ProfLog_AgentId", "ProfLog_AgentUser", "ProfLog_AgentError",
      "$FILE"};
  ASSERT_EQ(Names(run), expected);
  EXPECT_EQ(Text(run[0]), "PROFLOG");
  EXPECT_EQ(Text(run[1]), sim_->CurrentUserName());
  EXPECT_EQ(Text(run[2]), "sales.nsf");
  EXPECT_EQ(run[4].type, kTypeTime);
  EXPECT_EQ(Text(run[6]), "00000002000000010000000400000003");
  EXPECT_EQ(run[7].type, kTypeNumber);
  EXPECT_EQ(Text(run[8]), "CN=Ann/O=Acme");
  EXPECT_EQ(run[10].type, kTypeObject);
  // The attachment is stored under the file's own name, without directory.
  const std::string attachment = Text(run[10]);
  EXPECT_NE(attachment.find("report.zvk"), std::string::npos);
  EXPECT_EQ(attachment.find('/'), std::string::npos);
}

TEST_F(LogDatabase, ErrorDocumentsCarryTheStatusAndItsText) {
  CQuilletLog log;
  ASSERT_EQ(log.WriteError(entry_, "CN=Ann/O=Acme", 68372), 0u);
  ASSERT_EQ(log.WriteError(entry_, "CN=Bob/O=Acme", kErrFileNotFound), 0u);
  const auto documents = Documents();
  ASSERT_EQ(documents.size(), 2u);
  for (const auto& document : documents) {
    ASSERT_EQ(document.size(), 11u);
    EXPECT_EQ(document[9].name, "ProfLog_AgentError");
    EXPECT_EQ(document[10].name, "ProfLog_AgentErrorText");
  }
  EXPECT_EQ(testing::ItemNumberOf(documents[0][9]), 68372.0);
  EXPECT_EQ(Text(documents[0][10]), "The database design is hidden");
  std::string hostText;
  ASSERT_TRUE(sim_->StatusText(kErrFileNotFound, hostText));
  EXPECT_EQ(Text(documents[1][10]), hostText);
}

TEST_F(LogDatabase, FailedAttachmentSavesNothingAndSaysSo) {
  CQuilletLog log;
  ASSERT_EQ(log.WriteError(entry_, "u", 68372), 0u);  // the database exists from here on
  sim_->FailNext("AttachFile", kErrFileWriteFailed);
  EXPECT_EQ(log.WriteRun(entry_, "u", sim_.dataDirectory() + "/report.zvk"), static_cast<uint32_t>(kErrFileWriteFailed));
  EXPECT_EQ(Documents().size(), 1u);
  EXPECT_EQ(sim_->OpenNoteCount(), 0u);
  EXPECT_EQ(sim_->OpenDatabaseCount(), 0u);
}

TEST_F(LogDatabase, FailedItemWriteSavesNoHalfDocument) {
  CQuilletLog log;
  ASSERT_EQ(log.WriteError(entry_, "u", 68372), 0u);  // the database exists from here on
  // A shared item of a run document, then the text of an error document.
  sim_->FailNext("ItemSetText", kErrFileWriteFailed);
  EXPECT_EQ(log.WriteRun(entry_, "u", sim_.dataDirectory() + "/report.zvk"), static_cast<uint32_t>(kErrFileWriteFailed));
  sim_->FailNext("ItemSetNumber", kErrFileWriteFailed);
  EXPECT_EQ(log.WriteError(entry_, "u", 68372), static_cast<uint32_t>(kErrFileWriteFailed));
  for (int call = 0; call < 7; ++call) sim_->FailNext("ItemSetText", kNoError);
  sim_->FailNext("ItemSetText", kErrFileWriteFailed);  // "ProfLog_AgentErrorText", the eighth text
  EXPECT_EQ(log.WriteError(entry_, "u", 68372), static_cast<uint32_t>(kErrFileWriteFailed));
  EXPECT_EQ(Documents().size(), 1u);
  EXPECT_EQ(sim_->OpenNoteCount(), 0u);
  EXPECT_EQ(sim_->OpenDatabaseCount(), 0u);
}

TEST_F(LogDatabase, UnopenableLogIsReportedWithItsPath) {
  CQuilletLog log;
  std::vector<std::string> errors;
  log.SetErrorLine([&](Status32, const std::string& text) { errors.push_back(text); });
  sim_->FailNext("DbOpen", kErrInvalidHandle);
  EXPECT_EQ(log.WriteError(entry_, "u", 68372), static_cast<uint32_t>(kErrInvalidHandle));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Error opening log file Brindlecot/ProfilerLog.nsf");
  EXPECT_FALSE(sim_->DatabaseExists(kDefaultLogPath));
}

TEST(LogWithoutTemplate, CreationFailsAndNothingIsLeftOpen) {
  sim::ScopedSimHost sim;
  CQuilletLog log;
  ConfigEntry entry;
  EXPECT_EQ(log.WriteError(entry, "u", 68372), static_cast<uint32_t>(kErrFileNotFound));
  EXPECT_FALSE(sim->DatabaseExists(kDefaultLogPath));
  EXPECT_EQ(sim->OpenDatabaseCount(), 0u);
}

}  // namespace
}  // namespace quillet
