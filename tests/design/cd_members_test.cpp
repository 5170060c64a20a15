// Tests of the composite-data members that carry code: navigator shapes and
// actions, hotspots, fields and hide-when formulas, each built in its stored
// layout and rewritten through a composite value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "design/cd_hotspot.h"
#include "design/code_location.h"
#include "design/item_composite.h"
#include "lsobject/ls_script_module.h"
#include "sim/scoped_sim_host.h"
#include "support/composite_rewrite.h"
#include "support/formula_builder.h"
#include "support/piece_callbacks.h"
#include "support/rich_text_builder.h"
#include "util/bytes.h"

namespace quillet {
namespace {

using kit::Bytes;

void Put16(Bytes& out, size_t at, uint16_t value) { StoreU16(out.data() + at, value); }
void Append(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

Bytes SomeFormula(std::string_view text) {
  kit::FormulaBuilder f;
  f.Main().Number(1).Jump("end").String(text).Operator(0x20, 2).Label("end");
  return f.Build();
}

class CdMembers : public ::testing::Test {
 protected:
  // The value's records rewritten into one buffer (no padding between).
  Bytes Rewrite(const Bytes& value, const RewriteArgs& args, Status32 expected = kNoError) {
    return kit::RewriteRecords(value, args, expected);
  }
  Bytes Data(const Bytes& value) { return Bytes(value.begin() + 2, value.end()); }

  sim::ScopedSimHost host_;
};

// Records the rendered location of every object-code piece and swaps it.
struct ScriptSwap {
  Bytes replacement;
  std::vector<std::string> places;
  static Status32 Callback(PieceKind kind, std::span<const uint8_t>, uint32_t, RecordBuffer& out,
                           CodeLocation* location, void* user) {
    auto& self = *static_cast<ScriptSwap*>(user);
    EXPECT_EQ(kind, PieceKind::ObjectCode);
    self.places.push_back(location != nullptr ? location->Render() : "");
    return out.Append(self.replacement);
  }
};

TEST_F(CdMembers, NavigatorScriptActionIsNamedAfterItsShape) {
  const Bytes source = {'S', 'u', 'b', ' ', 'C'};
  for (uint16_t signature : {0xFFBA, 0x00B5}) {
    const Bytes value = kit::CompositeValue(
        0x0013, {kit::ByteRecord(0xAF, {8, 0, 0, 0}), kit::Rectangle("Home"),
                 kit::ClickAction(signature, 5, source, kit::CompiledModule("Click", 2))});
    ScriptSwap swap;
    swap.replacement = kit::CompiledModule("Click", 30);
    CodeLocation location;
    const Bytes out = Rewrite(value, {kRewriteObjectCode, &location, &ScriptSwap::Callback, &swap});
    EXPECT_EQ(swap.places, std::vector<std::string>{"Rectangle 'Home'\\Script"});
    const Bytes expected = kit::CompositeValue(
        0x0013, {kit::ByteRecord(0xAF, {8, 0, 0, 0}), kit::Rectangle("Home"),
                 kit::ClickAction(signature, 5, source, swap.replacement)});
    EXPECT_EQ(out, Data(expected)) << signature;
  }
}

TEST_F(CdMembers, NavigatorFormulaAndTextActionsComeOutUnchanged) {
  const Bytes value = kit::CompositeValue(
      0x0013, {kit::Rectangle("Left"), kit::ClickAction(0xFFBA, 6, SomeFormula("go"), {}), kit::Rectangle("Odd"),
               kit::ClickAction(0xFFBA, 1, {'V', 'i', 'e', 'w'}, {1, 2}), kit::ClickAction(0xFFBA, 4, {9}, {})});
  ScriptSwap swap;
  EXPECT_EQ(Rewrite(value, {kRewriteObjectCode, nullptr, &ScriptSwap::Callback, &swap}), Data(value));
  EXPECT_TRUE(swap.places.empty());
}

TEST_F(CdMembers, ActionPiecesPastTheRecordAreRefused) {
  Bytes action = kit::ClickAction(0xFFBA, 5, {'x'}, {1, 2, 3});
  Put16(action, 60, 40);  // the object code now claims more than the record holds
  ScriptSwap swap;
  Rewrite(kit::CompositeValue(0x0013, {action}), {kRewriteObjectCode, nullptr, &ScriptSwap::Callback, &swap},
          kErrBadCompositeRecord);
  EXPECT_TRUE(swap.places.empty());
}

TEST_F(CdMembers, RebuiltHotspotsLoseTheirSignedFlagAndSignature) {
  const Bytes script = {'S', 'u', 'b', ' ', 'C', 'l', 'i', 'c', 'k'};
  const uint32_t flags = 0x100 | kHotspotSigned;
  const Bytes value = kit::CompositeValue(
      1, {kit::Hotspot(3, flags, script, {4, 0, 0xDE, 0xAD, 0xBE, 0xEF}), kit::Hotspot(3, 0x10 | 0x10000, SomeFormula("f")),
          kit::Hotspot(4, 0x10000, {'f', 0}), kit::ByteRecord(0xAE, {})});
  const Bytes out = Rewrite(value, {kRewriteObjectCode, nullptr, nullptr, nullptr});
  const Bytes expected = kit::CompositeValue(
      1, {kit::Hotspot(3, 0x100, script), kit::Hotspot(3, 0x10, SomeFormula("f")), kit::Hotspot(4, 0x10000, {'f', 0}),
          kit::ByteRecord(0xAE, {})});
  EXPECT_EQ(out, Data(expected)) << "a file hotspot is copied, flag and all";
}

TEST_F(CdMembers, NestedActionRecordsOfAHotspotAreRewrittenInPlace) {
  Bytes nested = {0x10, 0x00};
  Append(nested, kit::ByteRecord(0x81, {}));
  Append(nested, kit::WordRecord(0xFF90, {0, 0, 0, 0, 2, 0, 0, 0, 'A', 'g'}));
  const Bytes value = kit::CompositeValue(1, {kit::Hotspot(13, 0x80 | 0x10000, nested)});
  const Bytes expected = kit::CompositeValue(1, {kit::Hotspot(13, 0x80, nested)});
  EXPECT_EQ(Rewrite(value, {}), Data(expected));
}

TEST_F(CdMembers, FieldPiecesFollowTheStoredOrder) {
  kit::FieldSpec spec{SomeFormula("default"), {}, SomeFormula("valid"), "Subject", "The subject line, shown as help", {}};
  spec.keywords = {2, 0, 3, 0, 2, 0, 'o', 'n', 'e', 'n', 'o'};  // a static list of two entries
  const Bytes value = kit::CompositeValue(1, {kit::Field(spec), kit::TextRun("after")});
  EXPECT_EQ(Rewrite(value, {}), Data(value));

  kit::PieceReplacer rename;
  rename.replacements = {{"Subject", "Topic"}, {"default", "a longer default"}};
  kit::FieldSpec renamed = spec;
  renamed.name = "Topic";
  renamed.defaultValue = SomeFormula("a longer default");
  EXPECT_EQ(Rewrite(value, rename.Args()), Data(kit::CompositeValue(1, {kit::Field(renamed), kit::TextRun("after")})));
  EXPECT_EQ(rename.seen,
            (std::vector<std::string>{"default", "valid", "Subject", "The subject line, shown as help", "after"}));
}

TEST_F(CdMembers, KeywordFormulaAndHideWhenFormulaAreReencoded) {
  kit::FieldSpec spec{{}, {}, {}, "Choice", "", {0, 0}};
  Append(spec.keywords, SomeFormula("k"));
  Bytes hide(10, 0);
  Append(hide, SomeFormula("hide"));
  const Bytes value = kit::CompositeValue(1, {kit::Field(spec), kit::WordRecord(0xFFBB, hide)});
  kit::PieceReplacer grow;
  grow.replacements = {{"k", "keywords"}, {"hide", "hidden!"}};
  kit::FieldSpec grown = spec;
  grown.keywords = {0, 0};
  Append(grown.keywords, SomeFormula("keywords"));
  Bytes grownHide(10, 0);
  Append(grownHide, SomeFormula("hidden!"));
  EXPECT_EQ(Rewrite(value, grow.Args()),
            Data(kit::CompositeValue(1, {kit::Field(grown), kit::WordRecord(0xFFBB, grownHide)})));
}

TEST_F(CdMembers, FieldWhosePiecesRunPastTheRecordIsRefused) {
  kit::FieldSpec spec{{}, {}, {}, "Name", "Description", {}};
  Bytes field = kit::Field(spec);
  Put16(field, 32, 200);  // the description claims 200 bytes
  Rewrite(kit::CompositeValue(1, {field}), {}, kErrBadCompositeRecord);
}

}  // namespace
}  // namespace quillet
