// Tests of the members added for actions, events, text runs, buttons and
// embedded objects, and of LotusScript source read as text: every piece
// re-emitted in stored order with its length fixed when a callback changes
// it, the location path they install, and pieces past their record refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "design/code_location.h"
#include "design/design_messages.h"
#include "design/item_lstext.h"
#include "design/item_reader.h"
#include "design/item_types.h"
#include "sim/scoped_sim_host.h"
#include "support/composite_rewrite.h"
#include "support/design_items_builder.h"
#include "support/piece_callbacks.h"
#include "util/bytes.h"

namespace quillet {
namespace {

using kit::Bytes;

void Append(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }
Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

using kit::PlaceRecorder;

class CdActions : public ::testing::Test {
 protected:
  // The value of the records of `value` re-emitted as in a segment.
  Bytes Rewrite(const Bytes& value, const RewriteArgs& args, Status32 expected = kNoError) {
    Bytes result = {value[0], value[1]};
    Append(result, kit::RewriteRecords(value, args, expected));
    return result;
  }

  sim::ScopedSimHost host_;
};

TEST_F(CdActions, ActionTitleBodyAndHideWhenFollowTheStoredOrder) {
  const std::string source = kit::ScriptSource("Approve");
  kit::ActionSpec script{"Approve", 2, Text(source), kit::TextFormula("hide")};
  kit::ActionSpec formula{"Save", 1, kit::TextFormula("saved"), kit::TextFormula("never")};
  kit::ActionSpec agent{"Run", 3, kit::RunAgentStream("Nightly")};
  const Bytes value = kit::CompositeValue(1, kit::ActionBar({script, formula, agent}));
  EXPECT_EQ(Rewrite(value, {}), value);

  CodeLocation location;
  PlaceRecorder grow;
  grow.replacements = {{"Approve", "Approve all"}, {"hide", "hide it"}, {"saved", "saved twice"}};
  const Bytes out = Rewrite(value, grow.Args(location));
  kit::ActionSpec grownScript{"Approve all", 2, Text(source), kit::TextFormula("hide it")};
  kit::ActionSpec grownFormula{"Save", 1, kit::TextFormula("saved twice"), kit::TextFormula("never")};
  EXPECT_EQ(out, kit::CompositeValue(1, kit::ActionBar({grownScript, grownFormula, agent})));
  EXPECT_EQ(grow.seen, (std::vector<std::string>{"Approve", "hide", "Save", "saved", "never", "Run", "Nightly"}));
  EXPECT_EQ(grow.places[0], "Action 'Approve'\\Title");
  EXPECT_EQ(grow.places[1], "Action 'Approve'\\Hide Formula");
  EXPECT_EQ(grow.places[3], "Action 'Save'\\Formula");
  EXPECT_EQ(location.Render(), "Action 'Run'") << "the entry stays, no longer pinned";
  location.DropTransient();
  EXPECT_EQ(location.depth(), 0u);
}

TEST_F(CdActions, ActionBodiesOfTypesSevenAndEightAreTakenFromTheirBytes) {
  const std::string source = kit::ScriptSource("Guess");
  Bytes padded = {0, 0};
  Append(padded, Text(source));
  for (const Bytes& body : {padded, kit::RunAgentStream("Agent"), kit::TextFormula("a formula")}) {
    const Bytes value = kit::CompositeValue(1, {kit::ActionRecord({"Guess", 7, body})});
    kit::PieceReplacer grow;
    grow.replacements = {{"Agent", "Agent Smith"}, {"a formula", "a longer formula"}};
    const Bytes out = Rewrite(value, grow.Args());
    Bytes expectedBody = body == padded ? padded
                         : body == kit::TextFormula("a formula") ? kit::TextFormula("a longer formula")
                                                                 : kit::RunAgentStream("Agent Smith");
    EXPECT_EQ(out, kit::CompositeValue(1, {kit::ActionRecord({"Guess", 7, expectedBody})}));
  }
}

TEST_F(CdActions, SimpleActionsWithASwappedTypeWordAreRead) {
  Bytes stream = kit::RunAgentStream("Ag");
  std::swap(stream[0], stream[1]);
  const Bytes value = kit::CompositeValue(1, {kit::ActionRecord({"Run", 3, stream})});
  kit::PieceReplacer grow;
  grow.replacements = {{"Ag", "Agent"}};
  Bytes grown = kit::RunAgentStream("Agent");
  std::swap(grown[0], grown[1]);
  EXPECT_EQ(Rewrite(value, grow.Args()), kit::CompositeValue(1, {kit::ActionRecord({"Run", 3, grown})}));
}

TEST_F(CdActions, ActionPiecesPastTheRecordAreRefused) {
  Bytes action = kit::ActionRecord({"Save", 1, kit::TextFormula("x"), kit::TextFormula("hide")});
  Bytes longTitle = action;
  StoreU16(longTitle.data() + 14, 0x4000);
  Bytes longHide = action;
  StoreU16(longHide.data() + 16, 0x4000);
  for (const Bytes& bad : {longTitle, longHide}) Rewrite(kit::CompositeValue(1, {bad}), {}, kErrBadCompositeRecord);
}

TEST_F(CdActions, AgentFormulaAndScriptActions) {
  const Bytes formula = kit::CompositeValue(kTypeAction, kit::AssistActionFormula(kit::TextFormula("odd")));
  const Bytes script = kit::CompositeValue(kTypeAction, kit::AssistActionScript(kit::ScriptSource("Go")));
  EXPECT_EQ(Rewrite(formula, {}), formula);
  EXPECT_EQ(Rewrite(script, {}), script);

  kit::PieceReplacer grow;
  grow.replacements = {{"odd", "a longer text"}};
  const Bytes out = Rewrite(formula, grow.Args());
  EXPECT_EQ(out, kit::CompositeValue(kTypeAction, kit::AssistActionFormula(kit::TextFormula("a longer text"))));
  EXPECT_EQ(LoadU16(out.data() + 4 + 8) % 2, 0) << "the formula length stays even";

  Bytes shortScript = script;
  StoreU32(shortScript.data() + 4 + 8, 0x10000);  // the source claims 64 KiB
  Rewrite(shortScript, {}, kErrBadCompositeRecord);
}

TEST_F(CdActions, EventsNameTheirKindAndKeepTheirBytes) {
  const std::string source = kit::ScriptSource("Load");
  const Bytes js = Text("alert(1);");
  const Bytes value = kit::CompositeValue(
      1, {kit::EventRecord(2, 1, kit::TextFormula("clicked")), kit::EventRecord(13, 3, Text(source)),
          kit::EventRecord(40, 4, js), kit::EventRecord(1, 9, Text("other"))});
  EXPECT_EQ(Rewrite(value, {}), value);

  CodeLocation location;
  PlaceRecorder grow;
  grow.replacements = {{"clicked", "double clicked"}};
  EXPECT_EQ(Rewrite(value, grow.Args(location)),
            kit::CompositeValue(1, {kit::EventRecord(2, 1, kit::TextFormula("double clicked")),
                                    kit::EventRecord(13, 3, Text(source)), kit::EventRecord(40, 4, js),
                                    kit::EventRecord(1, 9, Text("other"))}));
  EXPECT_EQ(grow.places, std::vector<std::string>{"onDblClick()\\Formula"});

  Bytes bad = kit::EventRecord(1, 3, Text(source));
  StoreU32(bad.data() + 12, static_cast<uint32_t>(source.size() + 1));
  Rewrite(kit::CompositeValue(1, {bad}), {}, kErrBadCompositeRecord);
}

TEST_F(CdActions, TextRunsAndButtonFacesNameTheirPlace) {
  const Bytes value = kit::CompositeValue(
      1, {kit::TextRun("intro"), kit::Hotspot(2, 0x10, kit::TextFormula("go")), kit::TextRun("inside"),
          kit::ButtonFace("Press me"), kit::HotspotEnd()});
  CodeLocation location;
  PlaceRecorder grow;
  grow.replacements = {{"Press me", "Press me now"}, {"intro", "introduction"}};
  const Bytes out = Rewrite(value, grow.Args(location));
  EXPECT_EQ(out, kit::CompositeValue(1, {kit::TextRun("introduction"), kit::Hotspot(2, 0x10, kit::TextFormula("go")),
                                         kit::TextRun("inside"), kit::ButtonFace("Press me now"), kit::HotspotEnd()}));
  EXPECT_EQ(grow.places, (std::vector<std::string>{"Text", "Hotspot\\Formula", "Hotspot\\Text", "Button\\Title"}));
}

TEST_F(CdActions, EmbeddedObjectPiecesAndParametersAreRewritten) {
  kit::EmbeddedObjectSpec spec{1, "http://host/doc", "/applets", "Clock.class", "Clock",
                               {{"face", kit::TextFormula("round")}, {"tick", kit::TextFormula("1s")}}};
  const Bytes value = kit::CompositeValue(1, {kit::EmbeddedObject(spec), kit::HotspotEnd()});
  EXPECT_EQ(Rewrite(value, {}), value);

  CodeLocation location;
  PlaceRecorder grow;
  grow.replacements = {{"Clock.class", "lib/BigClock.class"}, {"face", "dial"}, {"1s", "one second"}};
  kit::EmbeddedObjectSpec grown = spec;
  grown.code = "lib/BigClock.class";
  grown.parameters = {{"dial", kit::TextFormula("round")}, {"tick", kit::TextFormula("one second")}};
  EXPECT_EQ(Rewrite(value, grow.Args(location)), kit::CompositeValue(1, {kit::EmbeddedObject(grown), kit::HotspotEnd()}));
  EXPECT_EQ(grow.places[2], "Embedded java applet\\Code name");
  EXPECT_EQ(grow.places[4], "Embedded java applet\\Name");
  EXPECT_EQ(grow.places[5], "Embedded java applet\\Formula");
  EXPECT_EQ(location.depth(), 0u) << "the object's entry is popped";

  Bytes bad = kit::EmbeddedObject(spec);
  StoreU16(bad.data() + 12 + 36, 9);  // nine parameters claimed, two stored
  Rewrite(kit::CompositeValue(1, {bad}), {}, kErrBadCompositeRecord);
}

TEST_F(CdActions, ExtendedFieldAndSectionBarPieces) {
  const Bytes value = kit::CompositeValue(
      1, {kit::ExtField("names.nsf", "People", kit::TextFormula("class")), kit::ExtField("db", "v", {}),
          kit::SectionBar(kit::TextFormula("title"), true, true), kit::SectionBar(Text("Plain title"), false, false)});
  EXPECT_EQ(Rewrite(value, {}), value);

  CodeLocation location;
  PlaceRecorder grow;
  grow.replacements = {{"People", "All people"}, {"class", "class=wide"}, {"title", "a longer title"}};
  EXPECT_EQ(Rewrite(value, grow.Args(location)),
            kit::CompositeValue(1, {kit::ExtField("names.nsf", "All people", kit::TextFormula("class=wide")),
                                    kit::ExtField("db", "v", {}),
                                    kit::SectionBar(kit::TextFormula("a longer title"), true, true),
                                    kit::SectionBar(Text("Plain title"), false, false)}));
  EXPECT_EQ(grow.places[1], "View dialog: View");
  EXPECT_EQ(grow.places[2], "HTML Attributes");
  EXPECT_EQ(grow.places[5], "Title");

  // A release that leaves the formula out although the flag is set: the
  // record is kept as it is.
  Bytes old = kit::ExtField("db", "v", {});
  StoreU32(old.data() + 8, 0x2);
  const Bytes oldValue = kit::CompositeValue(1, {old});
  EXPECT_EQ(Rewrite(oldValue, grow.Args(location)), oldValue);
  Bytes pastTheRecord = kit::ExtField("db", "v", {});
  StoreU16(pastTheRecord.data() + 16, 40);
  Rewrite(kit::CompositeValue(1, {pastTheRecord}), {}, kErrBadCompositeRecord);
}

TEST_F(CdActions, UnknownSignaturesAreCopiedUnchangedInEveryItemType) {
  const std::vector<Bytes> unknown = {kit::WordRecord(0xFF01, Text("word-length, odd")), kit::ByteRecord(0x77, Text("b")),
                                      kit::LongRecord(0x0042, Text("long-length")), kit::WordRecord(0xFFC9, {})};
  // A general-table signature is a plain record in action and query items.
  std::vector<Bytes> withField = unknown;
  withField.push_back(kit::WordRecord(0xFF8A, Text("not a field here")));
  for (uint16_t type : {kTypeCompositeData, kTypeAction, kTypeQuery, kTypeViewMapLayout, kTypeViewMapDataset}) {
    const Bytes value = kit::CompositeValue(type, type == kTypeAction || type == kTypeQuery ? withField : unknown);
    kit::PieceReplacer every;
    every.replacements = {{"b", "changed"}};
    EXPECT_EQ(Rewrite(value, every.Args(kRewriteText | kRewriteObjectCode)), value) << type;
    EXPECT_TRUE(every.seen.empty()) << type;
  }
}

TEST_F(CdActions, ScriptReadAsTextIsKeptInModuleChunks) {
  DbHandle db;
  NoteHandle note;
  ASSERT_EQ(host_->CreateDatabase("text.nsf"), kNoError);
  ASSERT_EQ(host_->DbOpen("text.nsf", db), kNoError);
  ASSERT_EQ(host_->NoteCreate(db, note), kNoError);
  const std::string first = kit::ScriptSource("One");
  const std::string second = kit::ScriptSource("Two");
  ASSERT_EQ(host_->ItemAppend(note, 0, "$Script", kTypeText, Text(first)), kNoError);
  const Bytes list = kit::TextList({second.substr(0, 20), second.substr(20)});
  ASSERT_EQ(host_->ItemAppend(note, 0, "$Script", kTypeTextList, list), kNoError);

  CKVXItemReader reader;
  ASSERT_EQ(reader.Open(note, "$Script", kReadTextAsScript), kNoError);
  const auto* source = dynamic_cast<const CKVXItemLSText*>(reader.value());
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->Type(), kTypeText);
  ASSERT_EQ(source->chunks().size(), 4u) << "two modules in each source";
  std::string joined;
  for (const std::string& chunk : source->chunks()) {
    EXPECT_EQ(chunk.rfind(kScriptChunkMark, 0), 0u);
    joined += chunk;
  }
  EXPECT_EQ(joined, first + second);

  RecordBuffer out;
  std::unique_ptr<RewriteCursor> cursor;
  ASSERT_EQ(reader.value()->Rewrite({}, out, cursor), kNoError);
  EXPECT_FALSE(cursor);
  EXPECT_EQ(std::string(out.bytes().begin(), out.bytes().end()), first + second);

  CKVXItemReader number;
  ASSERT_EQ(host_->ItemAppend(note, 0, "$Mixed", kTypeText, Text("x")), kNoError);
  ASSERT_EQ(host_->ItemAppend(note, 0, "$Mixed", 0x0300, Bytes(8, 0)), kNoError);
  EXPECT_EQ(number.Open(note, "$Mixed", kReadTextAsScript), kErrUnsupportedDatatype);
}

}  // namespace
}  // namespace quillet
