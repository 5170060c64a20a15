// Reading the simulated log database back.
#include "support/log_documents.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quillet::testing {
namespace {

// Calls `visit` with each document note of the log, oldest first.
template <typename Visit>
void ForEachDocument(const std::string& path, Visit&& visit) {
  NotesApi& notes = Notes();
  DbHandle db;
  if (notes.DbOpen(path, db) != kNoError) return;
  TableHandle table;
  TimeDate until;
  EXPECT_EQ(notes.DbModifiedNoteTable(db, kNoteClassDocument, notes.MinimumTime(), table, until), kNoError);
  NoteId id = 0;
  for (bool first = true; notes.TableScan(table, first, id); first = false) {
    NoteHandle note;
    EXPECT_EQ(notes.NoteOpen(db, id, 0, note), kNoError);
    visit(note);
    EXPECT_EQ(notes.NoteClose(note), kNoError);
  }
  EXPECT_EQ(notes.TableDestroy(table), kNoError);
  EXPECT_EQ(notes.DbClose(db), kNoError);
}

}  // namespace

std::vector<LogDocument> ReadLogDocuments(const std::string& path) {
  std::vector<LogDocument> documents;
  ForEachDocument(path, [&](NoteHandle note) {
    LogDocument items;
    EXPECT_EQ(Notes().ItemScan(note, [&](const ItemInfo& item) -> STATUS {
      items.push_back(item);
      return kNoError;
    }), kNoError);
    documents.push_back(std::move(items));
  });
  return documents;
}

std::string ItemTextOf(const ItemInfo& item) {
  return item.value.size() < 2 ? std::string() : std::string(item.value.begin() + 2, item.value.end());
}

double ItemNumberOf(const ItemInfo& item) {
  double value = 0;
  if (item.value.size() >= 2 + sizeof value) std::memcpy(&value, item.value.data() + 2, sizeof value);
  return value;
}

const ItemInfo* FindItem(const LogDocument& document, std::string_view name) {
  for (const ItemInfo& item : document) {
    if (item.name == name) return &item;
  }
  return nullptr;
}

bool ReadAttachedReport(const std::string& logPath, size_t index, const std::string& directory, Report& report) {
  bool read = false;
  size_t at = 0;
  const std::string file = directory + "/attached-report.zvk";
  ForEachDocument(logPath, [&](NoteHandle note) {
    if (at++ != index) return;
    ItemInfo attachment;
    if (Notes().ItemFind(note, "$FILE", attachment) != kNoError) return;
    if (Notes().ExtractFile(note, attachment.item, file) != kNoError) return;
    ReportError error;
    read = ReadReportFile(file, report, error);
    EXPECT_TRUE(read) << error.Text;
  });
  return read;
}

}  // namespace quillet::testing
