// Fuzz-style checks of the rich-text rewrite: truncations, length fields and
// signatures of a built form body mutated at random (seeded). The rewrite
// must fail with a status and leave the item untouched, or write segments
// the host's enumerator reads back; the address sanitizer of the sanitizer
// test run catches any read past a record.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "design/item_reader.h"
#include "sim/scoped_sim_host.h"
#include "design/item_types.h"
#include "support/design_items_builder.h"
#include "support/formula_builder.h"
#include "support/rich_text_builder.h"
#include "util/bytes.h"

namespace quillet {
namespace {

using kit::Bytes;

Bytes FormulaOf(std::string_view text) {
  kit::FormulaBuilder f;
  f.Main().Number(1).Jump("end").String(text).Operator(0x20, 2).Label("end");
  return f.Build();
}

// A form body with most members that carry code; records and their offsets.
std::vector<Bytes> BodyRecords() {
  kit::FieldSpec field{FormulaOf("default"), {}, FormulaOf("valid"), "Subject", "Help text", {1, 0, 2, 0, 'o', 'k'}};
  Bytes hide(10, 0);
  const Bytes formula = FormulaOf("hide");
  hide.insert(hide.end(), formula.begin(), formula.end());
  return {kit::Paragraph(),
          kit::TextRun("Press"),
          kit::Field(field),
          kit::WordRecord(0xFFBB, hide),
          kit::Hotspot(3, 0x100 | 0x10000, {'S', 'u', 'b'}),
          kit::LsObjectRecord(kit::CompiledModule("Click", 2)),
          kit::ByteRecord(0xAE, {}),
          kit::Hotspot(1, 0x10, FormulaOf("popup"))};
}

struct Grow {
  static Status32 Callback(PieceKind, std::span<const uint8_t> piece, uint32_t, RecordBuffer& out, CodeLocation*,
                           void*) {
    if (Status32 status = out.Append(piece)) return status;
    return out.AppendZeros(3);  // longer code, odd length
  }
};

class RichTextFuzz : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sim_->CreateDatabase("fuzz.nsf"), kNoError);
    ASSERT_EQ(sim_->DbOpen("fuzz.nsf", db_), kNoError);
  }

  std::vector<Bytes> Instances(NoteHandle note) {
    std::vector<Bytes> values;
    ItemInfo info;
    for (STATUS s = sim_->ItemFind(note, "$Body", info); s == kNoError; s = sim_->ItemFindNext(note, info.item, info)) {
      values.push_back(info.value);
    }
    return values;
  }

  // Rewrites `value` as the only instance of "$Body" of a fresh note.
  void Check(const Bytes& value) {
    NoteHandle note;
    ASSERT_EQ(sim_->NoteCreate(db_, note), kNoError);
    ASSERT_EQ(sim_->ItemAppend(note, 0, "$Body", LoadU16(value.data()), std::span(value).subspan(2)), kNoError);
    const Status32 status = RewriteRichTextItem(note, "$Body", nullptr, &Grow::Callback, nullptr);
    const std::vector<Bytes> after = Instances(note);
    if (status != kNoError) {
      EXPECT_EQ(after, std::vector<Bytes>{value}) << "a failed rewrite leaves the item as it was";
    } else {
      for (Bytes segment : after) {
        StoreU16(segment.data(), kTypeCompositeData);  // as the reader hands any record-bearing type to it
        EXPECT_EQ(sim_->EnumerateCompositeRecords(segment, [](uint16_t, std::span<const uint8_t>) -> STATUS {
          return kNoError;
        }), kNoError);
      }
    }
    ASSERT_EQ(sim_->NoteClose(note), kNoError);
  }

  // Mutates the value of `records` at random (seeded) and checks each.
  void Mutate(uint16_t type, const std::vector<Bytes>& records, int rounds) {
    const Bytes value = kit::CompositeValue(type, records);
    std::vector<size_t> starts;  // of every record in the value
    for (size_t at = 2, i = 0; i < records.size(); ++i) {
      starts.push_back(at);
      at += records[i].size() + records[i].size() % 2;
    }
    const uint16_t signatures[] = {0xFFB1, 0xFFAD, 0xFF8A, 0xFF84, 0xFFBB, 0xFF85, 0xFFBA, 0x00B1, 0x81,
                                   0xAE,   0xFFBE, 0xFFF9, 0xFFAB, 0xFF82, 0xFF83, 0xFF90, 0xFF88,
                                   0xFF86, 0xFF87, 0xFF89, 0xFF8F, 0xFF76, 0xFFE9, 0xFFED, 0xFFF1,
                                   0xFFFB, 0xFFCE, 0xFFF6, 0xFF78, 0xFFEC, 0xFFE3};
    std::mt19937 random(0xD15C + type);
    for (int round = 0; round < rounds; ++round) {
      Bytes mutated = value;
      const size_t record = starts[random() % starts.size()];
      switch (random() % 4) {
        case 0:  // a record's signature
          StoreU16(mutated.data() + record, signatures[random() % std::size(signatures)]);
          break;
        case 1:  // a 16-bit field inside a record's fixed part (lengths live there)
          if (record + 40 < mutated.size()) {
            const size_t at = record + 2 + 2 * (random() % 18);
            StoreU16(mutated.data() + at, static_cast<uint16_t>(random() % 3 == 0 ? random() : random() % 64));
          }
          break;
        case 2:  // any byte
          mutated[2 + random() % (mutated.size() - 2)] = static_cast<uint8_t>(random());
          break;
        default:  // a truncation inside a record
          mutated.resize(record + 1 + random() % 40 < mutated.size() ? record + 1 + random() % 40 : mutated.size());
          break;
      }
      SCOPED_TRACE(round);
      Check(mutated);
      if (HasFatalFailure()) return;
    }
  }

  sim::ScopedSimHost sim_;
  DbHandle db_;
};

TEST_F(RichTextFuzz, EveryTruncation) {
  const Bytes value = kit::CompositeValue(kTypeCompositeData, BodyRecords());
  for (size_t length = 2; length <= value.size(); ++length) {
    SCOPED_TRACE(length);
    Check(Bytes(value.begin(), value.begin() + static_cast<ptrdiff_t>(length)));
  }
}

TEST_F(RichTextFuzz, SeededMutationsOfLengthsSignaturesAndBytes) {
  Mutate(kTypeCompositeData, BodyRecords(), 1500);
}

// The same mutations of every built design item: a whole form body, an
// action bar, an agent's query and actions, a navigator, mail, newsletter
// and by-form actions, by-form and uses-form terms, page elements and
// resource links, frame captions, table labels and embedded outlines,
// events and an embedded object.
TEST_F(RichTextFuzz, SeededMutationsOfEveryBuiltItem) {
  const Bytes code = kit::CompiledModule("Click", 2);
  const std::string source = kit::ScriptSource("Click");
  kit::ActionSpec script{"Approve", 2, Bytes(source.begin(), source.end()), kit::TextFormula("hide"), code};
  kit::ActionSpec agent{"Run", 3, kit::RunAgentStream("Nightly")};
  kit::ActionSpec guessed{"Guess", 7, kit::RunAgentStream("Other")};
  kit::EmbeddedObjectSpec object{2, "u", "base", "Plugin", "P", {{"size", kit::TextFormula("big")}}};
  std::vector<Bytes> actions = kit::AssistActionFormula(kit::TextFormula("f"));
  actions.push_back(kit::AssistActionScript(source)[1]);
  Mutate(kTypeCompositeData, kit::FormBody(code, code), 600);
  Mutate(kTypeCompositeData, kit::ActionBar({script, agent, guessed}), 600);
  Mutate(kTypeQuery, kit::AssistQuery({"one", "two"}), 300);
  Mutate(kTypeAction, actions, 300);
  Mutate(kTypeViewMapLayout, kit::NavigatorLayout("Home", source, code), 300);
  const std::vector<kit::FieldValues> fields = {{"Status", {"Open", "New"}}, {"Owner", {"me"}}};
  Mutate(kTypeAction,
         {kit::ByteRecord(0x81, {}),
          kit::SendMailRecord({{"To"}, {"", kit::TextFormula("cc")}, {}, {"", kit::TextFormula("s")}, {"Body"}}),
          kit::NewsLetterRecord({{"To"}, {}, {"", kit::TextFormula("bcc")}, {}, {"B"}, "View"}),
          kit::ByFormRecord(0xFF89, "Task", fields)},
         400);
  Mutate(kTypeQuery,
         {kit::ByteRecord(0x81, {0, 0, 0, 0}), kit::ByFormRecord(0xFF87, "Task", fields),
          kit::UsesFormRecord({"Memo", "Reply"})},
         400);
  Mutate(kTypeCompositeData,
         {kit::CaptionRecord("c"), kit::FieldHintRecord("hint"), kit::EmbeddedViewRecord(kit::TextFormula("r"), "v"),
          kit::FrameRecord("n", "t", {1}), kit::PreTableRecord("tab"), kit::HtmlFormulaRecord(1, kit::TextFormula("h")),
          kit::HRefRecord(0xFFF6, 3, 1, "s", "f", Bytes(8, 0), kit::TextFormula("e")),
          kit::HRefRecord(0xFF78, 2, 0, "", "", {0, 0}, {'a'})},
         600);
  const Bytes image = kit::HRefRecord(0xFFF6, 3, 1, "", "", Bytes(8, 0), kit::TextFormula("img"));
  Mutate(kTypeCompositeData,
         {kit::FrameRecord("n", "t", kit::FrameCaptionData(kit::TextFormula("cap")), 0x2000),
          kit::TableLabelRecord("tab", 2), kit::EmbeddedOutlineRecord("o", "t", "r", {image, image})},
         600);
  Mutate(kTypeCompositeData,
         {kit::EventRecord(1, 1, kit::TextFormula("e")), kit::EventRecord(2, 3, Bytes(source.begin(), source.end())),
          kit::EmbeddedObject(object), kit::HotspotEnd()},
         600);
}

}  // namespace
}  // namespace quillet
