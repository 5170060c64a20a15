// The client hooks' fixture: the hook driver started as the Notes client, a
// watched and an unwatched database, and the message boxes it shows kept.
#pragma once

#include <string>
#include <vector>

#include "hook/hook_fixture.h"
#include "platform/platform.h"

namespace quillet::testing {

class ClientHookTest : public HookTest {
 protected:
  static constexpr const char* kWatched = "apps/sales.nsf";
  static constexpr const char* kOther = "apps/other.nsf";

  void SetUp() override {
    HookTest::SetUp();
    StartClient();
    ASSERT_NE(gProfilerApp, nullptr);
    ASSERT_EQ(sim->CreateDatabase(kWatched), kNoError);
    ASSERT_EQ(sim->CreateDatabase(kOther), kNoError);
    previousSink_ = platform::SetMessageBoxSink(
        [this](std::string_view, std::string_view text) { boxes.emplace_back(text); });
  }
  void TearDown() override {
    platform::SetMessageBoxSink(previousSink_);
    for (NoteHandle note : opened_) static_cast<void>(sim->NoteClose(note));
    for (DbHandle db : dbs_) static_cast<void>(sim->DbClose(db));
    HookTest::TearDown();
  }

  void SwitchOn() {
    Perform("ENABLE,1,1,3");
    Perform(std::string("SETFILTER,") + kWatched);
  }
  DbHandle Open(std::string_view path) {
    DbHandle db;
    EXPECT_EQ(sim->DbOpen(path, db), kNoError);
    dbs_.push_back(db);
    return db;
  }
  // Stores a note and opens it with the host alone.
  NoteHandle Stored(std::string_view path, uint16_t noteClass, const std::vector<sim::SimItemSpec>& items) {
    NoteId id = 0;
    EXPECT_EQ(sim->CreateNote(path, noteClass, items, id), kNoError);
    NoteHandle note;
    EXPECT_EQ(sim->NoteOpen(Open(path), id, 0, note), kNoError);
    opened_.push_back(note);
    return note;
  }
  HookStatus Update(NoteHandle note, uint16_t flags) {
    return HookNoteUpdate(&vector, "CN=User", nullptr, sim->NoteDatabase(note).value, sim->NoteGetId(note),
                          note.value, &flags);
  }

  std::vector<std::string> boxes;

 private:
  platform::MessageBoxSink previousSink_;
  std::vector<NoteHandle> opened_;
  std::vector<DbHandle> dbs_;
};

}  // namespace quillet::testing
