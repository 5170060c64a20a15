// The client's note-update hook: design saves to the watched database are
// refused while profiling is on, with the message box; documents, other
// databases and the host's own saves go through; view notes get their
// unrewritten script back before they are saved.
#include <gtest/gtest.h>

#include "config/notes_services.h"
#include "hook/client_hook_fixture.h"

namespace quillet {
namespace {

using sim::SimItemSpec;

constexpr std::string_view kRefusalText =
    "You cannot save design elements while Profiler is running.\n"
    "Please shut down Profiler before making design changes.";

SimItemSpec Script(std::string name, std::vector<uint8_t> bytes) {
  return SimItemSpec{std::move(name), kTypeLsObject, std::move(bytes), kItemSigned};
}

std::vector<uint8_t> ItemValue(sim::SimHost& host, NoteHandle note, std::string_view name) {
  ItemInfo info;
  if (host.ItemFind(note, name, info) != kNoError) return {};
  return info.value;
}

class NoteUpdateHook : public testing::ClientHookTest {};

TEST_F(NoteUpdateHook, DesignSaveToWatchedDatabaseRefusedWhileOn) {
  const NoteHandle form = Stored(kWatched, kNoteClassForm, {SimItemSpec::Text("$TITLE", "Order")});
  EXPECT_EQ(Update(form, 0), kNoError);  // off: nothing is refused
  EXPECT_TRUE(boxes.empty());

  SwitchOn();
  EXPECT_EQ(Update(form, 0), kErrDesignSaveRefused);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], kRefusalText);

  Perform("ENABLE,0,0,65535");
  EXPECT_EQ(Update(form, 0), kNoError);
  EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(NoteUpdateHook, DocumentsOtherDatabasesAndHostSavesGoThrough) {
  SwitchOn();
  const NoteHandle document = Stored(kWatched, kNoteClassDocument, {SimItemSpec::Text("Subject", "x")});
  EXPECT_EQ(Update(document, 0), kNoError);
  const NoteHandle elsewhere = Stored(kOther, kNoteClassForm, {SimItemSpec::Text("$TITLE", "Order")});
  EXPECT_EQ(Update(elsewhere, 0), kNoError);
  const NoteHandle form = Stored(kWatched, kNoteClassForm, {SimItemSpec::Text("$TITLE", "Order")});
  EXPECT_EQ(Update(form, 0x8000), kNoError);  // the host's own bookkeeping save
  // A note not yet stored anywhere has ID 0 or 0x80000001.
  uint16_t flags = 0;
  EXPECT_EQ(HookNoteUpdate(&vector, "", nullptr, sim->NoteDatabase(form).value, 0, form.value, &flags), kNoError);
  EXPECT_EQ(HookNoteUpdate(&vector, "", nullptr, sim->NoteDatabase(form).value, 0x80000001u, form.value, &flags),
            kNoError);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(NoteUpdateHook, NoteNamedByUniversalIdIsRefusedOnlyWhenStored) {
  SwitchOn();
  const NoteHandle form = Stored(kWatched, kNoteClassForm, {SimItemSpec::Text("$TITLE", "Order")});
  uint16_t flags = 0;
  const uint32_t db = sim->NoteDatabase(form).value;
  EXPECT_EQ(HookNoteUpdate(&vector, "", nullptr, db, 0x80000000u, form.value, &flags), kErrDesignSaveRefused);
  NoteHandle fresh;
  ASSERT_EQ(sim->NoteCreate(sim->NoteDatabase(form), fresh), kNoError);
  sim->NoteSetClass(fresh, kNoteClassForm);
  EXPECT_EQ(HookNoteUpdate(&vector, "", nullptr, db, 0x80000000u, fresh.value, &flags), kNoError);
  static_cast<void>(sim->NoteClose(fresh));
}

TEST_F(NoteUpdateHook, DesignCacheSavesRefusedWhatever) {
  ASSERT_EQ(sim->CreateDatabase("cache.ndk"), kNoError);
  SwitchOn();
  const NoteHandle cached = Stored("cache.ndk", kNoteClassForm, {SimItemSpec::Text("$SourceDbPath", kOther)});
  EXPECT_EQ(Update(cached, 0), kErrDesignSaveRefused);
}

TEST_F(NoteUpdateHook, MessageBoxOnlyWhereSomeoneSeesIt) {
  SwitchOn();
  const NoteHandle form = Stored(kWatched, kNoteClassForm, {SimItemSpec::Text("$TITLE", "Order")});
  sim->SetProcessQueryFlag(true);
  EXPECT_EQ(Update(form, 0), kErrDesignSaveRefused);
  EXPECT_TRUE(boxes.empty());
  sim->SetModuleLoaded(u"NNOTESWS.DLL", true);
  EXPECT_EQ(Update(form, 0), kErrDesignSaveRefused);
  EXPECT_EQ(boxes.size(), 1u);
  sim->SetModuleLoaded(u"NNOTESWS.DLL", false);
}

TEST_F(NoteUpdateHook, NoteStillRewrittenAfterSwitchOffIsRefused) {
  const NoteHandle form = Stored(kWatched, kNoteClassForm, {SimItemSpec::Text("$TITLE", "Order")});
  EXPECT_EQ(Update(form, 0), kNoError);
  ASSERT_EQ(sim->ItemSetNumber(form, "C0FFEE_KVX", 1234), kNoError);  // as a rewrite leaves it
  EXPECT_EQ(Update(form, 0), kErrDesignSaveRefused);
  EXPECT_EQ(boxes.size(), 1u);
  ASSERT_EQ(sim->ItemSetText(form, "NOTHEX_KVX", "x"), kNoError);  // names alone do not count
  ASSERT_EQ(DeleteItems(form, "C0FFEE_KVX"), kNoError);
  EXPECT_EQ(Update(form, 0), kNoError);
  const NoteHandle document = Stored(kWatched, kNoteClassDocument, {SimItemSpec::Number("12AB_KVX", 1)});
  EXPECT_EQ(Update(document, 0), kNoError);
}

class ViewRestore : public testing::ClientHookTest {
 protected:
  const std::vector<uint8_t> original{1, 2, 3, 4, 5};
  const std::vector<uint8_t> secondPart{6, 7};

  // A view as opened, remembered, then rewritten in memory as the
  // instrumentation would: new code and a marker item.
  NoteHandle RewrittenView() {
    const NoteHandle view = Stored(kWatched, kNoteClassView,
                                   {SimItemSpec::Text("$TITLE", "By date"), Script("$$Script_O", original),
                                    Script("$$Script_O", secondPart)});
    gProfilerApp->RememberViewNote(view);
    EXPECT_EQ(DeleteItems(view, "$$Script_O"), kNoError);
    EXPECT_EQ(sim->ItemAppend(view, kItemSigned, "$$Script_O", kTypeLsObject, std::vector<uint8_t>{9, 9, 9}),
              kNoError);
    EXPECT_EQ(sim->ItemSetNumber(view, "1A2B_KVX", 77), kNoError);
    return view;
  }
  // Every instance of the view's script item, type word included.
  std::vector<std::vector<uint8_t>> Instances(NoteHandle note) {
    std::vector<std::vector<uint8_t>> values;
    ItemInfo info;
    for (STATUS s = sim->ItemFind(note, "$$Script_O", info); s == kNoError;
         s = sim->ItemFindNext(note, info.item, info)) {
      values.push_back(info.value);
    }
    return values;
  }
  static std::vector<uint8_t> Typed(std::vector<uint8_t> bytes) {
    bytes.insert(bytes.begin(), {static_cast<uint8_t>(kTypeLsObject), 0});
    return bytes;
  }
};

TEST_F(ViewRestore, ViewSaveGetsEveryStoredInstanceBackAndLosesTheMarker) {
  SwitchOn();
  const NoteHandle view = RewrittenView();
  EXPECT_EQ(Update(view, 0x0008), kNoError);
  EXPECT_EQ(Instances(view), (std::vector<std::vector<uint8_t>>{Typed(original), Typed(secondPart)}));
  ItemInfo marker;
  EXPECT_EQ(sim->ItemFind(view, "1A2B_KVX", marker), kErrItemNotFound);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ViewRestore, ViewSavedAfterSwitchOffIsRestoredToo) {
  SwitchOn();
  const NoteHandle view = RewrittenView();
  Perform("FINALIZERUN," + sim.dataDirectory() + "/r.zvk,0");
  ASSERT_FALSE(gProfilerApp->IsEnabled());
  EXPECT_EQ(Update(view, 0), kNoError);
  EXPECT_EQ(Instances(view), (std::vector<std::vector<uint8_t>>{Typed(original), Typed(secondPart)}));
}

TEST_F(ViewRestore, FailedRestoreRefusesTheSaveRatherThanStoreRewrittenCode) {
  SwitchOn();
  const NoteHandle view = RewrittenView();
  sim->FailNext("ItemScan", kErrInvalidHandle);
  EXPECT_EQ(Update(view, 0x0008), kErrDesignSaveRefused);
  EXPECT_EQ(Instances(view), (std::vector<std::vector<uint8_t>>{Typed({9, 9, 9})}));  // unchanged
  EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(ViewRestore, NoCopyNoChange) {
  SwitchOn();
  const NoteHandle view = Stored(kWatched, kNoteClassView, {Script("$$Script_O", original)});
  EXPECT_EQ(gProfilerApp->RestoreViewNote(view), kNoError);
  EXPECT_EQ(ItemValue(sim.host(), view, "$$Script_O"), Typed(original));
  const NoteHandle form = Stored(kWatched, kNoteClassForm, {Script("$$Script_O", original)});
  gProfilerApp->RememberViewNote(form);  // not a view: nothing kept
  EXPECT_FALSE(gProfilerApp->SavedViewNote(sim->NoteOriginator(form).unid));
}

}  // namespace
}  // namespace quillet
