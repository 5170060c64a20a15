// Tests of the script items of design notes: which items are listed, loading
// a module spread over several items, and storing it back under the size
// rule, with the marker item and the note put back after a failed store.
#include "lsobject/script_items.h"

#include <gtest/gtest.h>

#include <numeric>

#include "config/host_text.h"
#include "lsobject/design_kind.h"
#include "lsobject/ls_script_module.h"
#include "sim/module_builder.h"
#include "sim/scoped_sim_host.h"
#include "sim/string_table_builder.h"
#include "support/design_note_kit.h"

namespace quillet {
namespace {

using kit::Bytes;

constexpr char kLibrarySource[] =
    "Sub Greet\n"
    "  Print \"hello\"\n"
    "End Sub\n"
    "Function Twice(n As Integer) As Integer\n"
    "  Twice = n * 2\n"
    "End Function\n";

Bytes Concatenated(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::vector<size_t> Sizes(const std::vector<Bytes>& parts) {
  std::vector<size_t> sizes;
  for (const Bytes& part : parts) sizes.push_back(part.size());
  return sizes;
}

Bytes Reserialized(const Bytes& image) {
  CLSScriptModule module;
  EXPECT_TRUE(module.Parse(image));
  return module.Serialize();
}

// A module image that serialises to exactly `size` bytes: a small module
// whose byte code has `byteCode` bytes, grown by an unknown section.
Bytes ImageOfSize(size_t size, size_t byteCode = 30, std::optional<uint32_t> actionFlags = {}) {
  sim::ModuleDescription d;
  sim::NumberedStrings(40).Into(d);
  d.symbols = {sim::Pattern(60, 2)};
  d.byteCode = sim::Pattern(byteCode, 3);
  d.actionFlags = actionFlags;
  d.unknown = {{10, Bytes{}}};
  for (int attempt = 0; attempt < 4; ++attempt) {
    const Bytes image = sim::BuildModuleImage(d);
    const size_t serialised = Reserialized(image).size();
    if (serialised == size) return image;
    d.unknown[0].body.resize(d.unknown[0].body.size() + size - serialised);
  }
  ADD_FAILURE() << "no module serialises to " << size << " bytes";
  return {};
}

class ScriptItems : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(sim_->CreateDatabase("design.nsf"), kNoError); }

  // The note stored and opened; the test ends when that fails.
  std::unique_ptr<kit::OpenedNote> Open(const sim::NoteFile& note) {
    auto opened = std::make_unique<kit::OpenedNote>(sim_.host(), "design.nsf", note);
    EXPECT_EQ(opened->status(), kNoError);
    return opened;
  }

  static void AddItem(sim::NoteFile& note, std::string name, uint16_t type, Bytes value = {1, 2}) {
    note.items.push_back(sim::SimItemSpec{std::move(name), type, std::move(value), kItemSummary});
  }

  sim::ScopedSimHost sim_;
};

// --- Listing ------------------------------------------------------------------

TEST_F(ScriptItems, ListHoldsEachScriptItemOnceSortedIgnoringCase) {
  sim::NoteFile note = kit::DesignNote(kNoteClassForm, "Form", "");
  AddItem(note, "$ScriptLib_O", kTypeLsObject);
  AddItem(note, "$ScriptLib_O", kTypeLsObject);
  AddItem(note, "$Body", kTypeCompositeData);
  AddItem(note, "zCode", kTypeLsObject);  // any name of type 20
  AddItem(note, "Alpha", kTypeLsObject);
  AddItem(note, "$DBScript_O", kTypeText);  // a script name, whatever its type
  AddItem(note, "Plain", kTypeText);
  AddItem(note, "$V5ACTIONS", kTypeCompositeData);  // action bars carry object code too
  AddItem(note, "$ACTIONS", kTypeCompositeData);
  auto opened = Open(note);
  std::vector<std::string> names{"old"};
  ASSERT_EQ(ListScriptItems(opened->handle(), names), kNoError);
  EXPECT_EQ(names, (std::vector<std::string>{"$ACTIONS", "$Body", "$DBScript_O", "$ScriptLib_O", "$V5ACTIONS",
                                             "Alpha", "zCode"}));
}

TEST_F(ScriptItems, ListNamesScriptItemsExactlyAndDropsRepeatsAnywhere) {
  sim::NoteFile note = kit::DesignNote(kNoteClassForm, "Form", "");
  AddItem(note, "$scriptlib_o", kTypeText);  // not the script name: the comparison is exact
  AddItem(note, "Code", kTypeLsObject);
  AddItem(note, "Other", kTypeLsObject);
  AddItem(note, "CODE", kTypeLsObject);  // the same item name in other letters, not next to it
  auto opened = Open(note);
  std::vector<std::string> names;
  ASSERT_EQ(ListScriptItems(opened->handle(), names), kNoError);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_TRUE(HostCompare(names[0], "code", kCompareNoCase) == 0);
  EXPECT_EQ(names[1], "Other");
}

TEST_F(ScriptItems, FailingScanReturnsItsStatusAndNoNames) {
  auto opened = Open(kit::ScriptLibraryNote("Lib", kLibrarySource));
  sim_->FailNext("ItemScan", kErrInvalidHandle);
  std::vector<std::string> names{"old"};
  EXPECT_EQ(ListScriptItems(opened->handle(), names), kErrInvalidHandle);
  EXPECT_TRUE(names.empty());
}

// --- Loading ------------------------------------------------------------------

TEST_F(ScriptItems, LibrarySplitOverThreeItemsLoadsAsOneImage) {
  const Bytes image = kit::CompileScript(kLibrarySource);
  auto opened = Open(kit::ScriptLibraryNote("Utilities", kLibrarySource, 3));
  ASSERT_EQ(kit::ItemValues(opened->handle(), "$ScriptLib_O").size(), 3u);

  CLSScriptModule module;
  ASSERT_TRUE(module.LoadFromNote(opened->handle(), "$ScriptLib_O"));
  EXPECT_EQ(module.ItemInfo().ModuleLength, static_cast<int32_t>(image.size()));
  EXPECT_EQ(module.Serialize(), Reserialized(image));
  EXPECT_EQ(module.ItemInfo().ItemName, "$ScriptLib_O");
  EXPECT_EQ(module.ItemInfo().Title, "Utilities");
  EXPECT_EQ(module.ItemInfo().NoteId, opened->id());
  EXPECT_EQ(module.ItemInfo().DesignKind, design_kind::kScriptLibrary);
}

TEST_F(ScriptItems, AgentActionIsReadFromItsFirstItemOnly) {
  sim::NoteFile note = kit::AgentNote("Nightly", kLibrarySource);
  const Bytes action = note.items.back().value;
  AddItem(note, "$AssistAction_Ex", kTypeLsObject, Bytes(400, 0x55));
  auto opened = Open(note);
  CLSScriptModule module;
  ASSERT_TRUE(module.LoadFromNote(opened->handle(), "$AssistAction_Ex"));
  EXPECT_EQ(module.ItemInfo().ModuleLength, static_cast<int32_t>(action.size()));
  ASSERT_NE(module.Prefix(), nullptr);
  EXPECT_EQ(module.ItemInfo().DesignKind, design_kind::kAgent);
}

TEST_F(ScriptItems, GlobalScriptTitleNamesTheGlobals) {
  sim::NoteFile note = kit::DesignNote(kNoteClassForm, "Order", "");
  kit::AddScriptItems(note, "$$Script_O", kit::CompileScript(kLibrarySource));
  auto opened = Open(note);
  CLSScriptModule module;
  ASSERT_TRUE(module.LoadFromNote(opened->handle(), "$$script_o"));
  EXPECT_EQ(module.ItemInfo().Title, "Order (Globals)");
  EXPECT_EQ(module.ItemInfo().DesignKind, design_kind::kForm);
}

TEST_F(ScriptItems, LoadRefusesAbsentForeignTypedAndDamagedItems) {
  sim::NoteFile note = kit::ScriptLibraryNote("Lib", kLibrarySource);
  AddItem(note, "ListCode", kTypeTextList, kit::CompileScript(kLibrarySource));
  AddItem(note, "Short", kTypeLsObject, Bytes(299, 0));
  kit::AddScriptItems(note, "AsText", kit::CompileScript(kLibrarySource), 2, kTypeText);
  auto opened = Open(note);
  CLSScriptModule module;
  EXPECT_FALSE(module.LoadFromNote(opened->handle(), "Absent"));
  EXPECT_FALSE(module.LoadFromNote(opened->handle(), "ListCode"));
  EXPECT_FALSE(module.LoadFromNote(opened->handle(), "Short"));
  EXPECT_TRUE(module.LoadFromNote(opened->handle(), "AsText"));  // text is where a large agent's code lives
}

TEST_F(ScriptItems, LoadFailsWhenALaterPieceCannotBeRead) {
  auto opened = Open(kit::ScriptLibraryNote("Lib", kLibrarySource, 2));
  sim_->FailNext("ItemFindNextView", kErrInvalidHandle);
  CLSScriptModule module;
  EXPECT_FALSE(module.LoadFromNote(opened->handle(), "$ScriptLib_O"));
  sim_->ThrowNext("ItemFindView");
  EXPECT_FALSE(module.LoadFromNote(opened->handle(), "$ScriptLib_O"));
  // The pieces are read in place: no read is left holding the note, which
  // takes changes again after a failed load as after a good one.
  EXPECT_EQ(sim_->ItemSetText(opened->handle(), "After", "failed"), kNoError);
  ASSERT_TRUE(module.LoadFromNote(opened->handle(), "$ScriptLib_O"));
  EXPECT_EQ(sim_->ItemSetText(opened->handle(), "After", "loaded"), kNoError);
}

// --- Storing ------------------------------------------------------------------

TEST_F(ScriptItems, StoredModuleReplacesItsItemsAndLeavesAMarker) {
  sim::NoteFile library = kit::ScriptLibraryNote("Lib", kLibrarySource, 2);
  library.isSigned = false;  // so that signing the stored items shows
  auto opened = Open(library);
  const NoteHandle note = opened->handle();
  CLSScriptModule module;
  ASSERT_TRUE(module.LoadFromNote(note, "$ScriptLib_O"));
  const uint32_t oldChecksum = module.StoredChecksum();
  // A changed module gets a new checksum.
  ASSERT_NE(module.FindOrAddSub("Added"), 0u);
  ASSERT_EQ(module.SaveToNote(note, "$ScriptLib_O", false), 0u);
  const uint32_t newChecksum = module.StoredChecksum();
  ASSERT_NE(newChecksum, oldChecksum);

  const Bytes image = module.Serialize();
  EXPECT_EQ(kit::ItemValues(note, "$ScriptLib_O"), std::vector<Bytes>{image});
  EXPECT_EQ(kit::ItemTypes(note, "$ScriptLib_O"), std::vector<uint16_t>{kTypeLsObject});
  double marker = 0;
  ASSERT_TRUE(sim_->ItemNumber(note, MarkerItemName(newChecksum), marker));
  EXPECT_EQ(static_cast<uint32_t>(marker), oldChecksum);
  bool sealed = false;
  EXPECT_TRUE(sim_->NoteIsSigned(note, sealed));

  CLSScriptModule again;
  ASSERT_TRUE(again.LoadFromNote(note, "$ScriptLib_O"));
  EXPECT_EQ(again.StoredChecksum(), newChecksum);
}

TEST_F(ScriptItems, MarkerNameIsTheChecksumInUpperCaseHex) {
  EXPECT_EQ(MarkerItemName(0x00ab12cd), "AB12CD_KVX");
  EXPECT_EQ(MarkerItemName(0xFFFFFFFF), "FFFFFFFF_KVX");
}

TEST_F(ScriptItems, LeaveUnsignedRemovesTheSignature) {
  auto opened = Open(kit::ScriptLibraryNote("Lib", kLibrarySource));
  CLSScriptModule module;
  ASSERT_TRUE(module.LoadFromNote(opened->handle(), "$ScriptLib_O"));
  ASSERT_EQ(module.SaveToNote(opened->handle(), "$ScriptLib_O", true), 0u);
  bool sealed = false;
  EXPECT_FALSE(sim_->NoteIsSigned(opened->handle(), sealed));
}

TEST_F(ScriptItems, UnsignedItemLeavesTheNoteUnsigned) {
  sim::NoteFile library = kit::DesignNote(kNoteClassFilter, "Lib", kit::kScriptLibraryFlags);
  library.isSigned = false;
  kit::AddScriptItems(library, "$ScriptLib_O", kit::CompileScript(kLibrarySource), 1, kTypeLsObject, kItemSummary);
  auto opened = Open(library);
  CLSScriptModule module;
  ASSERT_TRUE(module.LoadFromNote(opened->handle(), "$ScriptLib_O"));
  ASSERT_EQ(module.SaveToNote(opened->handle(), "$ScriptLib_O", false), 0u);
  quillet::ItemInfo info;
  ASSERT_EQ(sim_->ItemFind(opened->handle(), "$ScriptLib_O", info), kNoError);
  EXPECT_EQ(info.flags, kItemSummary);
  bool sealed = false;
  EXPECT_FALSE(sim_->NoteIsSigned(opened->handle(), sealed));
}

TEST_F(ScriptItems, AgentOfExactlyTheLimitStaysInItsItem) {
  sim::NoteFile note = kit::DesignNote(kNoteClassFilter, "Big", kit::kAgentFlags);
  kit::AddScriptItems(note, "$AssistAction_Ex", ImageOfSize(kScriptItemLimit, 30, 0u));
  auto opened = Open(note);
  CLSScriptModule module;
  ASSERT_TRUE(module.LoadFromNote(opened->handle(), "$AssistAction_Ex"));
  ASSERT_EQ(module.SaveToNote(opened->handle(), "$AssistAction_Ex", true), 0u);
  EXPECT_EQ(Sizes(kit::ItemValues(opened->handle(), "$AssistAction_Ex")), std::vector<size_t>{kScriptItemLimit});
  EXPECT_TRUE(kit::ItemValues(opened->handle(), "$AgentHScript_O").empty());
}

TEST_F(ScriptItems, AgentOneByteOverTheLimitMovesToItsOwnItem) {
  // A large agent as the runtime keeps it: the code as text, an empty action.
  sim::NoteFile note = kit::DesignNote(kNoteClassFilter, "Big", kit::kAgentFlags);
  kit::AddScriptItems(note, "$AssistAction_Ex", Bytes(kEmptyScriptAction.begin(), kEmptyScriptAction.end()));
  kit::AddScriptItems(note, "$AgentHScript_O", ImageOfSize(kScriptItemLimit + 1), 1, kTypeText);
  auto opened = Open(note);
  const NoteHandle handle = opened->handle();
  CLSScriptModule module;
  ASSERT_TRUE(module.LoadFromNote(handle, "$AgentHScript_O"));
  ASSERT_EQ(module.SaveToNote(handle, "$AgentHScript_O", true), 0u);
  EXPECT_EQ(Sizes(kit::ItemValues(handle, "$AgentHScript_O")), (std::vector<size_t>{kScriptItemLimit, 1}));
  EXPECT_EQ(kit::ItemTypes(handle, "$AgentHScript_O"), (std::vector<uint16_t>{kTypeText, kTypeText}));
  // The empty action is there once, not once more per store.
  EXPECT_EQ(kit::ItemValues(handle, "$AssistAction_Ex"),
            std::vector<Bytes>{Bytes(kEmptyScriptAction.begin(), kEmptyScriptAction.end())});
  EXPECT_EQ(kit::ItemTypes(handle, "$AssistAction_Ex"), std::vector<uint16_t>{kTypeLsObject});
}

TEST_F(ScriptItems, LargeAgentActionLosesItsPrefixWhenMoved) {
  sim::NoteFile note = kit::DesignNote(kNoteClassFilter, "Big", kit::kAgentFlags);
  kit::AddScriptItems(note, "$AssistAction_Ex", ImageOfSize(kScriptItemLimit + 2, 30, 7u));
  auto opened = Open(note);
  const NoteHandle handle = opened->handle();
  CLSScriptModule module;
  ASSERT_TRUE(module.LoadFromNote(handle, "$AssistAction_Ex"));
  ASSERT_EQ(module.SaveToNote(handle, "$AssistAction_Ex", true), 0u);
  EXPECT_EQ(module.Prefix(), nullptr);
  const Bytes moved = Concatenated(kit::ItemValues(handle, "$AgentHScript_O"));
  EXPECT_EQ(moved, module.Serialize());
  EXPECT_LT(moved.size(), kScriptItemLimit);  // the prefix and its padding are gone
  EXPECT_EQ(kit::ItemValues(handle, "$AssistAction_Ex"),
            std::vector<Bytes>{Bytes(kEmptyScriptAction.begin(), kEmptyScriptAction.end())});
  CLSScriptModule reloaded;
  ASSERT_TRUE(reloaded.LoadFromNote(handle, "$AgentHScript_O"));
  EXPECT_EQ(reloaded.Prefix(), nullptr);
}

TEST_F(ScriptItems, LargeLibrarySplitsIntoItemsOfTheLimit) {
  const size_t size = 2 * kScriptItemLimit + 7380;
  const Bytes image = ImageOfSize(size, 70000);
  sim::NoteFile note = kit::DesignNote(kNoteClassFilter, "Lib", kit::kScriptLibraryFlags);
  kit::AddScriptItems(note, "$ScriptLib_O", image, 2);
  auto opened = Open(note);
  CLSScriptModule module;
  ASSERT_TRUE(module.LoadFromNote(opened->handle(), "$ScriptLib_O"));
  ASSERT_EQ(module.SaveToNote(opened->handle(), "$ScriptLib_O", true), 0u);
  const std::vector<Bytes> pieces = kit::ItemValues(opened->handle(), "$ScriptLib_O");
  EXPECT_EQ(Sizes(pieces), (std::vector<size_t>{kScriptItemLimit, kScriptItemLimit, 7380}));
  EXPECT_EQ(Concatenated(pieces), Reserialized(image));
  EXPECT_TRUE(kit::ItemValues(opened->handle(), "$AgentHScript_O").empty());
}

TEST_F(ScriptItems, NoteWithoutTheItemGetsASignedScriptItem) {
  sim::NoteFile note = kit::DesignNote(kNoteClassFilter, "Lib", kit::kScriptLibraryFlags);
  note.isSigned = false;
  auto opened = Open(note);
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(kit::CompileScript(kLibrarySource)));
  ASSERT_EQ(module.SaveToNote(opened->handle(), "$ScriptLib_O", false), 0u);
  quillet::ItemInfo info;
  ASSERT_EQ(sim_->ItemFind(opened->handle(), "$ScriptLib_O", info), kNoError);
  EXPECT_EQ(info.type, kNewScriptItemType);
  EXPECT_EQ(info.flags, kNewScriptItemFlags);
  bool sealed = false;
  EXPECT_TRUE(sim_->NoteIsSigned(opened->handle(), sealed));
}

class ScriptItemsFailure : public ScriptItems, public ::testing::WithParamInterface<int> {};

// Every failure part-way leaves the note's items as they were.
TEST_P(ScriptItemsFailure, FailedStoreLeavesTheNoteAsItWas) {
  const size_t size = 2 * kScriptItemLimit + 100;
  auto opened = Open([&] {
    sim::NoteFile note = kit::DesignNote(kNoteClassFilter, "Lib", kit::kScriptLibraryFlags);
    kit::AddScriptItems(note, "$ScriptLib_O", ImageOfSize(size, 70000), 3);
    return note;
  }());
  const NoteHandle handle = opened->handle();
  sim::NoteFile before;
  ASSERT_EQ(sim::ExportNote(sim_.host(), handle, before), kNoError);
  CLSScriptModule module;
  ASSERT_TRUE(module.LoadFromNote(handle, "$ScriptLib_O"));
  ASSERT_NE(module.FindOrAddSub("Added"), 0u);

  const int step = GetParam();
  Status32 expected = kErrInvalidHandle;
  switch (step) {
    case 0: sim_->FailNext("ItemSetNumber", kErrInvalidHandle); break;
    case 1: sim_->FailNext("ItemDelete", kErrInvalidHandle); break;
    case 2: sim_->FailNext("ItemAppend", kNoError); sim_->FailNext("ItemAppend", kErrInvalidHandle); break;
    case 3: sim_->FailNext("ItemAppend", kNoError); sim_->ThrowNext("ItemAppend"); expected = kErrModuleNotWritten; break;
    default: FAIL();
  }
  EXPECT_EQ(module.SaveToNote(handle, "$ScriptLib_O", true), expected);
  sim::NoteFile after;
  ASSERT_EQ(sim::ExportNote(sim_.host(), handle, after), kNoError);
  EXPECT_EQ(sim::WriteNoteFile(after), sim::WriteNoteFile(before));
}

INSTANTIATE_TEST_SUITE_P(EachStep, ScriptItemsFailure, ::testing::Range(0, 4));

}  // namespace
}  // namespace quillet
