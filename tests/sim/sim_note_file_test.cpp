// Tests of the note file: write-read identity, refusal of every truncation
// and of malformed fields, and the way through the simulated host.
#include "sim/sim_note_file.h"

#include <gtest/gtest.h>

#include "sim/scoped_sim_host.h"
#include "util/bytes.h"

namespace quillet::sim {
namespace {

NoteFile Sample() {
  NoteFile note;
  note.noteClass = kNoteClassFilter;
  note.noteId = 0x20E;
  note.isSigned = true;
  note.items.push_back(SimItemSpec::Text("$TITLE", "Agent"));
  note.items.push_back(SimItemSpec{"$AssistAction_Ex", kTypeLsObject, {1, 2, 3, 4, 5}, kItemSigned});
  note.items.push_back(SimItemSpec{"Empty", 0x0042, {}, 0});
  return note;
}

TEST(NoteFile, WriteReadWriteIsIdentity) {
  const std::vector<uint8_t> bytes = WriteNoteFile(Sample());
  ASSERT_EQ(bytes.size(), kNoteFileHeaderSize + 3 * kNoteFileItemHeaderSize + 6 + 5 + 16 + 5 + 5);
  NoteFile read;
  ParseError error;
  ASSERT_TRUE(ReadNoteFile(bytes, read, error)) << error.Text;
  EXPECT_EQ(read.noteClass, kNoteClassFilter);
  EXPECT_EQ(read.noteId, 0x20Eu);
  EXPECT_TRUE(read.isSigned);
  EXPECT_FALSE(read.sealed);
  ASSERT_EQ(read.items.size(), 3u);
  EXPECT_EQ(read.items[1].name, "$AssistAction_Ex");
  EXPECT_EQ(read.items[1].flags, kItemSigned);
  EXPECT_EQ(read.items[2].type, 0x0042);
  EXPECT_EQ(WriteNoteFile(read), bytes);
}

TEST(NoteFile, EveryTruncationIsRefusedAndLeavesTheNote) {
  const std::vector<uint8_t> bytes = WriteNoteFile(Sample());
  for (size_t n = 0; n < bytes.size(); ++n) {
    NoteFile note;
    note.noteId = 77;
    ParseError error;
    EXPECT_FALSE(ReadNoteFile(std::span(bytes).first(n), note, error)) << n;
    EXPECT_EQ(note.noteId, 77u);
    EXPECT_TRUE(note.items.empty());
  }
}

TEST(NoteFile, MalformedFieldsAreRefusedWithTheirOffset) {
  const std::vector<uint8_t> good = WriteNoteFile(Sample());
  struct Damage {
    size_t at;
    uint8_t value;
    size_t offset;
  } damages[] = {
      {0, 'X', 0},                          // magic
      {4, 2, 4},                            // version
      {12, 4, 12},                          // unknown note flag
      {16, 0xFF, 16},                       // item count beyond the file
      {kNoteFileHeaderSize, 0, kNoteFileHeaderSize},  // empty item name
      {kNoteFileHeaderSize + 6, 1, kNoteFileHeaderSize + 6},  // reserved item word
  };
  for (const Damage& d : damages) {
    std::vector<uint8_t> bad = good;
    bad[d.at] = d.value;
    NoteFile note;
    ParseError error;
    EXPECT_FALSE(ReadNoteFile(bad, note, error)) << d.at;
    EXPECT_EQ(error.Offset, d.offset) << error.Text;
  }
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  NoteFile note;
  ParseError error;
  EXPECT_FALSE(ReadNoteFile(longer, note, error));
  EXPECT_EQ(error.Offset, good.size());
}

TEST(NoteFile, ImportedNoteExportsTheSameItems) {
  ScopedSimHost sim;
  const NoteFile sample = Sample();
  NoteId id = 0;
  ASSERT_EQ(ImportNote(sim.host(), "files/imported.nsf", sample, id), kNoError);
  DbHandle db;
  ASSERT_EQ(sim->DbOpen("files/imported.nsf", db), kNoError);
  NoteHandle note;
  ASSERT_EQ(sim->NoteOpen(db, id, 0, note), kNoError);
  NoteFile exported;
  ASSERT_EQ(ExportNote(sim.host(), note, exported), kNoError);
  EXPECT_EQ(exported.noteId, id);
  EXPECT_TRUE(exported.isSigned);
  NoteFile expected = sample;
  expected.noteId = id;
  EXPECT_EQ(WriteNoteFile(exported), WriteNoteFile(expected));
  ASSERT_EQ(sim->NoteClose(note), kNoError);
  ASSERT_EQ(sim->DbClose(db), kNoError);
}

TEST(NoteFile, FailedImportReportsTheHostStatus) {
  ScopedSimHost sim;
  NoteId id = 5;
  EXPECT_EQ(ImportNote(sim.host(), "../outside.nsf", Sample(), id), kErrInvalidArgument);
  EXPECT_EQ(id, 5u);
}

}  // namespace
}  // namespace quillet::sim
