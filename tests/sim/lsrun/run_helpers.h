// Compiling LotusScript source and running it, for the runner's tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/lsc/compiler.h"
#include "sim/lsrun/runner.h"

namespace quillet::testing {

inline std::vector<uint8_t> Compile(const std::string& source) {
  std::vector<uint8_t> image;
  std::vector<CompileError> errors;
  const bool ok = CompileLotusScript(source, image, errors);
  EXPECT_TRUE(ok) << (errors.empty() ? std::string("no diagnostic")
                                     : std::to_string(errors[0].line) + ":" + std::to_string(errors[0].column) +
                                           " " + errors[0].message);
  return image;
}

inline RunResult CompileAndRun(const std::string& source, const RunOptions& options = {}) {
  return RunModule(Compile(source), options);
}

// The printed output of a run that must succeed.
inline std::string Output(const std::string& source, const RunOptions& options = {}) {
  RunResult r = CompileAndRun(source, options);
  EXPECT_TRUE(r.ok) << r.error;
  return r.output;
}

}  // namespace quillet::testing
