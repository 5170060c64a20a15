// Tests of the item context a note item is rewritten under: paths, cache
// databases, the refusals before any rewrite, and the marker-item key remap.
#include "instrument/note_item_context.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "instrument/module_instrument.h"
#include "instrument/note_instrument.h"
#include "lsobject/ls_script_module.h"
#include "sim/scoped_sim_host.h"
#include "support/rich_text_builder.h"
#include "util/bytes.h"

namespace quillet {
namespace {

class NoteItemContext : public ::testing::Test {
 protected:
  NoteHandle Open(std::string_view path, const std::vector<sim::SimItemSpec>& items) {
    if (!sim_->DatabaseExists(path)) {
      EXPECT_EQ(sim_->CreateDatabase(path), kNoError);
    }
    NoteId id = 0;
    EXPECT_EQ(sim_->CreateNote(path, kNoteClassFilter, items, id), kNoError);
    DbHandle db;
    EXPECT_EQ(sim_->DbOpen(path, db), kNoError);
    NoteHandle note;
    EXPECT_EQ(sim_->NoteOpen(db, id, 0, note), kNoError);
    return note;
  }

  sim::ScopedSimHost sim_;
  CLSProfileApp profile_{"nquillet", "", 0};
};

TEST_F(NoteItemContext, ReadsTheNoteItsDatabaseAndItsTitle) {
  const NoteHandle note = Open("apps/sales.nsf", {sim::SimItemSpec::Text("$TITLE", "Nightly")});
  profile_.Collecting = true;
  profile_.AddDatabase("apps/sales.nsf");
  ItemContext context;
  ASSERT_EQ(FillItemContext(profile_, note, "$ScriptLib", 0, context), kNoError);
  EXPECT_EQ(context.DatabasePath, "apps/sales.nsf");
  EXPECT_EQ(context.NoteId, sim_->NoteGetId(note));
  EXPECT_EQ(context.NoteHandle, note.value);
  EXPECT_EQ(context.Title, "Nightly");
  EXPECT_EQ(context.ItemName, "$ScriptLib_O") << "the short library name reads as the object-code item";

  TimeDate identity;
  ASSERT_EQ(sim_->DbIdentity(sim_->NoteDatabase(note), identity), kNoError);
  EXPECT_EQ(LoadU32(context.DatabaseId), identity.innards[0]);
  EXPECT_EQ(LoadU32(context.DatabaseId + 4), identity.innards[1]);
  const TimeDate sequence = sim_->NoteOriginator(note).sequenceTime;
  EXPECT_EQ(LoadU32(context.SequenceTime + 4), sequence.innards[1]);
}

TEST_F(NoteItemContext, UntitledNotesAndOtherItemNamesAreKept) {
  const NoteHandle note = Open("a.nsf", {});
  ItemContext context;
  ASSERT_EQ(FillItemContext(profile_, note, "$scriptlib", instrument_flags::kSkipWatchChecks, context), kNoError);
  EXPECT_EQ(context.Title, "(Untitled)");
  EXPECT_EQ(context.ItemName, "$scriptlib") << "only the exact short name is mapped";
}

TEST_F(NoteItemContext, RefusesWhenNotCollectingOrNotWatched) {
  const NoteHandle note = Open("a.nsf", {});
  ItemContext context;
  EXPECT_EQ(FillItemContext(profile_, note, "$ScriptLib_O", 0, context), kErrProfilerNotEnabled);
  profile_.Collecting = true;
  EXPECT_EQ(FillItemContext(profile_, note, "$ScriptLib_O", 0, context), kErrDatabaseNotWatched);
  profile_.AddDatabase("other.nsf");
  profile_.AddDatabase("a.nsf");
  EXPECT_EQ(FillItemContext(profile_, note, "$ScriptLib_O", 0, context), kErrDatabaseNotWatched)
      << "only the first watched database counts";
  profile_.Collecting = false;
  EXPECT_EQ(FillItemContext(profile_, note, "$ScriptLib_O", instrument_flags::kSkipWatchChecks, context), kNoError);
}

TEST_F(NoteItemContext, ServerNameGivesANetworkPath) {
  const NoteHandle note = Open("a.nsf", {});
  CLSProfileApp server("nquillet", "CN=Hub/O=Sim", 0);
  ItemContext context;
  ASSERT_EQ(FillItemContext(server, note, "$ScriptLib_O", instrument_flags::kSkipWatchChecks, context), kNoError);
  EXPECT_EQ(context.DatabasePath, sim_->NetworkPath("CN=Hub/O=Sim", "a.nsf"));
}

TEST_F(NoteItemContext, CacheNotesStandForTheirSourceNote) {
  TimeDate seq;
  seq.innards[0] = 0x11223344;
  seq.innards[1] = 0x55667788;
  const NoteHandle note = Open("cache.ndk", {sim::SimItemSpec::Text("$SourceDbPath", "apps/orig.nsf"),
                                             sim::SimItemSpec::Text("$SourceURL", "notes:///8525ABCD/0/00001A2F"),
                                             sim::SimItemSpec::Time("$SourceSeqTime", seq)});
  profile_.Collecting = true;
  profile_.AddDatabase("apps/orig.nsf");
  ItemContext context;
  ASSERT_EQ(FillItemContext(profile_, note, "$Body", 0, context), kNoError) << "the source database is the watched one";
  EXPECT_EQ(context.DatabasePath, "apps/orig.nsf");
  EXPECT_EQ(context.NoteId, 0x1A2Fu);
  EXPECT_EQ(LoadU32(context.SequenceTime), seq.innards[0]);
  EXPECT_EQ(LoadU32(context.SequenceTime + 4), seq.innards[1]);
}

TEST_F(NoteItemContext, LongSourcePathsAndTitlesAreCut) {
  const std::string longText(400, 'x');
  const NoteHandle note = Open("cache.dsk", {sim::SimItemSpec::Text("$SourceDbPath", longText),
                                             sim::SimItemSpec::Text("$TITLE", longText)});
  ItemContext context;
  ASSERT_EQ(FillItemContext(profile_, note, "$Body", instrument_flags::kSkipWatchChecks, context), kNoError);
  EXPECT_EQ(context.DatabasePath.size(), kContextTextMax);
  EXPECT_EQ(context.Title.size(), kContextTextMax);
}

TEST(SourceUrlNoteId, TakesTheHexNumberAfterTheLastSlash) {
  uint32_t id = 7;
  EXPECT_TRUE(SourceUrlNoteId("notes:///db/view/1f0A", id));
  EXPECT_EQ(id, 0x1F0Au);
  EXPECT_TRUE(SourceUrlNoteId("/0000000012345678", id)) << "leading zeros do not count";
  EXPECT_EQ(id, 0x12345678u);
  EXPECT_TRUE(SourceUrlNoteId("a/9z", id));
  EXPECT_EQ(id, 9u);
  id = 7;
  for (std::string_view bad : {"no slash", "ends/", "x/zz", "x/123456789"}) {
    EXPECT_FALSE(SourceUrlNoteId(bad, id)) << bad;
    EXPECT_EQ(id, 7u) << bad;
  }
}

class KeyRemap : public NoteItemContext {
 protected:
  void SetUp() override {
    note_ = Open("a.nsf", {});
    ASSERT_TRUE(module_.Parse(kit::CompiledModule("S", 2)));
    key_ = ModuleKey(module_);
  }
  std::string Marker() {
    char name[16];
    std::snprintf(name, sizeof name, "%X_KVX", key_);
    return name;
  }

  NoteHandle note_;
  CLSScriptModule module_;
  uint32_t key_ = 0;
};

TEST_F(KeyRemap, MarkerItemMapsTheChecksumToTheOldKey) {
  RemapModuleKey(profile_, note_, module_);
  EXPECT_TRUE(profile_.KeyRemap.empty()) << "no marker, no mapping";
  ASSERT_EQ(sim_->ItemSetNumber(note_, Marker(), 4000000000.0), kNoError);
  RemapModuleKey(profile_, note_, module_);
  ASSERT_EQ(profile_.KeyRemap.count(key_), 1u);
  EXPECT_EQ(profile_.KeyRemap[key_], 4000000000u);

  ASSERT_EQ(sim_->ItemSetNumber(note_, Marker(), 17.9), kNoError);
  RemapModuleKey(profile_, note_, module_);
  EXPECT_EQ(profile_.KeyRemap[key_], 4000000000u) << "an existing mapping stays";
}

TEST_F(KeyRemap, ValuesThatAreNoKeyAreIgnored) {
  const double bad[] = {static_cast<double>(key_), std::nan(""), std::numeric_limits<double>::infinity(), 1e300};
  for (double value : bad) {
    ASSERT_EQ(sim_->ItemSetNumber(note_, Marker(), value), kNoError);
    RemapModuleKey(profile_, note_, module_);
    EXPECT_TRUE(profile_.KeyRemap.empty()) << value;
  }
  ASSERT_EQ(sim_->ItemSetNumber(note_, Marker(), -2.5), kNoError);
  RemapModuleKey(profile_, note_, module_);
  EXPECT_EQ(profile_.KeyRemap[key_], 0xFFFFFFFEu) << "truncated toward zero, low 32 bits kept";
}

}  // namespace
}  // namespace quillet
