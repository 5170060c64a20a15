// The rewrite's buffers are kept per thread and reused module after module:
// what a large module or a module with labels left in them
// must not change the bytes of the next module.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "instrument/module_instrument.h"
#include "lsobject/ls_script_module.h"
#include "sim/lsc/compiler.h"
#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

constexpr int32_t kFlags = instrument_flags::kTimeProcedures | instrument_flags::kTimeLines;

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
  ItemContext context;
  context.Flags = kFlags;
  context.ItemName = "$ScriptLib_O";
  context.Title = "Lib";
  module.ItemInfo().ItemName = context.ItemName;
  if (InstrumentModule(module, context, profile) != 0) return {};
  return module.Serialize();
}

std::string LongModule(int lines) {
  std::string source = "Sub Main\n  Dim total As Long\n";
  for (int i = 0; i < lines; ++i) source += "  total = total + " + std::to_string(i) + "\n";
  source += "  If total > 3 Then GoTo Done\n  Print total\nDone:\n  Print \"done\"\nEnd Sub\n";
  return source;
}

TEST(RewriteBuffers, AModuleComesOutTheSameAfterOthersUsedTheBuffers) {
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
