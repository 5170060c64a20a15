// Tests of the rich-text path: every piece of object code in a form's
// "$Body" rewritten in place and named by its place, and the pieces that
// must keep their old bytes (unreadable, too large, rewritten before).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "instrument/module_instrument.h"
#include "instrument/note_instrument.h"
#include "instrument/note_paths.h"
#include "lsobject/ls_script_module.h"
#include "sim/lsc/compiler.h"
#include "sim/lsrun/note_runner.h"
#include "sim/scoped_sim_host.h"
#include "support/rich_text_builder.h"
#include "util/bytes.h"

namespace quillet {
namespace {

using kit::Bytes;

constexpr uint32_t kScriptHotspot = 0x100;
constexpr uint16_t kButton = 3;
constexpr uint16_t kHotRegion = 2;

Bytes Source(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes Compile(std::string_view source) {
  Bytes image;
  std::vector<CompileError> errors;
  EXPECT_TRUE(CompileLotusScript(source, image, errors)) << (errors.empty() ? "" : errors[0].message);
  return image;
}

class CodeBlobs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sim_->CreateDatabase("forms.nsf"), kNoError);
    ASSERT_EQ(sim_->DbOpen("forms.nsf", db_), kNoError);
    ASSERT_EQ(sim_->NoteCreate(db_, note_), kNoError);
    context_.ItemName = "$Body";
    context_.Title = "Order";
    context_.NoteHandle = note_.value;
    context_.Flags = 0x0003;
  }
  void SetBody(const std::vector<Bytes>& records) {
    const Bytes value = kit::CompositeValue(kTypeCompositeData, records);
    ASSERT_EQ(sim_->ItemAppend(note_, kItemSummary, "$Body", kTypeCompositeData, std::span(value).subspan(2)), kNoError);
  }
  std::vector<NoteCodePiece> Pieces() {
    std::vector<NoteCodePiece> pieces;
    EXPECT_EQ(ListObjectCode(note_, "$Body", pieces), kNoError);
    return pieces;
  }
  static bool Instrumented(const Bytes& image) {
    CLSScriptModule module;
    return module.Parse(image) && IsInstrumentedModule(module);
  }
  std::vector<std::string> DisplayNames() const {
    std::vector<std::string> names;
    for (const auto& [key, info] : profile_.Data.Procedures()) names.push_back(info->ModuleDisplayName);
    return names;
  }

  sim::ScopedSimHost sim_;
  DbHandle db_;
  NoteHandle note_;
  CLSProfileApp profile_{"nquillet", "", 0};
  ItemContext context_;
};

TEST_F(CodeBlobs, ButtonAndHotspotAreRewrittenAndNamedByTheirPlace) {
  const Bytes button = Compile("Sub Click\n  Print \"button\"\nEnd Sub\n");
  const Bytes region = Compile("Sub Click\n  Print \"region\"\nEnd Sub\n");
  SetBody({kit::Paragraph(), kit::Hotspot(kButton, kScriptHotspot, Source("Sub Click")), kit::LsObjectRecord(button),
           kit::ByteRecord(0xAE, {}), kit::TextRun("between"),
           kit::Hotspot(kHotRegion, kScriptHotspot, Source("Sub Click")), kit::LsObjectRecord(region),
           kit::ByteRecord(0xAE, {})});
  ASSERT_EQ(InstrumentRichTextItem(profile_, note_, context_), kNoError);

  const std::vector<NoteCodePiece> pieces = Pieces();
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].place, "Button\\Script");
  EXPECT_EQ(pieces[1].place, "Hotspot\\Script");
  for (const NoteCodePiece& piece : pieces) EXPECT_TRUE(Instrumented(piece.image)) << piece.place;
  EXPECT_EQ(context_.HotspotCount, 2);
  const std::vector<std::string> names = DisplayNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "Button\\Script"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "Hotspot\\Script"), 1);
  for (const auto& [key, info] : profile_.Data.Procedures()) {
    EXPECT_EQ(info->HotspotCount, info->ModuleDisplayName == "Button\\Script" ? 1 : 2);
    EXPECT_EQ(info->ItemName, "$Body");
    EXPECT_EQ(info->Title, "Order");
  }
}

TEST_F(CodeBlobs, UnreadableObjectCodeKeepsItsBytesWhileTheOthersAreRewritten) {
  const Bytes first = kit::CompiledModule("First", 2);
  const Bytes corrupt(41, 0x33);  // no module: odd length, no valid header
  const Bytes last = kit::CompiledModule("Last", 2);
  SetBody({kit::LsObjectRecord(first), kit::LsObjectRecord(corrupt), kit::LsObjectRecord(last)});
  ASSERT_EQ(InstrumentRichTextItem(profile_, note_, context_), kNoError);
  const std::vector<NoteCodePiece> pieces = Pieces();
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_TRUE(Instrumented(pieces[0].image));
  EXPECT_EQ(pieces[1].image, corrupt);
  EXPECT_TRUE(Instrumented(pieces[2].image));
  EXPECT_EQ(context_.HotspotCount, 3);
  EXPECT_TRUE(profile_.Messages.empty()) << "an unreadable blob is left without a warning";
}

TEST_F(CodeBlobs, ImageTooLargeForItsRecordKeepsTheOldBytesWithAWarning) {
  const Bytes big = kit::CompiledModule("Big", 2000);
  ASSERT_LT(big.size() + 12, 60000u);
  const Bytes small = kit::CompiledModule("Small", 1);
  SetBody({kit::LsObjectRecord(small), kit::Hotspot(kButton, kScriptHotspot, Source("Sub Big")),
           kit::LsObjectRecord(big)});
  EXPECT_EQ(InstrumentRichTextItem(profile_, note_, context_), kErrHotspotTooLarge);
  const std::vector<NoteCodePiece> pieces = Pieces();
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_TRUE(Instrumented(pieces[0].image));
  EXPECT_EQ(pieces[1].image, big);
  ASSERT_EQ(profile_.Messages.size(), 1u);
  EXPECT_EQ(profile_.Messages[0], "Instrument failed: Hotspot > 64k: (2) Button\\Script.");
}

TEST_F(CodeBlobs, CodeRewrittenBeforeIsOnlyRegistered) {
  SetBody({kit::LsObjectRecord(kit::CompiledModule("Again", 3))});
  ASSERT_EQ(InstrumentRichTextItem(profile_, note_, context_), kNoError);
  const std::vector<NoteCodePiece> once = Pieces();
  ASSERT_EQ(once.size(), 1u);

  CLSProfileApp second("nquillet", "", 0);
  context_.HotspotCount = 0;
  ASSERT_EQ(InstrumentRichTextItem(second, note_, context_), kNoError);
  const std::vector<NoteCodePiece> twice = Pieces();
  ASSERT_EQ(twice.size(), 1u);
  EXPECT_EQ(twice[0].image, once[0].image) << "no second timer class";
  EXPECT_EQ(second.Data.Procedures().size(), profile_.Data.Procedures().size());
  EXPECT_FALSE(second.Data.Procedures().empty());
}

TEST_F(CodeBlobs, CallbackCopiesAPieceUnchangedWhenTheBufferCannotTakeTheRewrite) {
  const Bytes module = kit::CompiledModule("Tight", 4);
  Status32 status = kNoError;
  CodeBlobUser user{&context_, &status, &profile_};
  RecordBuffer out(static_cast<uint16_t>(module.size() + 16), 0, static_cast<uint16_t>(module.size() + 16));
  ASSERT_EQ(out.Append(Bytes(12, 0xEE)), kNoError);
  ASSERT_EQ(InstrumentCodeBlob(PieceKind::ObjectCode, module, kRewriteObjectCode, out, nullptr, &user), kNoError);
  ASSERT_EQ(out.length(), 12 + module.size());
  EXPECT_EQ(Bytes(out.bytes().begin(), out.bytes().begin() + 12), Bytes(12, 0xEE)) << "earlier bytes untouched";
  EXPECT_EQ(Bytes(out.bytes().begin() + 12, out.bytes().end()), module);
  EXPECT_EQ(status, kErrHotspotTooLarge);
}

}  // namespace
}  // namespace quillet
