// The carry-less folding checksum against the table step it stands in for:
// random lengths, alignments and running values, and the modules the tests
// and fuzz targets keep.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "lsobject/checksum.h"
#include "sim/lsc/compiler.h"

namespace quillet {
namespace {

using Bytes = std::vector<uint8_t>;

// Both steps where the CPU folds; the chosen step alone where it does not.
void ExpectSameCrc(uint32_t crc, std::span<const uint8_t> bytes, const std::string& what) {
  const uint32_t sliced = UpdateModuleCrcSliced(crc, bytes);
  EXPECT_EQ(UpdateModuleCrc(crc, bytes), sliced) << what;
  if (CarrylessCrcAvailable()) {
    EXPECT_EQ(UpdateModuleCrcFolded(crc, bytes), sliced) << what;
  }
}

TEST(ModuleChecksumFolding, AgreesWithTheTablesOnRandomLengthsAlignmentsAndValues) {
  std::mt19937 random(19);
  Bytes bytes(4096 + 64);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  // Every length around the folding's block sizes, then random ones.
  for (size_t length = 0; length <= 300; ++length) {
    const size_t offset = length % 64;
    ExpectSameCrc(random(), std::span<const uint8_t>(bytes).subspan(offset, length),
                  "length " + std::to_string(length) + " at " + std::to_string(offset));
  }
  for (int k = 0; k < 2000; ++k) {
    const size_t length = random() % 4097;
    const size_t offset = random() % 64;
    ExpectSameCrc(random(), std::span<const uint8_t>(bytes).subspan(offset, length),
                  "length " + std::to_string(length) + " at " + std::to_string(offset));
  }
}

TEST(ModuleChecksumFolding, ChainsOverSplitsOfALargeInput) {
  std::mt19937 random(26);
  Bytes bytes(1 << 20);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  const std::span<const uint8_t> all(bytes);
  const uint32_t whole = UpdateModuleCrcSliced(0x5A5A5A5Au, all);
  EXPECT_EQ(UpdateModuleCrc(0x5A5A5A5Au, all), whole);
  for (size_t split : {size_t{63}, size_t{64}, size_t{65}, size_t{4095}, size_t{524'289}}) {
    EXPECT_EQ(UpdateModuleCrc(UpdateModuleCrc(0x5A5A5A5Au, all.first(split)), all.subspan(split)), whole) << split;
  }
}

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The compiled modules the fuzz targets keep, and those their sources compile
// to: whole, and from every start within the first 64 bytes.
TEST(ModuleChecksumFolding, AgreesOnEveryKeptModule) {
  std::vector<std::pair<std::string, Bytes>> modules;
  for (const char* folder : {"/fuzz/corpus", "/fuzz/bad-inputs"}) {
    const std::filesystem::path dir = std::string(QUILLET_SOURCE_DIR) + folder;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
      if (!entry.is_regular_file()) continue;
      const std::string ext = entry.path().extension().string();
      if (ext == ".lso") modules.emplace_back(entry.path().string(), ReadFile(entry.path()));
      if (ext != ".lss") continue;
      Bytes compiled;
      std::vector<CompileError> errors;
      std::string source;
      for (uint8_t b : ReadFile(entry.path())) source.push_back(static_cast<char>(b));
      if (CompileLotusScript(source, compiled, errors)) modules.emplace_back(entry.path().string(), compiled);
    }
  }
  ASSERT_GE(modules.size(), 10u);
  for (const auto& [name, image] : modules) {
    ASSERT_FALSE(image.empty()) << name;
    for (size_t start = 0; start < 64 && start <= image.size(); ++start) {
      ExpectSameCrc(0, std::span<const uint8_t>(image).subspan(start), name + " from " + std::to_string(start));
    }
  }
}

}  // namespace
}  // namespace quillet
