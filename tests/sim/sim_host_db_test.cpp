// Databases of the simulated host: open statuses, modified-since semantics,
// ID tables with deletions, template copies, information text.
#include <gtest/gtest.h>

#include <filesystem>

#include "sim/scoped_sim_host.h"

namespace quillet::sim {
namespace {

class SimDbTest : public ::testing::Test {
 protected:
  ScopedSimHost sim;
  SimHost& host = sim.host();

  NoteId AddDocument(std::string_view db, std::string_view subject) {
    NoteId id = 0;
    EXPECT_EQ(host.CreateNote(db, kNoteClassDocument, {SimItemSpec::Text("Subject", subject)}, id), kNoError);
    return id;
  }

  std::vector<NoteId> Scan(TableHandle table) {
    std::vector<NoteId> ids;
    NoteId id = 0;
    for (bool first = true; host.TableScan(table, first, id); first = false) ids.push_back(id);
    return ids;
  }
};

TEST_F(SimDbTest, OpenOfAbsentDatabaseIs0x103AndGivesNoHandle) {
  DbHandle db;
  EXPECT_EQ(host.DbOpen("missing.nsf", db), kErrFileNotFound);
  EXPECT_FALSE(db.valid());
  EXPECT_EQ(host.OpenDatabaseCount(), 0u);
}

TEST_F(SimDbTest, PathsAreRelativeCaseInsensitiveAndReportedAsCreated) {
  ASSERT_EQ(host.CreateDatabase("Brindlecot/ProfilerConfig.nsf"), kNoError);
  EXPECT_TRUE(std::filesystem::is_regular_file(sim.dataDirectory() + "/Brindlecot/ProfilerConfig.nsf"));
  for (std::string path : {std::string("brindlecot\\profilerconfig.NSF"), std::string("Srv/Acme!!Brindlecot/ProfilerConfig.nsf"),
                           sim.dataDirectory() + "/Brindlecot/ProfilerConfig.nsf"}) {
    DbHandle db;
    ASSERT_EQ(host.DbOpen(path, db), kNoError) << path;
    std::string canonical;
    ASSERT_EQ(host.DbCanonicalPath(db, canonical), kNoError);
    EXPECT_EQ(canonical, "Brindlecot/ProfilerConfig.nsf");
    EXPECT_EQ(host.DbClose(db), kNoError);
  }
  DbHandle db;
  EXPECT_EQ(host.DbOpen("../outside.nsf", db), kErrInvalidArgument);
  EXPECT_EQ(host.DbOpen("", db), kErrInvalidArgument);
  EXPECT_EQ(host.DbOpen("/etc/passwd", db), kErrInvalidArgument);
  EXPECT_EQ(host.CreateDatabase("brindlecot/profilerconfig.nsf"), kErrFileExists);
}

TEST_F(SimDbTest, OpenModifiedSinceIs572UntilANoteChanges) {
  ASSERT_EQ(host.CreateDatabase("config.nsf"), kNoError);
  const NoteId id = AddDocument("config.nsf", "one");

  DbHandle db;
  TimeDate modified;
  ASSERT_EQ(host.DbOpenModifiedSince("config.nsf", host.MinimumTime(), db, modified), kNoError);
  ASSERT_EQ(host.DbClose(db), kNoError);

  DbHandle again;
  EXPECT_EQ(host.DbOpenModifiedSince("config.nsf", modified, again, modified), kErrNoModifiedNotes);
  EXPECT_FALSE(again.valid());

  host.AdvanceClock(500);  // time passing alone changes nothing
  EXPECT_EQ(host.DbOpenModifiedSince("config.nsf", modified, again, modified), kErrNoModifiedNotes);

  ASSERT_EQ(host.DeleteNote("config.nsf", id), kNoError);
  TimeDate later;
  ASSERT_EQ(host.DbOpenModifiedSince("config.nsf", modified, again, later), kNoError);
  EXPECT_GT(later.AsU64(), modified.AsU64());
  EXPECT_EQ(host.DbClose(again), kNoError);
  EXPECT_EQ(host.DbOpenModifiedSince("absent.nsf", modified, again, later), kErrFileNotFound);
}

TEST_F(SimDbTest, ModifiedNoteTableReportsChangesSinceAndDeletionsWithBit31) {
  ASSERT_EQ(host.CreateDatabase("config.nsf"), kNoError);
  const NoteId first = AddDocument("config.nsf", "first");
  const NoteId second = AddDocument("config.nsf", "second");
  NoteId form = 0;
  ASSERT_EQ(host.CreateNote("config.nsf", kNoteClassForm, {}, form), kNoError);
  EXPECT_NE(first, second);

  DbHandle db;
  ASSERT_EQ(host.DbOpen("config.nsf", db), kNoError);
  TableHandle table;
  TimeDate since;
  ASSERT_EQ(host.DbModifiedNoteTable(db, kNoteClassDocument, host.MinimumTime(), table, since), kNoError);
  EXPECT_EQ(Scan(table), (std::vector<NoteId>{first, second}));  // the form is not a document
  ASSERT_EQ(host.TableDestroy(table), kNoError);

  // Nothing changed: an empty table.
  TimeDate until;
  ASSERT_EQ(host.DbModifiedNoteTable(db, kNoteClassDocument, since, table, until), kNoError);
  EXPECT_TRUE(Scan(table).empty());
  ASSERT_EQ(host.TableDestroy(table), kNoError);

  // Change one document through a handle, delete the other.
  NoteHandle note;
  ASSERT_EQ(host.NoteOpen(db, second, 0, note), kNoError);
  ASSERT_EQ(host.ItemSetText(note, "Subject", "changed"), kNoError);
  ASSERT_EQ(host.NoteUpdate(note, 0), kNoError);
  ASSERT_EQ(host.NoteClose(note), kNoError);
  ASSERT_EQ(host.DeleteNote("config.nsf", first), kNoError);

  ASSERT_EQ(host.DbModifiedNoteTable(db, kNoteClassDocument, since, table, until), kNoError);
  EXPECT_EQ(Scan(table), (std::vector<NoteId>{second, first | kNoteIdDeletedBit}));
  EXPECT_EQ(host.TableDestroy(table), kNoError);
  EXPECT_EQ(host.TableDestroy(table), kErrInvalidHandle);
  EXPECT_EQ(host.NoteOpen(db, first, 0, note), kErrNoteNotFound);
  EXPECT_EQ(host.NoteOpen(db, second | kNoteIdDeletedBit, 0, note), kErrNoteNotFound);
  EXPECT_EQ(host.DbClose(db), kNoError);
  EXPECT_EQ(host.DbClose(db), kErrInvalidHandle);
}

TEST_F(SimDbTest, CreateAndCopyTakesOnlyTheGivenClassesAndKeepsUniversalIds) {
  ASSERT_EQ(host.CreateDatabase("kvxlogs.ntf", "Log Template\ncategories"), kNoError);
  AddDocument("kvxlogs.ntf", "a document");
  NoteId form = 0, icon = 0;
  ASSERT_EQ(host.CreateNote("kvxlogs.ntf", kNoteClassForm, {SimItemSpec::Text("$TITLE", "PROFLOG")}, form), kNoError);
  ASSERT_EQ(host.CreateNote("kvxlogs.ntf", kNoteClassIcon, {SimItemSpec::Text("$Flags", "R7")}, icon), kNoError);
  SimAcl acl;
  acl.entries["CN=Admin/O=Sim"] = 6;
  ASSERT_EQ(host.SetAcl("kvxlogs.ntf", acl), kNoError);

  DbHandle log;
  ASSERT_EQ(host.DbCreateAndCopy("kvxlogs.ntf", "Brindlecot/ProfilerLog.nsf", kNoteClassAllNonData, 0, 0x20, log),
            kNoError);
  TableHandle table;
  TimeDate until;
  ASSERT_EQ(host.DbModifiedNoteTable(log, 0x7FFF, host.MinimumTime(), table, until), kNoError);
  EXPECT_EQ(Scan(table).size(), 2u);  // form and icon, not the document
  ASSERT_EQ(host.TableDestroy(table), kNoError);

  NoteId iconId = 0;
  ASSERT_EQ(host.DbSpecialNoteId(log, kSpecialNoteIcon, iconId), kNoError);
  NoteHandle note;
  ASSERT_EQ(host.NoteOpen(log, iconId, 0, note), kNoError);
  std::string flags;
  host.ItemText(note, "$Flags", flags, 256);
  EXPECT_EQ(flags, "R7");

  DbHandle templ;
  ASSERT_EQ(host.DbOpen("kvxlogs.ntf", templ), kNoError);
  NoteHandle original;
  ASSERT_EQ(host.NoteOpen(templ, icon, 0, original), kNoError);
  NoteId byUnid = 0;
  uint16_t noteClass = 0;
  ASSERT_EQ(host.DbNoteByUnid(log, host.NoteOriginator(original).unid, byUnid, noteClass), kNoError);
  EXPECT_EQ(byUnid, iconId);
  EXPECT_EQ(noteClass, kNoteClassIcon);

  TimeDate a, b;
  ASSERT_EQ(host.DbIdentity(templ, a), kNoError);
  ASSERT_EQ(host.DbIdentity(log, b), kNoError);
  EXPECT_NE(a, b);

  ASSERT_EQ(host.DbCopyAcl(templ, log, 6), kNoError);
  SimAcl copied;
  ASSERT_EQ(host.ReadAcl("Brindlecot/ProfilerLog.nsf", copied), kNoError);
  EXPECT_EQ(copied.entries, acl.entries);
  EXPECT_EQ(copied.defaultLevel, 6);

  EXPECT_EQ(host.DbCreateAndCopy("kvxlogs.ntf", "Brindlecot/ProfilerLog.nsf", kNoteClassAllNonData, 0, 0x20, log),
            kErrFileExists);
  EXPECT_EQ(host.DbCreateAndCopy("absent.ntf", "other.nsf", kNoteClassAllNonData, 0, 0x20, log), kErrFileNotFound);
  EXPECT_FALSE(host.DatabaseExists("other.nsf"));
}

TEST_F(SimDbTest, InformationTextTitleIsTheFirstLineAndFitsTheBuffer) {
  ASSERT_EQ(host.CreateDatabase("log.nsf", "Old title\nCategory\n#1Class"), kNoError);
  DbHandle db;
  ASSERT_EQ(host.DbOpen("log.nsf", db), kNoError);
  std::string info;
  ASSERT_EQ(host.DbInfoRead(db, info), kNoError);
  EXPECT_EQ(host.DbInfoTitle(info), "Old title");
  const std::string updated = host.DbInfoWithTitle(info, "BC Profiler Log");
  EXPECT_EQ(updated, "BC Profiler Log\nCategory\n#1Class");
  EXPECT_EQ(host.DbInfoWithTitle("no parts", "T"), "T");
  ASSERT_EQ(host.DbInfoWrite(db, std::string(300, 'x')), kNoError);
  ASSERT_EQ(host.DbInfoRead(db, info), kNoError);
  EXPECT_EQ(info.size(), kDbInfoSize - 1);
}

TEST_F(SimDbTest, ReplicationFlagsAndSpecialNoteStatuses) {
  ASSERT_EQ(host.CreateDatabase("hidden.nsf"), kNoError);
  ASSERT_EQ(host.SetReplicationFlags("hidden.nsf", kReplFlagDesignHidden), kNoError);
  DbHandle db;
  ASSERT_EQ(host.DbOpen("hidden.nsf", db), kNoError);
  uint16_t flags = 0;
  ASSERT_EQ(host.DbReplicationFlags(db, flags), kNoError);
  EXPECT_EQ(flags & kReplFlagDesignHidden, kReplFlagDesignHidden);
  NoteId id = 0;
  EXPECT_EQ(host.DbSpecialNoteId(db, kSpecialNoteIcon, id), kErrNoteNotFound);
  EXPECT_EQ(host.DbSpecialNoteId(db, kNoteClassIcon, id), kErrInvalidArgument);
  EXPECT_EQ(host.DbReplicationFlags(DbHandle{9999}, flags), kErrInvalidHandle);
}

}  // namespace
}  // namespace quillet::sim
