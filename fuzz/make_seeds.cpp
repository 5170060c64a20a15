// Writes the seeds of the formula, composite and note_instrument targets
// from the test kit's builders: `fuzz_seeds DIR` fills DIR/formula,
// DIR/composite and DIR/note_instrument (normally DIR is fuzz/corpus).
// Each seed is the target's control byte followed by the built bytes.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/notes_api.h"
#include "design/item_types.h"
#include "sim/scoped_sim_host.h"
#include "sim/sim_note_file.h"
#include "support/design_items_builder.h"
#include "support/design_note_kit.h"
#include "support/formula_builder.h"
#include "support/rich_text_builder.h"

namespace {

using namespace quillet;
using kit::Bytes;

class SeedWriter {
 public:
  explicit SeedWriter(std::filesystem::path dir) : dir_(std::move(dir)) { std::filesystem::create_directories(dir_); }

  void Write(const std::string& name, uint8_t control, const Bytes& bytes) {
    std::ofstream out(dir_ / name, std::ios::binary | std::ios::trunc);
    out.put(static_cast<char>(control));
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + (dir_ / name).string());
  }

 private:
  std::filesystem::path dir_;
};

void FormulaSeeds(SeedWriter& seeds) {
  kit::FormulaBuilder jumps;
  jumps.Main().Number(1).TwoWayJump("then", "else").Label("then").String("yes").Operator(0x20, 2).Jump("end");
  jumps.Label("else").Name("Field").Operator(0x20, 2).Label("end");
  seeds.Write("jumps", 1, jumps.Build());
  kit::FormulaBuilder records;
  records.Remark("odd").Field("Name").String("value").Record(4, {1, 2, 3});
  records.TempField("t").Number(3).Operator(0xFB, 1).Column("col").Extended(7).Expression().String("e");
  seeds.Write("records", 1, records.Build());
  seeds.Write("text", 2, kit::TextFormula("hide"));
}

// Control byte: callback in bits 0-1 (1 lengthens), name in bits 2-4.
uint8_t CompositeControl(uint8_t name) { return static_cast<uint8_t>(1 | name << 2); }

void CompositeSeeds(SeedWriter& seeds) {
  const Bytes button = kit::CompiledModule("Click", 2);
  seeds.Write("form-body", CompositeControl(0),
              kit::CompositeValue(kTypeCompositeData, kit::FormBody(button, kit::CompiledModule("Details", 1))));
  kit::ActionSpec approve{"Approve", 2, {}, kit::TextFormula("hide"), kit::CompiledModule("Approve", 2)};
  const std::string source = kit::ScriptSource("Approve");
  approve.body.assign(source.begin(), source.end());
  const kit::ActionSpec run{"Run", 3, kit::RunAgentStream("Nightly")};
  seeds.Write("action-bar", CompositeControl(1), kit::CompositeValue(kTypeCompositeData, kit::ActionBar({approve, run})));
  seeds.Write("navigator", CompositeControl(2),
              kit::CompositeValue(kTypeViewMapLayout, kit::NavigatorLayout("Home", kit::ScriptSource("Nav"), button)));
  seeds.Write("agent-action", CompositeControl(3),
              kit::CompositeValue(kTypeAction, kit::AssistActionScript(kit::ScriptSource("Go"))));
  seeds.Write("agent-query", CompositeControl(4), kit::CompositeValue(kTypeQuery, kit::AssistQuery({"invoice"})));
  // An outline in two instances, the second cut inside an entry.
  kit::OutlineEntrySpec home{"Home", kit::TextFormula("open"), kit::TextFormula("hide"), "home", "Main"};
  kit::OutlineEntrySpec help{"Help", {}, {}, "", "Help view", {1, 2, 3}};
  Bytes outline = {0x1A, 0x00};
  const Bytes data = kit::OutlineData({kit::OutlineEntry(home), kit::OutlineEntry(help), kit::OutlineEntry(home)}, {3});
  outline.insert(outline.end(), data.begin(), data.end());
  constexpr uint8_t kTwoInstances = 1 << 5;
  seeds.Write("outline", static_cast<uint8_t>(CompositeControl(0) | kTwoInstances), outline);
  // Page elements whose pieces are rebuilt: a frame's caption, a table
  // label, an embedded outline with an image.
  const Bytes image = kit::HRefRecord(0xFFF6, 3, 1, "", "", Bytes(8, 0), kit::TextFormula("bg"));
  seeds.Write("page-elements", CompositeControl(0),
              kit::CompositeValue(kTypeCompositeData,
                                  {kit::FrameRecord("Left", "Main", kit::FrameCaptionData(kit::TextFormula("Cap")), 0x2000),
                                   kit::TableLabelRecord("Tab", 2), kit::EmbeddedOutlineRecord("Nav", "Main", "", {image})}));
}

constexpr char kSource[] =
    "Sub Initialize\n"
    "  Dim total As Integer\n"
    "  For i% = 1 To 3\n"
    "    total = total + i%\n"
    "  Next\n"
    "End Sub\n";

void NoteSeeds(SeedWriter& seeds) {
  constexpr uint8_t kProceduresAndLines = 2;  // the target's third flag set
  seeds.Write("agent", kProceduresAndLines, sim::WriteNoteFile(kit::AgentNote("Nightly", kSource)));
  seeds.Write("library-in-two-items", kProceduresAndLines,
              sim::WriteNoteFile(kit::ScriptLibraryNote("Tools", kSource, 2)));
  sim::NoteFile form = kit::DesignNote(kNoteClassForm, "Order", "");
  const Bytes body = kit::CompositeValue(
      kTypeCompositeData, kit::FormBody(kit::CompiledModule("Click", 2), kit::CompiledModule("Details", 1)));
  form.items.push_back({"$Body", kTypeCompositeData, Bytes(body.begin() + 2, body.end()), kit::kScriptItemFlags});
  seeds.Write("form", kProceduresAndLines, sim::WriteNoteFile(form));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fuzz_seeds DIR\n";
    return 2;
  }
  try {
    sim::ScopedSimHost host;  // the compiler's text services
    const std::filesystem::path dir = argv[1];
    SeedWriter formula(dir / "formula");
    FormulaSeeds(formula);
    SeedWriter composite(dir / "composite");
    CompositeSeeds(composite);
    SeedWriter notes(dir / "note_instrument");
    NoteSeeds(notes);
  } catch (const std::exception& e) {
    std::cerr << "fuzz_seeds: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
