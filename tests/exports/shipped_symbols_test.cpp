// The hook driver carries none of the simulated host, the simulated
// LotusScript compiler and runner, or the test kit: `nm` over the built
// library finds none of their names, while the tool, which links them, does.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace quillet {
namespace {

// The demangled names `nm` lists for `path` (every symbol table entry, not
// only the dynamic ones), one a line; empty when nm could not be run.
std::vector<std::string> SymbolNames(const std::string& path) {
  const std::string command = "nm -C " + path + " 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::vector<std::string> names;
  if (!pipe) return names;
  std::string line;
  std::array<char, 4096> buffer;
  while (fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr) {
    line += buffer.data();
    if (!line.empty() && line.back() == '\n') {
      line.pop_back();
      names.push_back(line);
      line.clear();
    }
  }
  return names;
}

// Names only the simulated host, compiler, runner and test kit define.
const std::regex kSimulatorName(
    R"(quillet::(sim|lsc|lsrun|kit)::|quillet::CompileLotusScript|quillet::RunModule|quillet::testing::)");

std::vector<std::string> SimulatorNames(const std::vector<std::string>& names) {
  std::vector<std::string> found;
  for (const std::string& name : names) {
    if (std::regex_search(name, kSimulatorName)) found.push_back(name);
  }
  return found;
}

TEST(ShippedSymbols, HookDriverHoldsNoSimulatorCompilerOrTestKitName) {
  const std::vector<std::string> names = SymbolNames(QUILLET_NQUILLET_PATH);
  // The library's own code is there: nm read it.
  ASSERT_GT(names.size(), 100u);
  bool ownCode = false;
  for (const std::string& name : names) ownCode = ownCode || name.find("quillet::CQuilletApp") != std::string::npos;
  ASSERT_TRUE(ownCode);

  const std::vector<std::string> found = SimulatorNames(names);
  EXPECT_TRUE(found.empty()) << found.size() << " names, the first: " << (found.empty() ? "" : found.front());
}

TEST(ShippedSymbols, TheToolThatLinksTheSimulatorShowsItsNames) {
  // The same search over a program that does link the simulator finds it, so
  // an empty result above means absence, not a search that never matches.
  const std::vector<std::string> found = SimulatorNames(SymbolNames(QUILLET_TOOL_PATH));
  bool host = false, compiler = false, runner = false;
  for (const std::string& name : found) {
    host = host || name.find("quillet::sim::") != std::string::npos;
    compiler = compiler || name.find("quillet::lsc::") != std::string::npos;
    runner = runner || name.find("quillet::lsrun::") != std::string::npos;
  }
  EXPECT_TRUE(host);
  EXPECT_TRUE(compiler);
  EXPECT_TRUE(runner);
}

}  // namespace
}  // namespace quillet
