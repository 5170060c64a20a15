// Damaged modules that the rewrite refuses only after its procedures were
// done (the inputs the instrumentation fuzzing kept): the refusal leaves the
// module as it was and no procedure description in the profile, so a report
// never lists procedures whose code was not rewritten.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "instrument/module_instrument.h"
#include "lsobject/ls_script_module.h"
#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

const fs::path kLateRefusals = fs::path(QUILLET_SOURCE_DIR) / "fuzz/bad-inputs/instrument";

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The fuzz target's first byte picks the flags; its procedures-and-lines set
// is the one these inputs were refused under.
constexpr int32_t kFlags = instrument_flags::kTimeProcedures | instrument_flags::kTimeLines;

TEST(ModuleRefusal, LateRefusalLeavesNoProcedureDescriptions) {
  sim::ScopedSimHost host;  // the message catalogue for the warnings
  size_t refused = 0;
  for (const fs::directory_entry& file : fs::directory_iterator(kLateRefusals)) {
    const std::vector<uint8_t> input = ReadFile(file.path());
    ASSERT_GT(input.size(), 1u) << file.path();
    const std::span<const uint8_t> image = std::span<const uint8_t>(input).subspan(1);
    CLSScriptModule module;
    if (!module.Parse(image) || IsInstrumentedModule(module)) continue;
    const std::vector<uint8_t> before = module.Serialize();

    CLSProfileApp profile("nquillet", "", kFlags);
    ItemContext context;
    context.Flags = kFlags;
    context.ItemName = "$ScriptLib_O";
    context.Title = "damaged";
    module.ItemInfo().ItemName = context.ItemName;
    if (InstrumentModule(module, context, profile) == 0) continue;
    ++refused;
    EXPECT_EQ(module.Serialize(), before) << file.path();
    EXPECT_TRUE(profile.Data.Procedures().empty()) << file.path() << ": " << profile.Data.Procedures().size();
    EXPECT_FALSE(profile.Messages.empty()) << file.path() << ": a refusal says why";
  }
  EXPECT_GT(refused, 0u) << "no input was refused after its procedures were rewritten";
}

}  // namespace
}  // namespace quillet
