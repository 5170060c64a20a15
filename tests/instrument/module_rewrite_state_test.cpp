// What one module's rewrite leaves for the next: a damaged module refused only
// after its procedures were done (the inputs the instrumentation fuzzing
// kept) leaves the module as it was and no procedure description in the
// profile, so a report never lists code that was not rewritten; and the
// rewrite's buffers, kept per thread and reused module after module, never
// change the bytes of the next module.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "instrument/module_instrument.h"
#include "lsobject/ls_script_module.h"
#include "sim/lsc/compiler.h"
#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

const fs::path kLateRefusals = fs::path(QUILLET_SOURCE_DIR) / "fuzz/bad-inputs/instrument";

// The fuzz target's first byte picks the flags; its procedures-and-lines set
// is the one these inputs were refused under.
constexpr int32_t kFlags = instrument_flags::kTimeProcedures | instrument_flags::kTimeLines;

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Instruments `module` as a script library with kFlags into `profile`.
Status32 Instrument(CLSScriptModule& module, CLSProfileApp& profile) {
  ItemContext context;
  context.Flags = kFlags;
  context.ItemName = "$ScriptLib_O";
  context.Title = "Lib";
  module.ItemInfo().ItemName = context.ItemName;
  return InstrumentModule(module, context, profile);
}

TEST(ModuleRewriteState, LateRefusalLeavesNoProcedureDescriptions) {
  sim::ScopedSimHost host;  // the message catalogue for the warnings
  size_t refused = 0;
  for (const fs::directory_entry& file : fs::directory_iterator(kLateRefusals)) {
    const std::vector<uint8_t> input = ReadFile(file.path());
    ASSERT_GT(input.size(), 1u) << file.path();
    CLSScriptModule module;
    if (!module.Parse(std::span<const uint8_t>(input).subspan(1)) || IsInstrumentedModule(module)) continue;
    const std::vector<uint8_t> before = module.Serialize();
    CLSProfileApp profile("nquillet", "", kFlags);
    if (Instrument(module, profile) == 0) continue;
    ++refused;
    EXPECT_EQ(module.Serialize(), before) << file.path();
    EXPECT_TRUE(profile.Data.Procedures().empty()) << file.path() << ": " << profile.Data.Procedures().size();
    EXPECT_FALSE(profile.Messages.empty()) << file.path() << ": a refusal says why";
  }
  EXPECT_GT(refused, 0u) << "no input was refused after its procedures were rewritten";
}

std::vector<uint8_t> Compile(const std::string& source) {
  std::vector<uint8_t> image;
  std::vector<CompileError> errors;
  EXPECT_TRUE(CompileLotusScript(source, image, errors)) << (errors.empty() ? "" : errors[0].message);
  return image;
}

// The instrumented image of `image`, or empty when it is refused.
std::vector<uint8_t> Instrumented(const std::vector<uint8_t>& image) {
  CLSScriptModule module;
  EXPECT_TRUE(module.Parse(image));
  CLSProfileApp profile("nquillet", "", kFlags);
  if (Instrument(module, profile) != 0) return {};
  return module.Serialize();
}

std::string LongModule(int lines) {
  std::string source = "Sub Main\n  Dim total As Long\n";
  for (int i = 0; i < lines; ++i) source += "  total = total + " + std::to_string(i) + "\n";
  source += "  If total > 3 Then GoTo Done\n  Print total\nDone:\n  Print \"done\"\nEnd Sub\n";
  return source;
}

TEST(ModuleRewriteState, AModuleComesOutTheSameAfterOthersUsedTheBuffers) {
  sim::ScopedSimHost host;
  const std::vector<uint8_t> small = Compile("Sub Click\n  Print 1\nEnd Sub\nSub Other\n  Print 2\nEnd Sub\n");
  const std::vector<uint8_t> large = Compile(LongModule(3000));
  const std::vector<uint8_t> labelled = Compile(LongModule(20));

  // Each on a thread of its own: buffers never used before.
  std::vector<std::vector<uint8_t>> fresh(3);
  const std::vector<const std::vector<uint8_t>*> images = {&small, &large, &labelled};
  for (size_t i = 0; i < images.size(); ++i) {
    std::thread([&, i] { fresh[i] = Instrumented(*images[i]); }).join();
    ASSERT_FALSE(fresh[i].empty()) << i;
  }
  // Then one after another on this thread, the large one in between.
  EXPECT_EQ(Instrumented(small), fresh[0]);
  EXPECT_EQ(Instrumented(large), fresh[1]);
  EXPECT_EQ(Instrumented(small), fresh[0]);
  EXPECT_EQ(Instrumented(labelled), fresh[2]);
  EXPECT_EQ(Instrumented(small), fresh[0]);
}

}  // namespace
}  // namespace quillet
