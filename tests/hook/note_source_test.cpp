// Which database a client note belongs to: its own, or the source database a
// design-cache note names.
#include "hook/note_source.h"

#include <gtest/gtest.h>

#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

using sim::SimItemSpec;

class NoteSourceTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (NoteHandle n : notes_) static_cast<void>(sim->NoteClose(n));
    for (DbHandle d : dbs_) static_cast<void>(sim->DbClose(d));
  }
  // Stores a note in `path` (made when absent) and opens it.
  std::pair<DbHandle, NoteHandle> Note(std::string_view path, const std::vector<SimItemSpec>& items) {
    if (!sim->DatabaseExists(path)) {
      EXPECT_EQ(sim->CreateDatabase(path), kNoError);
    }
    NoteId id = 0;
    EXPECT_EQ(sim->CreateNote(path, kNoteClassForm, items, id), kNoError);
    DbHandle db;
    NoteHandle note;
    EXPECT_EQ(sim->DbOpen(path, db), kNoError);
    EXPECT_EQ(sim->NoteOpen(db, id, 0, note), kNoError);
    dbs_.push_back(db);
    notes_.push_back(note);
    return {db, note};
  }
  std::string SourceOf(std::pair<DbHandle, NoteHandle> at) {
    std::string path = "unchanged";
    EXPECT_TRUE(NoteSourcePath(at.first, at.second, path));
    return path;
  }

  sim::ScopedSimHost sim;

 private:
  std::vector<NoteHandle> notes_;
  std::vector<DbHandle> dbs_;
};

TEST_F(NoteSourceTest, CacheNotesNameTheirSourceOthersTheirOwnDatabase) {
  EXPECT_EQ(SourceOf(Note("Apps/Sales.nsf", {SimItemSpec::Text("$SourceDbPath", "elsewhere.nsf")})),
            "Apps/Sales.nsf");  // only a cache's notes speak for another database
  EXPECT_EQ(SourceOf(Note("cache.ndk", {SimItemSpec::Text("$SourceDbPath", "apps/sales.nsf")})), "apps/sales.nsf");
  EXPECT_EQ(SourceOf(Note("cache.dsk", {SimItemSpec::Text("$SourceDbPath", "apps/b.nsf")})), "apps/b.nsf");
  EXPECT_EQ(SourceOf(Note("cache.ndk", {SimItemSpec::Text("$TITLE", "no source")})), "cache.ndk");
  EXPECT_EQ(SourceOf(Note("cache.ndk", {SimItemSpec::Number("$SourceDbPath", 3)})), "cache.ndk");
  // The source path is cut to 255 bytes.
  EXPECT_EQ(SourceOf(Note("cache.ndk", {SimItemSpec::Text("$SourceDbPath", std::string(300, 'p'))})),
            std::string(255, 'p'));
}

TEST_F(NoteSourceTest, UnknownDatabaseLeavesThePathAlone) {
  std::string path = "unchanged";
  EXPECT_FALSE(NoteSourcePath(DbHandle{0x7777}, NoteHandle{0x7777}, path));
  EXPECT_EQ(path, "unchanged");
  const auto at = Note("apps/a.nsf", {});
  sim->FailNext("DbCanonicalPath", kErrInvalidHandle);
  EXPECT_FALSE(NoteSourcePath(at.first, at.second, path));
  EXPECT_EQ(path, "unchanged");
}

}  // namespace
}  // namespace quillet
