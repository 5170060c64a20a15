// InstrumentNote and InstrumentItem on whole design notes: what is rewritten,
// what is refused or left alone, and that only the note in memory changes.
#include "instrument/note_instrument.h"

#include <gtest/gtest.h>

#include "instrument/module_instrument.h"
#include "instrument/note_open_fixture.h"
#include "lsobject/ls_script_module.h"

namespace quillet::testing {
namespace {

constexpr const char* kLibrarySource = "Sub Main\n  Print \"main ran\"\nEnd Sub\n";

bool IsInstrumented(const kit::Bytes& image) {
  CLSScriptModule module;
  return module.Parse(image) && IsInstrumentedModule(module);
}

// The image of a script item as the runtime would load it.
kit::Bytes ImageOf(NoteHandle note, std::string_view item) {
  kit::Bytes image;
  EXPECT_EQ(ReadScriptItemImage(note, item, image), kNoError) << item;
  return image;
}

// Values of the item instances, for comparing a note before and after.
std::vector<std::pair<std::string, kit::Bytes>> Values(const std::vector<ItemInfo>& items) {
  std::vector<std::pair<std::string, kit::Bytes>> values;
  for (const ItemInfo& item : items) values.emplace_back(item.name, item.value);
  return values;
}

// An agent whose Initialize has `lines` statements, then prints the total.
std::string LongAgent(int lines) {
  std::string source = "Sub Initialize\n  Dim total As Long\n";
  for (int i = 0; i < lines; ++i) source += "  total = total + " + std::to_string(i % 7) + "\n";
  return source + "  Print \"total \" & total\nEnd Sub\n";
}

class NoteInstrument : public NoteOpenTest {};

TEST_F(NoteInstrument, NothingIsWrittenToTheDatabase) {
  const NoteId id = Store(kit::ScriptLibraryNote("Maths", kLibrarySource));
  const auto stored = Values(Items(OpenPlain(id)));
  const NoteHandle note = OpenThroughHook(id);
  EXPECT_TRUE(IsInstrumented(ImageOf(note, "$ScriptLib_O")));
  EXPECT_NE(Values(Items(note)), stored) << "the note in memory is rewritten";
  EXPECT_EQ(Values(Items(OpenPlain(id))), stored) << "the stored note is not";
}

TEST_F(NoteInstrument, ASecondOpenOfASavedRewriteOnlyRegistersAndRemapsTheKey) {
  const NoteId id = Store(kit::ScriptLibraryNote("Maths", kLibrarySource));
  CLSScriptModule original;
  ASSERT_TRUE(original.Parse(ImageOf(OpenPlain(id), "$ScriptLib_O")));
  const uint32_t oldKey = ModuleKey(original);

  const NoteHandle first = OpenThroughHook(id);
  const kit::Bytes rewritten = ImageOf(first, "$ScriptLib_O");
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(rewritten));
  const uint32_t newKey = ModuleKey(module);
  ASSERT_NE(newKey, oldKey);
  ASSERT_EQ(sim->NoteUpdate(first, 0), kNoError);  // a caller saves the rewritten note

  const NoteHandle second = OpenThroughHook(id);
  EXPECT_EQ(ImageOf(second, "$ScriptLib_O"), rewritten) << "no second timer class or declarations";
  {
    platform::LockHolder hold(gProfilerApp->Lock());
    ProfileRef profile = Profile();
    ASSERT_EQ(profile->KeyRemap.count(newKey), 1u);
    EXPECT_EQ(profile->KeyRemap.at(newKey), oldKey);
  }
  const RunResult run = RunNoteItem(second, "$ScriptLib_O", Timed("Main"));
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(run.output, "main ran\n");
  EXPECT_EQ(Calls().at("MAIN"), 1);
}

TEST_F(NoteInstrument, LargeAgentCodeMovesToAnItemOfItsOwnAndStillRuns) {
  const NoteId id = Store(kit::AgentNote("Bulk", LongAgent(1400)));
  const NoteHandle plain = OpenPlain(id);
  ASSERT_LT(ImageOf(plain, "$AssistAction_Ex").size(), 61310u);
  const RunResult before = RunAgent(plain, {});
  ASSERT_TRUE(before.ok) << before.error;

  const NoteHandle note = OpenThroughHook(id);
  std::vector<size_t> pieces;
  for (const ItemInfo& item : Items(note)) {
    if (item.name == "$AgentHScript_O") {
      EXPECT_EQ(item.type, kTypeText);
      pieces.push_back(item.value.size() - 2);
    }
  }
  ASSERT_EQ(pieces.size(), 2u) << "more than one item's worth of code";
  EXPECT_EQ(pieces[0], 61310u);
  EXPECT_EQ(ImageOf(note, "$AssistAction_Ex").size(), 14u) << "the action is the empty script action";
  EXPECT_TRUE(IsInstrumented(ImageOf(note, "$AgentHScript_O")));

  const RunResult after = RunAgent(note, Timed());
  ASSERT_TRUE(after.ok) << after.error;
  EXPECT_EQ(after.output, before.output);
  EXPECT_EQ(Calls().at("INITIALIZE"), 1);
  EXPECT_EQ(LineHits().at("INITIALIZE"), 1400 + 1);
}

TEST_F(NoteInstrument, CorruptObjectCodeInABodyStaysWhileTheRestIsRewritten) {
  const kit::Bytes corrupt = {0x01, 0x00, 0x7F, 0x7F, 0x33, 0x33, 0x33};
  sim::NoteFile form = kit::DesignNote(kNoteClassForm, "Order", "");
  form.items.push_back(CompositeItem("$Body", kTypeCompositeData,
                                     {kit::LsObjectRecord(kit::CompileScript("Sub A\n  Print \"a\"\nEnd Sub\n")),
                                      kit::LsObjectRecord(corrupt),
                                      kit::LsObjectRecord(kit::CompileScript("Sub B\n  Print \"b\"\nEnd Sub\n"))}));
  const NoteHandle note = OpenThroughHook(Store(form));
  std::vector<NoteCodePiece> pieces;
  ASSERT_EQ(ListObjectCode(note, "$Body", pieces), kNoError);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_TRUE(IsInstrumented(pieces[0].image));
  EXPECT_EQ(pieces[1].image, corrupt);
  EXPECT_TRUE(IsInstrumented(pieces[2].image));
}

TEST_F(NoteInstrument, UnwatchedDatabaseIsRefusedAndLeftUntouched) {
  const NoteId id = Store(kit::ScriptLibraryNote("Maths", kLibrarySource), "apps/other.nsf");
  const NoteHandle note = OpenPlain(id, "apps/other.nsf");
  const auto before = Values(Items(note));
  ProfileRef profile = Profile();
  platform::LockHolder hold(gProfilerApp->Lock());
  const int32_t flags = profile->ContextFlags;
  EXPECT_EQ(InstrumentItem(*profile, note, "$ScriptLib_O", {}, 0), kErrDatabaseNotWatched);
  profile->Collecting = false;
  EXPECT_EQ(InstrumentItem(*profile, note, "$ScriptLib_O", {}, 0), kErrProfilerNotEnabled);
  EXPECT_EQ(Values(Items(note)), before);
  EXPECT_EQ(profile->ContextFlags, flags);
  EXPECT_TRUE(profile->Data.Procedures().empty());

  EXPECT_EQ(InstrumentItem(*profile, note, "$ScriptLib_O", {}, instrument_flags::kSkipWatchChecks), kNoError);
  EXPECT_TRUE(IsInstrumented(ImageOf(note, "$ScriptLib_O"))) << "the skip flag consults neither check";
  EXPECT_EQ(profile->ContextFlags, flags) << "the item's flags are dropped again";
}

TEST_F(NoteInstrument, ApplicationWithoutTheSkipFlagLeavesAnUnwatchedNoteAlone) {
  CQuilletApp app(0);
  ProfileRef profile = app.PushProfile();
  profile->ResetContext(true, true, 0x0003);
  profile->AddDatabase(kWatchedDb);
  const NoteHandle other = OpenPlain(Store(kit::ScriptLibraryNote("Maths", kLibrarySource), "apps/other.nsf"), "apps/other.nsf");
  const auto before = Values(Items(other));
  app.InstrumentNote(other, 0);
  EXPECT_EQ(Values(Items(other)), before);

  const NoteHandle watched = OpenPlain(Store(kit::ScriptLibraryNote("Maths", kLibrarySource)));
  app.InstrumentNote(watched, 0);
  EXPECT_TRUE(IsInstrumented(ImageOf(watched, "$ScriptLib_O")));
}

TEST_F(NoteInstrument, LowerCaseBodyTakesTheRichTextPath) {
  sim::NoteFile form = kit::DesignNote(kNoteClassForm, "Order", "");
  form.items.push_back(CompositeItem("$body", kTypeCompositeData,
                                     {kit::LsObjectRecord(kit::CompileScript("Sub A\n  Print \"a\"\nEnd Sub\n"))}));
  const NoteHandle note = OpenPlain(Store(form));
  ProfileRef profile = Profile();
  platform::LockHolder hold(gProfilerApp->Lock());
  ASSERT_EQ(InstrumentItem(*profile, note, "$body", {}, 0), kNoError);
  std::vector<NoteCodePiece> pieces;
  ASSERT_EQ(ListObjectCode(note, "$Body", pieces), kNoError);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_TRUE(IsInstrumented(pieces[0].image));
}

TEST_F(NoteInstrument, AFailingItemScanLeavesTheNoteAsItWas) {
  const NoteId id = Store(NavigatorNote("Map", "Home", "Sub Click\n  Print \"x\"\nEnd Sub\n"));
  const NoteHandle note = OpenPlain(id);
  const auto before = Values(Items(note));
  sim->FailNext("ItemScan", kErrInvalidHandle);
  gProfilerApp->InstrumentNote(note, 0);
  EXPECT_EQ(Values(Items(note)), before);
  EXPECT_EQ(gProfilerApp->SavedViewNote(sim->NoteOriginator(note).unid), NoteHandle{});
}

TEST_F(NoteInstrument, AHostFailureInsideOneItemSparesTheOthers) {
  sim::NoteFile both = kit::ScriptLibraryNote("Maths", kLibrarySource);
  both.items.push_back(kit::DatabaseScriptNote("Sub Postopen\n  Print \"p\"\nEnd Sub\n").items.back());
  const NoteHandle note = OpenPlain(Store(both));
  const kit::Bytes script = ImageOf(note, "$DBScript_O");
  const int32_t flags = Profile()->ContextFlags;
  sim->ThrowNext("DbCanonicalPath");  // the first item, "$DBScript_O", meets it
  gProfilerApp->InstrumentNote(note, 0);
  EXPECT_EQ(ImageOf(note, "$DBScript_O"), script);
  EXPECT_TRUE(IsInstrumented(ImageOf(note, "$ScriptLib_O")));
  EXPECT_EQ(Profile()->ContextFlags, flags);
}

}  // namespace
}  // namespace quillet::testing
