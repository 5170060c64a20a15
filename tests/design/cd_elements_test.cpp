// Tests of the rich-text elements rebuilt piece by piece: captions, field
// hints, embedded views, frames and their captions, tables and their
// labels, HTML formulas and resource links. Each comes out as
// stored when nothing changes, has its formula re-encoded and its texts
// handed on with their lengths fixed, names its place, and is refused when
// a length runs past the record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "design/code_location.h"
#include "design/design_messages.h"
#include "sim/scoped_sim_host.h"
#include "support/composite_rewrite.h"
#include "support/design_items_builder.h"
#include "support/piece_callbacks.h"
#include "util/bytes.h"

namespace quillet {
namespace {

using kit::Bytes;

constexpr size_t kRecordAt = 2;  // after the type word

class CdElements : public ::testing::Test {
 protected:
  static Bytes Body(const std::vector<Bytes>& records) { return kit::CompositeValue(1, records); }
  static Bytes Rewrite(const Bytes& value, const RewriteArgs& args, Status32 expected = kNoError) {
    Bytes result = {value[0], value[1]};
    const Bytes records = kit::RewriteRecords(value, args, expected);
    result.insert(result.end(), records.begin(), records.end());
    return result;
  }

  sim::ScopedSimHost host_;
};

TEST_F(CdElements, StoredBytesComeBackUnchanged) {
  const Bytes value =
      Body({kit::CaptionRecord("A picture"), kit::FieldHintRecord("Type a name"),
            kit::EmbeddedViewRecord(kit::TextFormula("Sales"), "ByRegion"),
            kit::FrameRecord("Left", "Right", {1, 2, 3}), kit::PreTableRecord("Prices"),
            kit::HtmlFormulaRecord(0x1, kit::TextFormula("width=10"))});
  EXPECT_EQ(Rewrite(value, {}), value);
  kit::PieceReplacer same;
  EXPECT_EQ(Rewrite(value, same.Args()), value);
  EXPECT_EQ(same.seen, (std::vector<std::string>{"A picture", "Type a name", "Sales", "Left", "Right", "Prices",
                                                 "width=10"}));
}

TEST_F(CdElements, TextsAndFormulasGrowWithTheirLengthsFixed) {
  const Bytes value =
      Body({kit::CaptionRecord("Pic"), kit::FieldHintRecord("Name"),
            kit::EmbeddedViewRecord(kit::TextFormula("Sales"), "ByRegion"),
            kit::FrameRecord("Left", "Right", {1, 2, 3}), kit::PreTableRecord("Prices"),
            kit::HtmlFormulaRecord(0x2, kit::TextFormula("<b>")), kit::TextRun("after")});
  CodeLocation location;
  kit::PlaceRecorder grow;
  grow.replacements = {{"Pic", "Picture"}, {"Name", "Your name"}, {"Sales", "Sales 2026"},
                       {"Right", "RightFrame"}, {"Prices", "Price list"}, {"<b>", "<b>bold</b>"}};
  EXPECT_EQ(Rewrite(value, grow.Args(location)),
            Body({kit::CaptionRecord("Picture"), kit::FieldHintRecord("Your name"),
                  kit::EmbeddedViewRecord(kit::TextFormula("Sales 2026"), "ByRegion"),
                  kit::FrameRecord("Left", "RightFrame", {1, 2, 3}), kit::PreTableRecord("Price list"),
                  kit::HtmlFormulaRecord(0x2, kit::TextFormula("<b>bold</b>")), kit::TextRun("after")}));
  EXPECT_EQ(grow.places, (std::vector<std::string>{"Caption", "Field Hint Text", "Embedded View\\Restrict formula",
                                                   "Frame", "Frame", "Pre Table begin",
                                                   "HTML Formula\\HTML Alternate Text", "HTML Formula\\Text"}));
}

TEST_F(CdElements, FlagsNameTheKindOfHintAndHtmlFormula) {
  CodeLocation location;
  kit::PlaceRecorder seen;
  const Bytes value = Body({kit::HtmlFormulaRecord(0x1, kit::TextFormula("w")), kit::FieldHintRecord("Pick", 0x1)});
  EXPECT_EQ(Rewrite(value, seen.Args(location)), value);
  EXPECT_EQ(seen.places,
            (std::vector<std::string>{"HTML Formula\\HTML Attributes", "HTML Formula\\Richtext Light Help Text"}));
}

TEST_F(CdElements, ResourceLinksByType) {
  const Bytes text = {'p', 'i', 'c', '.', 'g', 'i', 'f'};
  const Bytes replica(8, 7), noteLink(40, 9);
  const Bytes value = Body({
      kit::HRefRecord(0xFFF6, 1, 0, "srv", "db.nsf", {}, kit::TextFormula("url")),  // text URL
      kit::HRefRecord(0xFFF6, 1, 1, "", "", {}, kit::TextFormula("/icons/a.gif")),   // formula URL
      kit::HRefRecord(0xFF78, 3, 1, "", "", replica, kit::TextFormula("Logo")),     // formula element name
      kit::HRefRecord(0xFF5B, 3, 0, "", "", replica, text),                         // element name
      kit::HRefRecord(0xFF71, 2, 2, "", "", noteLink, {'A'}),                       // inline note link
      kit::HRefRecord(0xFFF6, 9, 0, "", "", {}, {1, 2, 3}),                         // unknown type: kept
  });
  EXPECT_EQ(Rewrite(value, {}), value);

  CodeLocation location;
  kit::PlaceRecorder grow;
  grow.replacements = {{"srv", "server/Org"}, {"/icons/a.gif", "/icons/bigger.gif"}, {"Logo", "Logo2"},
                       {"pic.gif", "picture.gif"}, {"A", "Anchor"}};
  const Bytes bigger = {'p', 'i', 'c', 't', 'u', 'r', 'e', '.', 'g', 'i', 'f'};
  const Bytes out = Rewrite(value, grow.Args(location));
  EXPECT_EQ(out, Body({
                     kit::HRefRecord(0xFFF6, 1, 0, "server/Org", "db.nsf", {}, kit::TextFormula("url")),
                     kit::HRefRecord(0xFFF6, 1, 1, "", "", {}, kit::TextFormula("/icons/bigger.gif")),
                     kit::HRefRecord(0xFF78, 3, 1, "", "", replica, kit::TextFormula("Logo2")),
                     kit::HRefRecord(0xFF5B, 3, 0, "", "", replica, bigger),
                     kit::HRefRecord(0xFF71, 2, 2, "", "", noteLink, {'A', 'n', 'c', 'h', 'o', 'r'}),
                     kit::HRefRecord(0xFFF6, 9, 0, "", "", {}, {1, 2, 3}),
                 }));
  EXPECT_EQ(grow.places[0], "Resource\\Server Hint");
  EXPECT_EQ(grow.places[1], "Resource\\File Hint");
  EXPECT_EQ(grow.places[2], "Resource\\URL") << "a text URL is handed on whole, formula bytes or not";
  EXPECT_EQ(grow.places[5], "Resource\\Formula");
  EXPECT_EQ(grow.places[8], "Table Cell Graphic\\Formula");
  EXPECT_EQ(grow.places[11], "Resource\\Named Element");
  EXPECT_EQ(grow.places[14], "Resource\\Notes Link");
}

TEST_F(CdElements, FrameCaptionFormulaIsRebuilt) {
  constexpr uint16_t kCaption = 0x2000;
  const Bytes value = Body({kit::FrameRecord("Left", "Right", kit::FrameCaptionData(kit::TextFormula("Cap")), kCaption)});
  EXPECT_EQ(Rewrite(value, {}), value);
  CodeLocation location;
  kit::PlaceRecorder grow;
  grow.replacements = {{"Left", "L"}, {"Cap", "Caption of the frame"}};
  EXPECT_EQ(Rewrite(value, grow.Args(location)),
            Body({kit::FrameRecord("L", "Right", kit::FrameCaptionData(kit::TextFormula("Caption of the frame")),
                                   kCaption)}));
  EXPECT_EQ(grow.seen, (std::vector<std::string>{"Left", "Right", "Cap"}));
  EXPECT_EQ(grow.places.back(), "Frame");

  // Border data, whose layout is not public, comes first: the data is kept.
  const Bytes bordered =
      Body({kit::FrameRecord("Left", "Right", kit::FrameCaptionData(kit::TextFormula("Cap")), kCaption | 0x8000)});
  kit::PieceReplacer same;
  EXPECT_EQ(Rewrite(bordered, same.Args()), bordered);
  EXPECT_EQ(same.seen, (std::vector<std::string>{"Left", "Right"}));

  Bytes past = kit::FrameRecord("Left", "Right", kit::FrameCaptionData(kit::TextFormula("Cap")), kCaption);
  StoreU16(past.data() + 36 + 9, 0x0100);  // the caption formula's length, after the name and the target
  Rewrite(Body({past}), {}, kErrBadCompositeRecord);
}

TEST_F(CdElements, TableLabelNamesItsPlaceAndStaysAsStored) {
  for (const auto& [flags, codeKind] : {std::pair<uint16_t, int32_t>{0x2, 22}, {0x1, 23}}) {
    const Bytes value = Body({kit::PreTableRecord("Prices"), kit::TableLabelRecord("First tab", flags)});
    CodeLocation location;
    kit::PieceReplacer replace;
    replace.replacements = {{"First tab", "Renamed"}};
    RewriteArgs args = replace.Args();
    args.location = &location;
    EXPECT_EQ(Rewrite(value, args), value) << "the label has a fixed width";
    ASSERT_NE(location.top(), nullptr);
    EXPECT_EQ(location.top()->kind, 25);
    EXPECT_EQ(location.codeKind(), codeKind);
  }
  Rewrite(Body({kit::WordRecord(0xFFE3, Bytes(100, 'a'))}), {}, kErrBadCompositeRecord);
}

TEST_F(CdElements, LengthsPastTheRecordAreRefused) {
  struct Case {
    Bytes record;
    size_t at;  // of the 16-bit length made too large
  };
  const std::vector<Case> cases = {
      {kit::CaptionRecord("Pic"), 4},
      {kit::FieldHintRecord("Name"), 4},
      {kit::EmbeddedViewRecord(kit::TextFormula("Sales"), ""), 12},
      {kit::FrameRecord("Left", "Right"), 22},
      {kit::FrameRecord("Left", "Right"), 26},
      {kit::PreTableRecord("Prices"), 38},
      {kit::HRefRecord(0xFFF6, 1, 0, "s", "f", {}, {'u'}), 12},
      {kit::HRefRecord(0xFFF6, 1, 0, "s", "f", {}, {'u'}), 14},
      {kit::HRefRecord(0xFFF6, 1, 0, "s", "f", {}, {'u'}), 16},
  };
  for (const Case& c : cases) {
    Bytes bad = c.record;
    StoreU16(bad.data() + c.at, 0x0200);
    SCOPED_TRACE(c.at);
    Rewrite(Body({bad}), {}, kErrBadCompositeRecord);
  }
  // Shorter than its fixed part.
  Rewrite(Body({kit::WordRecord(0xFFCE, {1, 0, 0})}), {}, kErrBadCompositeRecord);
  Rewrite(Body({kit::WordRecord(0xFFF1, Bytes(20, 0))}), {}, kErrBadCompositeRecord);
}

}  // namespace
}  // namespace quillet
