// Writing configuration documents into the simulated configuration database.
#include "support/config_documents.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace quillet::testing {
namespace {

void WriteItems(NoteHandle note, const ConfigDocument& doc) {
  NotesApi& notes = Notes();
  auto text = [&](const char* name, const std::string& value) {
    if (!value.empty()) {
      ASSERT_EQ(notes.ItemSetText(note, name, value), kNoError);
    }
  };
  text("Enabled", doc.Enabled);
  text("DatabasePath", doc.DatabasePath);
  text("DatabaseTitle", doc.DatabaseTitle);
  text("AgentId", doc.AgentId);
  if (doc.AgentRunCount) {
    ASSERT_EQ(notes.ItemSetNumber(note, "AgentRunCount", *doc.AgentRunCount), kNoError);
  }
  text("AgentServerTask", doc.AgentServerTask);
  text("AgentProfileFlags", doc.AgentProfileFlags);
  text("AgentUser", doc.AgentUser);
  text("AgentTitle", doc.AgentTitle);
  text("AgentSignerPassword", doc.AgentSignerPassword);
  text("AgentUNID", doc.AgentUNID);
  if (!doc.SignerIdFile.empty()) {
    ASSERT_EQ(notes.AttachFile(note, doc.SignerIdFile, doc.SignerIdFile), kNoError);
  }
}

}  // namespace

std::string HexId(NoteId id) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", id);
  return text;
}

NoteId AddConfigDocument(sim::SimHost& host, const ConfigDocument& doc) {
  if (!host.DatabaseExists(kConfigDb)) {
    EXPECT_EQ(host.CreateDatabase(kConfigDb, "Profiler Configuration"), kNoError);
  }
  NotesApi& notes = Notes();
  DbHandle db;
  EXPECT_EQ(notes.DbOpen(kConfigDb, db), kNoError);
  NoteHandle note;
  EXPECT_EQ(notes.NoteCreate(db, note), kNoError);
  WriteItems(note, doc);
  EXPECT_EQ(notes.NoteUpdate(note, 0), kNoError);
  const NoteId id = notes.NoteGetId(note);
  EXPECT_EQ(notes.NoteClose(note), kNoError);
  EXPECT_EQ(notes.DbClose(db), kNoError);
  return id;
}

void UpdateConfigDocument(sim::SimHost&, NoteId id, const ConfigDocument& doc) {
  NotesApi& notes = Notes();
  DbHandle db;
  ASSERT_EQ(notes.DbOpen(kConfigDb, db), kNoError);
  NoteHandle note;
  ASSERT_EQ(notes.NoteOpen(db, id, 0, note), kNoError);
  for (const char* name : {"Enabled", "DatabasePath", "AgentId", "AgentRunCount", "AgentProfileFlags", "AgentUser",
                           "AgentUNID"}) {
    while (notes.ItemDelete(note, name) == kNoError) {
    }
  }
  WriteItems(note, doc);
  ASSERT_EQ(notes.NoteUpdate(note, 0), kNoError);
  ASSERT_EQ(notes.NoteClose(note), kNoError);
  ASSERT_EQ(notes.DbClose(db), kNoError);
}

}  // namespace quillet::testing
