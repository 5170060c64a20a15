// The bytes a rewrite hands out, pinned: a form whose "$Body" spans several
// segments of object code, and modules with classes, properties, functions
// and control structures, rewritten and serialised. A change that only
// speeds the rewrite up must give these bytes exactly; the digests were
// taken from the rewrite before its fast paths and checked to decode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "instrument/module_instrument.h"
#include "instrument/note_instrument.h"
#include "lsobject/ls_script_module.h"
#include "lsobject/module_text.h"
#include "lsobject/script_items.h"
#include "sim/lsc/compiler.h"
#include "sim/scoped_sim_host.h"
#include "util/bytes.h"

namespace quillet {
namespace {

using Bytes = std::vector<uint8_t>;

// FNV-1a over each value's length and bytes, in order.
class Digest {
 public:
  void Add(std::span<const uint8_t> bytes) {
    const uint64_t n = bytes.size();
    for (int i = 0; i < 8; ++i) Step(static_cast<uint8_t>(n >> (8 * i)));
    for (uint8_t b : bytes) Step(b);
  }
  uint64_t value() const { return h_; }

 private:
  void Step(uint8_t b) { h_ = (h_ ^ b) * 0x100000001B3u; }
  uint64_t h_ = 0xCBF29CE484222325u;
};

Bytes Compile(const std::string& source) {
  Bytes out;
  std::vector<CompileError> errors;
  EXPECT_TRUE(CompileLotusScript(source, out, errors)) << source;
  return out;
}

std::string ClickSource(int n) {
  std::string source = "Sub Click" + std::to_string(n) + "\n  Dim total As Integer\n";
  for (int i = 0; i < 5 + n % 4; ++i) source += "  total = total + " + std::to_string(i) + "\n";
  return source + "End Sub\n";
}

// Object-code record: u16 0xFFB1, u16 record length, u32 code size, u32 0, code.
Bytes ObjectCodeRecord(const Bytes& code) {
  Bytes record(12, 0);
  StoreU16(record.data(), 0xFFB1);
  StoreU16(record.data() + 2, static_cast<uint16_t>(12 + code.size()));
  StoreU32(record.data() + 4, static_cast<uint32_t>(code.size()));
  record.insert(record.end(), code.begin(), code.end());
  if (record.size() % 2 != 0) record.push_back(0);
  return record;
}

TEST(RewriteBytes, FormBodyOverSeveralSegmentsKeepsItsRewrittenBytes) {
  sim::ScopedSimHost host;
  DbHandle db;
  ASSERT_EQ(host->CreateDatabase("bytes.nsf"), kNoError);
  ASSERT_EQ(host->DbOpen("bytes.nsf", db), kNoError);
  NoteHandle note;
  ASSERT_EQ(host->NoteCreate(db, note), kNoError);
  host->NoteSetClass(note, kNoteClassForm);
  // Three segments of records, each value led by its type word in the note.
  constexpr int kPieces = 60;
  for (int segment = 0; segment < 3; ++segment) {
    Bytes value;
    for (int i = segment * kPieces / 3; i < (segment + 1) * kPieces / 3; ++i) {
      const Bytes record = ObjectCodeRecord(Compile(ClickSource(i)));
      value.insert(value.end(), record.begin(), record.end());
    }
    ASSERT_EQ(host->ItemAppend(note, kItemSigned, "$Body", kTypeCompositeData, value), kNoError);
  }
  CLSProfileApp profile("nquillet", "", 0);
  ASSERT_EQ(InstrumentItem(profile, note, "$Body", {}, 0x0003 | instrument_flags::kSkipWatchChecks), kNoError);
  EXPECT_EQ(profile.Data.Procedures().size(), static_cast<size_t>(kPieces));

  Digest digest;
  int values = 0;
  ASSERT_EQ(host->ItemScan(note, [&](const ItemInfo& item) -> STATUS {
    if (item.name == "$Body") {
      digest.Add(item.value);
      ++values;
    }
    return kNoError;
  }), kNoError);
  EXPECT_GE(values, 2) << "the rewritten body spans segments too";
  EXPECT_EQ(digest.value(), 6716592693588322738ull);
  (void)host->NoteClose(note);
}

TEST(RewriteBytes, ModulesOfEveryProcedureKindKeepTheirRewrittenBytes) {
  const std::vector<std::string> sources = {
      "Sub Initialize\n  Dim i As Integer\n  For i = 1 To 3\n    Print i\n  Next\nEnd Sub\n",
      "Function Twice(x As Integer) As Integer\n  Twice = x * 2\nEnd Function\n"
      "Sub Initialize\n  Print Twice(4)\n  Select Case Twice(1)\n  Case 2\n    Print \"two\"\n  Case Else\n"
      "    Print \"other\"\n  End Select\nEnd Sub\n",
      "Class Account\n  Private balance As Long\n  Sub New\n    balance = 10\n  End Sub\n"
      "  Property Get Total As Long\n    Total = balance\n  End Property\n"
      "  Property Set Total As Long\n    balance = Total\n  End Property\n"
      "  Function Add(n As Long) As Long\n    If n > 0 Then\n      balance = balance + n\n    Else\n"
      "      balance = balance - 1\n    End If\n    Add = balance\n  End Function\nEnd Class\n"
      "Sub Initialize\n  Dim a As New Account\n  Print a.Add(5)\n  a.Total = 3\n  Print a.Total\nEnd Sub\n",
      ClickSource(40),
  };
  sim::ScopedSimHost host;
  const NotesModuleText text(host.host());
  ItemContext context;
  context.Flags = 0x0003;
  Digest digest;
  for (const std::string& source : sources) {
    const Bytes image = Compile(source);
    CLSProfileApp profile("nquillet", "", 0);
    CLSScriptModule module(text);
    ASSERT_TRUE(module.Parse(image)) << source;
    ASSERT_EQ(InstrumentModule(module, context, profile), 0) << source;
    const Bytes out = module.Serialize();
    CLSScriptModule back;
    ASSERT_TRUE(back.Parse(out)) << source;
    EXPECT_TRUE(IsInstrumentedModule(back)) << source;
    digest.Add(out);
  }
  EXPECT_EQ(digest.value(), 2723912893260886044ull);  // Total's Set entry after its Get, out of the chain
}

}  // namespace
}  // namespace quillet
