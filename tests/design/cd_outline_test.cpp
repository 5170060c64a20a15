// Tests of outlines: a value spread over several instances of one name is
// read as one stream and written back where its instances were cut, a
// rewrite of a rewrite changes nothing, entries are rebuilt piece by piece,
// and an outline embedded in a page names its place and its images.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "design/code_location.h"
#include "design/design_messages.h"
#include "design/item_composite.h"
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

constexpr std::string_view kSiteMap = "$SiteMap";

Bytes Typed(uint16_t type, const Bytes& data) {
  Bytes value(2);
  StoreU16(value.data(), type);
  value.insert(value.end(), data.begin(), data.end());
  return value;
}
Bytes Join(const std::vector<Bytes>& parts) {
  Bytes joined;
  for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

// Entries of different sizes, odd ones among them, with formulas.
std::vector<Bytes> Entries(int count) {
  std::vector<Bytes> entries;
  for (int i = 0; i < count; ++i) {
    kit::OutlineEntrySpec spec;
    spec.title = "Entry " + std::string(static_cast<size_t>(i % 5), 'x');
    spec.alias = i % 2 == 0 ? "a" + std::to_string(i) : "";
    if (i % 3 == 0) spec.hideWhen = kit::TextFormula("hide " + std::to_string(i));
    if (i % 4 == 1) spec.onClick = kit::TextFormula("open");
    entries.push_back(kit::OutlineEntry(spec));
  }
  return entries;
}

class Outline : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sim_->CreateDatabase("outline.nsf"), kNoError);
    ASSERT_EQ(sim_->DbOpen("outline.nsf", db_), kNoError);
    ASSERT_EQ(sim_->NoteCreate(db_, note_), kNoError);
  }
  void AddInstance(const Bytes& data) {
    ASSERT_EQ(sim_->ItemAppend(note_, kItemSummary, kSiteMap, kTypeOutline, data), kNoError);
  }
  // The data of every instance, without type words.
  std::vector<Bytes> Instances() {
    std::vector<Bytes> found;
    ItemInfo info;
    for (STATUS s = sim_->ItemFind(note_, kSiteMap, info); s == kNoError; s = sim_->ItemFindNext(note_, info.item, info)) {
      EXPECT_EQ(info.type, kTypeOutline);
      found.emplace_back(info.value.begin() + 2, info.value.end());
    }
    return found;
  }
  Status32 Rewrite(const RewriteArgs& args = {kRewriteObjectCode, nullptr, nullptr, nullptr}) {
    return RewriteRichTextItem(note_, kSiteMap, args.location, args.callback, args.user);
  }

  sim::ScopedSimHost sim_;
  DbHandle db_;
  NoteHandle note_;
};

TEST_F(Outline, InstancesCutBetweenEntriesComeBackAsStored) {
  const std::vector<Bytes> entries = Entries(7);
  const Bytes data = kit::OutlineData(entries, {3, 4});
  const size_t firstItem = data.size() - Join({entries.begin() + 3, entries.end()}).size();
  const std::vector<Bytes> stored = {Bytes(data.begin(), data.begin() + firstItem),
                                     Bytes(data.begin() + firstItem, data.end())};
  for (const Bytes& part : stored) AddInstance(part);
  ASSERT_EQ(Rewrite(), kNoError);
  EXPECT_EQ(Instances(), stored) << "no padding, and the items cut where they were";
}

TEST_F(Outline, AnEntryRunningOnIntoTheNextInstanceIsReadWhole) {
  const Bytes data = kit::OutlineData(Entries(6), {6});
  // Cut inside the second entry, and once more inside the last one.
  const size_t cut = data.size() - 10;
  const std::vector<Bytes> stored = {Bytes(data.begin(), data.begin() + 200), Bytes(data.begin() + 200, data.begin() + cut),
                                     Bytes(data.begin() + cut, data.end())};
  for (const Bytes& part : stored) AddInstance(part);
  std::unique_ptr<CKVXItemComposite> composite;
  ASSERT_EQ(CKVXItemComposite::FromNote(note_, kSiteMap, composite), kNoError);
  ASSERT_EQ(composite->records().size(), 7u) << "the header and six entries, none cut short";

  ASSERT_EQ(Rewrite(), kNoError);
  const std::vector<Bytes> once = Instances();
  EXPECT_EQ(Join(once), data) << "the stream is unchanged";
  ASSERT_EQ(once.size(), 2u) << "no entry starts after the second cut";
  EXPECT_GT(once[0].size(), 200u) << "the entry the first cut fell in stays whole in the first segment";
  ASSERT_EQ(Rewrite(), kNoError);
  EXPECT_EQ(Instances(), once) << "a rewrite of a rewrite changes nothing";
}

TEST_F(Outline, SegmentsStayWithinTheLimitAndRewriteToThemselves) {
  kit::OutlineEntrySpec big;
  big.title = "Big";
  big.after = Bytes(30000, 0x5C);  // odd, so no entry after it starts on an even offset
  std::vector<Bytes> entries(5, kit::OutlineEntry(big));
  const Bytes data = kit::OutlineData(entries, {5});
  AddInstance(Bytes(data.begin(), data.begin() + 60000));  // the stored cut falls inside an entry
  AddInstance(Bytes(data.begin() + 60000, data.end()));
  ASSERT_EQ(Rewrite(), kNoError);
  const std::vector<Bytes> once = Instances();
  for (const Bytes& part : once) EXPECT_LE(part.size(), RecordBuffer::kSegmentSize);
  EXPECT_EQ(Join(once), data);
  ASSERT_EQ(Rewrite(), kNoError);
  EXPECT_EQ(Instances(), once);
}

TEST_F(Outline, ValuesWithoutAHeaderAreWalkedAsEntries) {
  const std::vector<Bytes> entries = Entries(3);
  AddInstance(Join(entries));
  ASSERT_EQ(Rewrite(), kNoError);
  EXPECT_EQ(Instances(), std::vector<Bytes>{Join(entries)});
}

TEST_F(Outline, AnInstanceOfAnotherTypeIsRefusedAndLeftAlone) {
  const Bytes data = kit::OutlineData(Entries(2), {2});
  AddInstance(data);
  ASSERT_EQ(sim_->ItemAppend(note_, kItemSummary, kSiteMap, kTypeCompositeData, kit::TextRun("x")), kNoError);
  EXPECT_EQ(Rewrite(), kErrBadCompositeRecord);
  ItemInfo info;
  ASSERT_EQ(sim_->ItemFind(note_, kSiteMap, info), kNoError);
  EXPECT_EQ(Bytes(info.value.begin() + 2, info.value.end()), data);
}

TEST_F(Outline, EntryPiecesGrowWithTheirSizesFixed) {
  kit::OutlineEntrySpec spec;
  spec.title = "Home";
  spec.hideWhen = kit::TextFormula("hidden");
  spec.onClick = kit::TextFormula("go");
  spec.alias = "home";
  spec.source = "Main view";
  spec.after = {9, 8, 7};
  const Bytes value = Typed(kTypeOutline, kit::OutlineData({kit::OutlineEntry(spec)}, {1}));
  EXPECT_EQ(kit::RewriteRecords(value, {}), Bytes(value.begin() + 2, value.end()));

  CodeLocation location;
  kit::PlaceRecorder grow;
  grow.replacements = {{"Home", "Home page"}, {"hidden", "hidden away"}, {"home", "homepage"}};
  const Bytes out = kit::RewriteRecords(value, grow.Args(location));
  kit::OutlineEntrySpec grown = spec;
  grown.title = "Home page";
  grown.hideWhen = kit::TextFormula("hidden away");
  grown.alias = "homepage";
  EXPECT_EQ(out, kit::OutlineData({kit::OutlineEntry(grown)}, {1}));
  EXPECT_EQ(grow.seen, (std::vector<std::string>{"Home", "go", "hidden", "home", "Main view"}))
      << "title, click action, hide-when, alias and source, in stored order";
  EXPECT_EQ(grow.places, (std::vector<std::string>{"Outline Entry\\Title", "Outline Entry", "Outline Entry\\Hide Formula",
                                                   "Outline Entry", "Outline Entry"}));
}

TEST_F(Outline, EntryPiecePastTheEntryIsRefused) {
  for (size_t at : {16u, 20u, 32u, 36u, 22u}) {
    kit::OutlineEntrySpec spec;
    spec.title = "T";
    spec.onClick = kit::TextFormula("c");
    spec.hideWhen = kit::TextFormula("h");
    spec.alias = "a";
    spec.source = "s";
    Bytes entry = kit::OutlineEntry(spec);
    StoreU16(entry.data() + at, 0x0400);
    SCOPED_TRACE(at);
    kit::RewriteRecords(Typed(kTypeOutline, kit::OutlineData({entry}, {1})), {}, kErrBadCompositeRecord);
  }
}

// Truncations, sizes and bytes of a two-instance outline mutated at random
// (seeded): a failed rewrite leaves the instances as they were, a rewrite
// that works writes segments within the limit that rewrite to themselves.
TEST_F(Outline, SeededMutationsFailCleanlyOrRewriteToThemselves) {
  const Bytes data = kit::OutlineData(Entries(8), {8});
  std::mt19937 random(0x0A7);
  for (int round = 0; round < 400; ++round) {
    Bytes mutated = data;
    switch (random() % 3) {
      case 0: StoreU16(mutated.data() + random() % (mutated.size() - 1), static_cast<uint16_t>(random() % 300)); break;
      case 1: mutated[random() % mutated.size()] = static_cast<uint8_t>(random()); break;
      default: mutated.resize(1 + random() % (mutated.size() - 1)); break;
    }
    SCOPED_TRACE(round);
    ASSERT_EQ(sim_->NoteClose(note_), kNoError);
    ASSERT_EQ(sim_->NoteCreate(db_, note_), kNoError);
    const size_t cut = mutated.size() / 2;
    AddInstance(Bytes(mutated.begin(), mutated.begin() + static_cast<ptrdiff_t>(cut)));
    AddInstance(Bytes(mutated.begin() + static_cast<ptrdiff_t>(cut), mutated.end()));
    const std::vector<Bytes> before = Instances();
    if (Rewrite() != kNoError) {
      EXPECT_EQ(Instances(), before);
      continue;
    }
    const std::vector<Bytes> once = Instances();
    for (const Bytes& part : once) EXPECT_LE(part.size(), RecordBuffer::kSegmentSize);
    ASSERT_EQ(Rewrite(), kNoError);
    EXPECT_EQ(Instances(), once);
  }
}

Bytes Image(std::string_view name) {
  return kit::HRefRecord(0xFFF6, 3, 0, "", "", Bytes(8, 0), Bytes(name.begin(), name.end()));
}

TEST_F(Outline, EmbeddedOutlineNamesItsTextsAndImages) {
  const Bytes value = kit::CompositeValue(
      kTypeCompositeData, {kit::EmbeddedOutlineRecord("Nav", "Right", "Top", {Image("bg.gif"), Image("title.png")}),
                           kit::TextRun("after")});
  EXPECT_EQ(kit::RewriteRecords(value, {}), Bytes(value.begin() + 2, value.end()));

  CodeLocation location;
  kit::PlaceRecorder grow;
  grow.replacements = {{"Nav", "Navigation"}, {"Top", "T"}, {"bg.gif", "background.gif"}};
  const Bytes out = kit::RewriteRecords(value, grow.Args(location));
  const Bytes expected = kit::CompositeValue(
      kTypeCompositeData, {kit::EmbeddedOutlineRecord("Navigation", "Right", "T", {Image("background.gif"), Image("title.png")}),
                           kit::TextRun("after")});
  EXPECT_EQ(out, Bytes(expected.begin() + 2, expected.end()));
  const auto placeOf = [&grow](std::string_view piece) {
    for (size_t i = 0; i < grow.seen.size(); ++i)
      if (grow.seen[i] == piece) return grow.places[i];
    return std::string("(not handed on)");
  };
  EXPECT_EQ(placeOf("Nav"), "Embedded Outline");
  EXPECT_EQ(placeOf("Top"), "Embedded Outline");
  EXPECT_EQ(placeOf("bg.gif"), "Embedded Outline\\Control Image\\Resource\\Named Element");
  EXPECT_EQ(placeOf("title.png"), "Embedded Outline\\Title Image\\Resource\\Named Element");
  EXPECT_EQ(placeOf("after"), "Embedded Outline\\Text") << "the image entries are gone again";
}

TEST_F(Outline, EmbeddedOutlineThatReadersDisagreeOnIsCopied) {
  Bytes labelled = kit::EmbeddedOutlineRecord("Nav", "", "");
  StoreU16(labelled.data() + 24, 3);  // a label: read before the name by some readers, not at all by others
  Bytes unflagged = kit::EmbeddedOutlineRecord("Nav", "", "");
  StoreU32(unflagged.data() + 4, 0);  // a name without its flag
  for (const Bytes& record : {labelled, unflagged}) {
    const Bytes value = kit::CompositeValue(kTypeCompositeData, {record});
    kit::PieceReplacer replace;
    replace.replacements = {{"Nav", "Navigation"}};
    EXPECT_EQ(kit::RewriteRecords(value, replace.Args()), Bytes(value.begin() + 2, value.end()));
    EXPECT_TRUE(replace.seen.empty());
  }
}

TEST_F(Outline, BadPiecesLeaveTheNotesItemsUntouched) {
  kit::OutlineEntrySpec spec{"Home", {}, kit::TextFormula("hide"), "home", "Main"};
  Bytes entry = kit::OutlineEntry(spec);
  StoreU16(entry.data() + 32, 0x0800);  // the hide-when formula runs past the entry
  const Bytes data = kit::OutlineData({kit::OutlineEntry(spec), entry}, {2});
  AddInstance(Bytes(data.begin(), data.begin() + 150));
  AddInstance(Bytes(data.begin() + 150, data.end()));
  const std::vector<Bytes> before = Instances();
  EXPECT_EQ(Rewrite(), kErrBadCompositeRecord);
  EXPECT_EQ(Instances(), before);

  Bytes embedded = kit::EmbeddedOutlineRecord("Nav", "Right", "Top");
  StoreU16(embedded.data() + 48, 0x0100);  // the target frame runs past the record
  const Bytes body = kit::CompositeValue(kTypeCompositeData, {kit::Paragraph(), embedded});
  ASSERT_EQ(sim_->ItemAppend(note_, kItemSummary, "$Body", kTypeCompositeData, std::span(body).subspan(2)), kNoError);
  EXPECT_EQ(RewriteRichTextItem(note_, "$Body", nullptr, nullptr, nullptr), kErrBadCompositeRecord);
  ItemInfo info;
  ASSERT_EQ(sim_->ItemFind(note_, "$Body", info), kNoError);
  EXPECT_EQ(info.value, body);
}

TEST_F(Outline, EmbeddedOutlineTextPastTheRecordIsRefused) {
  for (size_t at : {46u, 48u, 246u}) {
    Bytes record = kit::EmbeddedOutlineRecord("Nav", "Right", "Top");
    StoreU16(record.data() + at, 0x0300);
    SCOPED_TRACE(at);
    kit::RewriteRecords(kit::CompositeValue(kTypeCompositeData, {record}), {}, kErrBadCompositeRecord);
  }
}

}  // namespace
}  // namespace quillet
