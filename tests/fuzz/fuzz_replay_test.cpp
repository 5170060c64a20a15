// Replays the seeds and the kept findings of the module round-trip,
// instrumentation, settings, formula, composite and note fuzz targets
// through the targets' own code: every invariant a target checks must hold
// for every one of its inputs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "sim/scoped_sim_host.h"

namespace quillet::fuzz {

int ModuleRoundtrip(const uint8_t* data, size_t size);
int Instrument(const uint8_t* data, size_t size);
int Settings(const uint8_t* data, size_t size);
int Formula(const uint8_t* data, size_t size);
int Composite(const uint8_t* data, size_t size);
int NoteInstrument(const uint8_t* data, size_t size);

namespace {
sim::SimHost* gHost = nullptr;  // the running test's
}  // namespace

void InvariantFailed(const char* file, int line, const char* condition) {
  ADD_FAILURE_AT(file, line) << "invariant failed: " << condition;
}

sim::SimHost& NeedHost() { return *gHost; }  // the running test holds it

namespace {

using Target = int (*)(const uint8_t*, size_t);

// The files of fuzz/corpus/NAME and fuzz/bad-inputs/NAME.
std::vector<std::filesystem::path> InputsOf(const std::string& name) {
  std::vector<std::filesystem::path> files;
  for (const char* folder : {"/fuzz/corpus/", "/fuzz/bad-inputs/"}) {
    const std::filesystem::path dir = std::string(QUILLET_SOURCE_DIR) + folder + name;
    if (!std::filesystem::is_directory(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      if (entry.is_regular_file()) files.push_back(entry.path());
  }
  return files;
}

class FuzzReplay : public ::testing::TestWithParam<std::pair<const char*, Target>> {
 protected:
  void SetUp() override { gHost = &host_.host(); }
  void TearDown() override { gHost = nullptr; }
  sim::ScopedSimHost host_;
};

TEST_P(FuzzReplay, EveryKeptInputKeepsTheTargetsInvariants) {
  const auto& [name, target] = GetParam();
  const std::vector<std::filesystem::path> inputs = InputsOf(name);
  ASSERT_GE(inputs.size(), 2u) << "seeds and findings of " << name;
  for (const std::filesystem::path& path : inputs) {
    SCOPED_TRACE(path.string());
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    target(bytes.data(), bytes.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay,
                         ::testing::Values(std::pair<const char*, Target>{"module_roundtrip", ModuleRoundtrip},
                                           std::pair<const char*, Target>{"instrument", Instrument},
                                           std::pair<const char*, Target>{"settings", Settings},
                                           std::pair<const char*, Target>{"formula", Formula},
                                           std::pair<const char*, Target>{"composite", Composite},
                                           std::pair<const char*, Target>{"note_instrument", NoteInstrument}),
                         [](const auto& info) { return std::string(info.param.first); });

}  // namespace
}  // namespace quillet::fuzz
