// Notes of the simulated host: working copies, update and sequence, copies,
// signatures and the expanded state.
#include <gtest/gtest.h>

#include "sim/scoped_sim_host.h"

namespace quillet::sim {
namespace {

class SimNoteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(host.CreateDatabase("agents.nsf"), kNoError);
    ASSERT_EQ(host.CreateNote("agents.nsf", kNoteClassFilter, {SimItemSpec::Text("$TITLE", "Agent")}, id), kNoError);
    ASSERT_EQ(host.DbOpen("agents.nsf", db), kNoError);
  }

  std::string Title(NoteHandle note) {
    std::string text;
    host.ItemText(note, "$TITLE", text, 256);
    return text;
  }

  ScopedSimHost sim;
  SimHost& host = sim.host();
  NoteId id = 0;
  DbHandle db;
};

TEST_F(SimNoteTest, OpenNotesAreWorkingCopiesUntilUpdated) {
  NoteHandle a, b;
  ASSERT_EQ(host.NoteOpen(db, id, 0, a), kNoError);
  ASSERT_EQ(host.NoteOpen(db, id, 0, b), kNoError);
  EXPECT_EQ(host.NoteGetId(a), id);
  EXPECT_EQ(host.NoteClass(a), kNoteClassFilter);
  EXPECT_EQ(host.NoteDatabase(a), db);
  const OriginatorId before = host.NoteOriginator(a);

  ASSERT_EQ(host.ItemSetText(a, "$TITLE", "Rewritten"), kNoError);
  EXPECT_EQ(Title(b), "Agent");  // not stored: the other handle does not see it
  ASSERT_EQ(host.NoteUpdate(a, 0), kNoError);

  NoteHandle c;
  ASSERT_EQ(host.NoteOpen(db, id, 0, c), kNoError);
  EXPECT_EQ(Title(c), "Rewritten");
  const OriginatorId after = host.NoteOriginator(c);
  EXPECT_EQ(after.unid, before.unid);
  EXPECT_EQ(after.sequence, before.sequence + 1);
  EXPECT_GT(after.sequenceTime.AsU64(), before.sequenceTime.AsU64());
  EXPECT_EQ(host.NoteOriginator(a).sequence, after.sequence);  // the updating handle follows

  for (NoteHandle note : {a, b, c}) EXPECT_EQ(host.NoteClose(note), kNoError);
  EXPECT_EQ(host.NoteClose(a), kErrInvalidHandle);
  EXPECT_EQ(host.OpenNoteCount(), 0u);
}

TEST_F(SimNoteTest, CreatedNoteGetsAnIdAndUniversalIdWhenFirstStored) {
  NoteHandle note;
  ASSERT_EQ(host.NoteCreate(db, note), kNoError);
  EXPECT_EQ(host.NoteGetId(note), 0u);
  ASSERT_EQ(host.ItemSetText(note, "Form", "PROFLOG"), kNoError);
  ASSERT_EQ(host.NoteUpdate(note, 0), kNoError);
  const NoteId stored = host.NoteGetId(note);
  EXPECT_NE(stored, 0u);
  EXPECT_NE(stored, id);
  NoteId found = 0;
  uint16_t noteClass = 0;
  ASSERT_EQ(host.DbNoteByUnid(db, host.NoteOriginator(note).unid, found, noteClass), kNoError);
  EXPECT_EQ(found, stored);
  EXPECT_EQ(noteClass, kNoteClassDocument);
  EXPECT_EQ(host.DbNoteByUnid(db, Unid{}, found, noteClass), kErrNoteNotFound);
}

TEST_F(SimNoteTest, CopyIsIndependentOfItsSourceAndStoresAsANewNote) {
  NoteHandle source, copy;
  ASSERT_EQ(host.NoteOpen(db, id, 0, source), kNoError);
  ASSERT_EQ(host.NoteCopy(source, copy), kNoError);
  EXPECT_EQ(host.NoteGetId(copy), 0u);
  EXPECT_EQ(Title(copy), "Agent");

  ASSERT_EQ(host.ItemSetText(source, "$TITLE", "Source changed"), kNoError);
  ASSERT_EQ(host.ItemSetText(copy, "Extra", "only in copy"), kNoError);
  EXPECT_EQ(Title(copy), "Agent");
  ItemInfo info;
  EXPECT_EQ(host.ItemFind(source, "Extra", info), kErrItemNotFound);

  ASSERT_EQ(host.NoteClose(source), kNoError);
  EXPECT_EQ(Title(copy), "Agent");  // the copy outlives its source
  ASSERT_EQ(host.NoteUpdate(copy, 0), kNoError);
  EXPECT_NE(host.NoteGetId(copy), id);
  NoteHandle original;
  ASSERT_EQ(host.NoteOpen(db, id, 0, original), kNoError);
  EXPECT_NE(host.NoteOriginator(original).unid, host.NoteOriginator(copy).unid);
  EXPECT_EQ(host.ItemFind(original, "Extra", info), kErrItemNotFound);
}

TEST_F(SimNoteTest, UpdateOfANoteDeletedMeanwhileFails) {
  NoteHandle note;
  ASSERT_EQ(host.NoteOpen(db, id, 0, note), kNoError);
  ASSERT_EQ(host.DeleteNote("agents.nsf", id), kNoError);
  EXPECT_EQ(host.NoteUpdate(note, 0), kErrNoteNotFound);
}

TEST_F(SimNoteTest, SigningUsesTheCurrentIdAndSurvivesUpdate) {
  host.SetCurrentUser("CN=Signer/OU=Dev/O=Acme");
  NoteHandle note;
  ASSERT_EQ(host.NoteOpen(db, id, 0, note), kNoError);
  bool sealed = true;
  EXPECT_FALSE(host.NoteIsSigned(note, sealed));
  EXPECT_FALSE(sealed);
  std::string signer, certifier;
  EXPECT_EQ(host.NoteSigner(note, signer, certifier), kErrNotSigned);

  ASSERT_EQ(host.NoteSign(note), kNoError);
  EXPECT_TRUE(host.NoteIsSigned(note, sealed));
  ASSERT_EQ(host.NoteSigner(note, signer, certifier), kNoError);
  EXPECT_EQ(signer, "CN=Signer/OU=Dev/O=Acme");
  EXPECT_EQ(certifier, "OU=Dev/O=Acme");
  ASSERT_EQ(host.NoteUpdate(note, 0), kNoError);

  NoteHandle reopened;
  ASSERT_EQ(host.NoteOpen(db, id, 0, reopened), kNoError);
  EXPECT_TRUE(host.NoteIsSigned(reopened, sealed));
  ASSERT_EQ(host.NoteRemoveSignature(reopened), kNoError);
  EXPECT_FALSE(host.NoteIsSigned(reopened, sealed));
  EXPECT_EQ(host.NoteRemoveSignature(reopened), kNoError);  // nothing left to remove
}

TEST_F(SimNoteTest, ExpandAndContractTrackTheExpandedState) {
  NoteHandle note;
  ASSERT_EQ(host.NoteOpen(db, id, 0, note), kNoError);
  EXPECT_FALSE(host.IsExpanded(note));
  ASSERT_EQ(host.NoteExpand(note), kNoError);
  EXPECT_TRUE(host.IsExpanded(note));
  ASSERT_EQ(host.NoteContract(note), kNoError);
  EXPECT_FALSE(host.IsExpanded(note));
  EXPECT_EQ(host.NoteExpand(NoteHandle{12345}), kErrInvalidHandle);
}

}  // namespace
}  // namespace quillet::sim
