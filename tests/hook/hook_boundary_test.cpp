// Every hook answers null and garbage arguments, and a host that throws,
// with its defined status: the host is never taken down by a hook.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "hook/client_hook_fixture.h"

namespace quillet {
namespace {

using sim::SimItemSpec;

constexpr uint32_t kGarbage[] = {0u, 1u, 0x1234u, 0x7FFFFFFFu, 0xFFFFFFFFu};
constexpr NoteId kNoteIds[] = {0u, 4u, 0x80000000u, 0x80000001u, 0xFFFFFFFFu};

class HookBoundary : public testing::ClientHookTest {
 protected:
  // Calls each hook with every mix of garbage handles and IDs; every answer
  // must be the one defined for a call that names nothing the host knows.
  void CallEveryHookWithGarbage() {
    for (uint32_t db : kGarbage) {
      for (uint32_t note : kGarbage) {
        for (NoteId id : kNoteIds) {
          SCOPED_TRACE(::testing::Message() << "db " << db << " note " << note << " id " << id);
          uint16_t flags = 0;
          EXPECT_EQ(HookNoteOpen_Client(nullptr, nullptr, nullptr, db, id, note, 0xFFFF), kNoError);
          EXPECT_EQ(HookNoteOpen_Server(nullptr, nullptr, nullptr, db, id, note, 0), kNoError);
          EXPECT_EQ(HookNoteUpdate(nullptr, nullptr, nullptr, db, id, note, &flags), kNoError);
          EXPECT_EQ(HookNoteUpdate(nullptr, nullptr, nullptr, db, id, note, nullptr), kNoError);
          EXPECT_EQ(HookDbStampNotes(nullptr, nullptr, nullptr, db, note, nullptr, 0xFFFF, nullptr, 0xFFFF),
                    kNoError);
        }
      }
    }
  }
};

TEST_F(HookBoundary, GarbageHandlesOffOnAndAfterTerm) {
  CallEveryHookWithGarbage();
  SwitchOn();
  CallEveryHookWithGarbage();
  EXPECT_TRUE(gProfilerApp->IsEnabled());
  EXPECT_TRUE(boxes.empty());
  Term(&vector);
  ASSERT_EQ(gProfilerApp, nullptr);
  CallEveryHookWithGarbage();
}

TEST_F(HookBoundary, ThrowingHostNeverEscapesAHook) {
  SwitchOn();
  const NoteHandle form = Stored(kWatched, kNoteClassForm, {SimItemSpec::Text("$TITLE", "Order")});
  const uint32_t db = sim->NoteDatabase(form).value;
  const NoteId id = sim->NoteGetId(form);
  // Each operation the client hooks reach, made to throw once per hook.
  for (const char* operation : {"QueueScan", "DbCanonicalPath", "DbNoteByUnid", "ItemScan", "ItemFind"}) {
    SCOPED_TRACE(operation);
    uint16_t flags = 0;
    sim->ThrowNext(operation);
    EXPECT_EQ(HookNoteOpen_Client(&vector, "", nullptr, db, id, form.value, 0), kNoError);
    sim->ThrowNext(operation);
    const HookStatus update = HookNoteUpdate(&vector, "", nullptr, db, 0x80000000u, form.value, &flags);
    EXPECT_TRUE(update == kNoError || update == kErrDesignSaveRefused) << update;
  }
  // A throw at the first step lets the host go on; the hook keeps working.
  uint16_t flags = 0;
  sim->ThrowNext("QueueScan");
  EXPECT_EQ(HookNoteUpdate(&vector, "", nullptr, db, id, form.value, &flags), kNoError);
  EXPECT_EQ(HookNoteUpdate(&vector, "", nullptr, db, id, form.value, &flags), kErrDesignSaveRefused);
}

TEST_F(HookBoundary, ThrowingHostNeverLetsRewrittenCodeBeSaved) {
  const NoteHandle form = Stored(kWatched, kNoteClassForm, {SimItemSpec::Text("$TITLE", "Order")});
  ASSERT_EQ(sim->ItemSetNumber(form, "C0FFEE_KVX", 1234), kNoError);  // as a rewrite leaves it
  const uint32_t db = sim->NoteDatabase(form).value;
  const NoteId id = sim->NoteGetId(form);
  uint16_t flags = 0;
  // Off: the marker scan itself throws once; on: the path look-up does.
  sim->ThrowNext("ItemScan");
  EXPECT_EQ(HookNoteUpdate(&vector, "", nullptr, db, id, form.value, &flags), kErrDesignSaveRefused);
  SwitchOn();
  sim->ThrowNext("DbCanonicalPath");
  EXPECT_EQ(HookNoteUpdate(&vector, "", nullptr, db, id, form.value, &flags), kErrDesignSaveRefused);
  EXPECT_EQ(boxes.size(), 2u);
  // The host's own bookkeeping save still goes through.
  flags = 0x8000;
  sim->ThrowNext("QueueScan");
  EXPECT_EQ(HookNoteUpdate(&vector, "", nullptr, db, id, form.value, &flags), kNoError);
}

TEST_F(HookBoundary, NullUpdateFlagsReadAsNoFlags) {
  SwitchOn();
  const NoteHandle form = Stored(kWatched, kNoteClassForm, {SimItemSpec::Text("$TITLE", "Order")});
  EXPECT_EQ(HookNoteUpdate(&vector, "", nullptr, sim->NoteDatabase(form).value, sim->NoteGetId(form), form.value,
                           nullptr),
            kErrDesignSaveRefused);
}

}  // namespace
}  // namespace quillet
