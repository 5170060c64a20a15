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
#include "support/formula_builder.h"
#include "support/piece_callbacks.h"
#include "support/rich_text_builder.h"
#include "util/bytes.h"

namespace quillet {
namespace {

using kit::Bytes;

void Put16(Bytes& out, size_t at, uint16_t value) { StoreU16(out.data() + at, value); }
void Append(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }
void Append(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

// A navigator rectangle named `name` (byte-length header, 78-byte fixed part).
Bytes Rectangle(std::string_view name) {
  Bytes body(76, 0);
  Put16(body, 18, static_cast<uint16_t>(name.size()));  // name length at 20 of the record
  Append(body, name);
  return kit::ByteRecord(0xB1, body);
}

// A navigator click action (72-byte fixed part) of `type` with its two pieces.
Bytes ClickAction(uint16_t signature, uint16_t type, const Bytes& first, const Bytes& second) {
  Bytes body(68, 0);
  Put16(body, 8, type);                                       // action type at 12
  Put16(body, 10, static_cast<uint16_t>(first.size()));       // first piece length at 14
  Put16(body, 56, static_cast<uint16_t>(second.size()));      // second piece length at 60
  body[20] = 0x77;                                            // link information, copied
  Append(body, first);
  Append(body, second);
  // 0x00B5 keeps the word-length layout; a long-length reader sees the
  // highlight word after the length as the length's high word, which is 0.
  return kit::WordRecord(signature, body);
}

Bytes Hotspot(uint16_t type, uint32_t flags, const Bytes& data, const Bytes& signature = {}) {
  Bytes body(8, 0);
  Put16(body, 0, type);
  StoreU32(body.data() + 2, flags);
  Put16(body, 6, static_cast<uint16_t>(data.size()));
  Append(body, data);
  Append(body, signature);
  return kit::WordRecord(0xFFAD, body);
}

struct FieldSpec {
  Bytes defaultValue, translation, validation;
  std::string name, description;
  Bytes keywords;
  uint16_t flags = 0;
};
Bytes Field(const FieldSpec& f) {
  Bytes body(32, 0);
  Put16(body, 0, f.flags);
  Put16(body, 18, static_cast<uint16_t>(f.defaultValue.size()));
  Put16(body, 20, static_cast<uint16_t>(f.translation.size()));
  Put16(body, 22, 7);  // tab order, not a length
  Put16(body, 24, static_cast<uint16_t>(f.validation.size()));
  Put16(body, 26, static_cast<uint16_t>(f.name.size()));
  Put16(body, 28, static_cast<uint16_t>(f.description.size()));
  Put16(body, 30, static_cast<uint16_t>(f.keywords.size()));
  for (const Bytes* formula : {&f.defaultValue, &f.translation, &f.validation}) Append(body, *formula);
  Append(body, f.name);
  Append(body, f.description);
  Append(body, f.keywords);
  return kit::WordRecord(0xFF8A, body);
}

Bytes SomeFormula(std::string_view text) {
  kit::FormulaBuilder f;
  f.Main().Number(1).Jump("end").String(text).Operator(0x20, 2).Label("end");
  return f.Build();
}

class CdMembers : public ::testing::Test {
 protected:
  // The value's records rewritten into one buffer (no padding between).
  Bytes Rewrite(const Bytes& value, const RewriteArgs& args, Status32 expected = kNoError) {
    std::unique_ptr<CKVXItemComposite> composite;
    EXPECT_EQ(CKVXItemComposite::FromValue(value, composite), kNoError);
    if (!composite) return {};
    RecordBuffer out;
    std::unique_ptr<RewriteCursor> cursor;
    EXPECT_EQ(composite->Rewrite(args, out, cursor), expected);
    return Bytes(out.bytes().begin(), out.bytes().end());
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
        0x0013, {kit::ByteRecord(0xAF, {8, 0, 0, 0}), Rectangle("Home"),
                 ClickAction(signature, 5, source, kit::CompiledModule("Click", 2))});
    ScriptSwap swap;
    swap.replacement = kit::CompiledModule("Click", 30);
    CodeLocation location;
    const Bytes out = Rewrite(value, {kRewriteObjectCode, &location, &ScriptSwap::Callback, &swap});
    EXPECT_EQ(swap.places, std::vector<std::string>{"Rectangle 'Home'\\Script"});
    const Bytes expected = kit::CompositeValue(
        0x0013, {kit::ByteRecord(0xAF, {8, 0, 0, 0}), Rectangle("Home"),
                 ClickAction(signature, 5, source, swap.replacement)});
    EXPECT_EQ(out, Data(expected)) << signature;
  }
}

TEST_F(CdMembers, NavigatorFormulaAndTextActionsComeOutUnchanged) {
  const Bytes value = kit::CompositeValue(
      0x0013, {Rectangle("Left"), ClickAction(0xFFBA, 6, SomeFormula("go"), {}), Rectangle("Odd"),
               ClickAction(0xFFBA, 1, {'V', 'i', 'e', 'w'}, {1, 2}), ClickAction(0xFFBA, 4, {9}, {})});
  ScriptSwap swap;
  EXPECT_EQ(Rewrite(value, {kRewriteObjectCode, nullptr, &ScriptSwap::Callback, &swap}), Data(value));
  EXPECT_TRUE(swap.places.empty());
}

TEST_F(CdMembers, ActionPiecesPastTheRecordAreRefused) {
  Bytes action = ClickAction(0xFFBA, 5, {'x'}, {1, 2, 3});
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
      1, {Hotspot(3, flags, script, {4, 0, 0xDE, 0xAD, 0xBE, 0xEF}), Hotspot(3, 0x10 | 0x10000, SomeFormula("f")),
          Hotspot(4, 0x10000, {'f', 0}), kit::ByteRecord(0xAE, {})});
  const Bytes out = Rewrite(value, {kRewriteObjectCode, nullptr, nullptr, nullptr});
  const Bytes expected = kit::CompositeValue(
      1, {Hotspot(3, 0x100, script), Hotspot(3, 0x10, SomeFormula("f")), Hotspot(4, 0x10000, {'f', 0}),
          kit::ByteRecord(0xAE, {})});
  EXPECT_EQ(out, Data(expected)) << "a file hotspot is copied, flag and all";
}

TEST_F(CdMembers, NestedActionRecordsOfAHotspotAreRewrittenInPlace) {
  Bytes nested = {0x10, 0x00};
  Append(nested, kit::ByteRecord(0x81, {}));
  Append(nested, kit::WordRecord(0xFF90, {0, 0, 0, 0, 2, 0, 0, 0, 'A', 'g'}));
  const Bytes value = kit::CompositeValue(1, {Hotspot(13, 0x80 | 0x10000, nested)});
  const Bytes expected = kit::CompositeValue(1, {Hotspot(13, 0x80, nested)});
  EXPECT_EQ(Rewrite(value, {}), Data(expected));
}

TEST_F(CdMembers, FieldPiecesFollowTheStoredOrder) {
  FieldSpec spec{SomeFormula("default"), {}, SomeFormula("valid"), "Subject", "The subject line, shown as help", {}};
  spec.keywords = {2, 0, 3, 0, 2, 0, 'o', 'n', 'e', 'n', 'o'};  // a static list of two entries
  const Bytes value = kit::CompositeValue(1, {Field(spec), kit::TextRun("after")});
  EXPECT_EQ(Rewrite(value, {}), Data(value));

  kit::PieceReplacer rename;
  rename.replacements = {{"Subject", "Topic"}, {"default", "a longer default"}};
  FieldSpec renamed = spec;
  renamed.name = "Topic";
  renamed.defaultValue = SomeFormula("a longer default");
  EXPECT_EQ(Rewrite(value, rename.Args()), Data(kit::CompositeValue(1, {Field(renamed), kit::TextRun("after")})));
  EXPECT_EQ(rename.seen, (std::vector<std::string>{"default", "valid", "Subject", "The subject line, shown as help"}));
}

TEST_F(CdMembers, KeywordFormulaAndHideWhenFormulaAreReencoded) {
  FieldSpec spec{{}, {}, {}, "Choice", "", {0, 0}};
  Append(spec.keywords, SomeFormula("k"));
  Bytes hide(10, 0);
  Append(hide, SomeFormula("hide"));
  const Bytes value = kit::CompositeValue(1, {Field(spec), kit::WordRecord(0xFFBB, hide)});
  kit::PieceReplacer grow;
  grow.replacements = {{"k", "keywords"}, {"hide", "hidden!"}};
  FieldSpec grown = spec;
  grown.keywords = {0, 0};
  Append(grown.keywords, SomeFormula("keywords"));
  Bytes grownHide(10, 0);
  Append(grownHide, SomeFormula("hidden!"));
  EXPECT_EQ(Rewrite(value, grow.Args()),
            Data(kit::CompositeValue(1, {Field(grown), kit::WordRecord(0xFFBB, grownHide)})));
}

TEST_F(CdMembers, FieldWhosePiecesRunPastTheRecordIsRefused) {
  FieldSpec spec{{}, {}, {}, "Name", "Description", {}};
  Bytes field = Field(spec);
  Put16(field, 32, 200);  // the description claims 200 bytes
  Rewrite(kit::CompositeValue(1, {field}), {}, kErrBadCompositeRecord);
}

}  // namespace
}  // namespace quillet
