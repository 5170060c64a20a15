// Compiling LotusScript source and running it, for the runner's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
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

// Runs `image` once with every step limit below the `full` run's count:
// each run stops on the step past its limit, having printed a beginning of
// the full output. Returns the outputs seen.
inline std::set<std::string> OutputsAtEveryStepLimit(const std::vector<uint8_t>& image, const RunResult& full) {
  std::set<std::string> outputs;
  for (uint64_t limit = 1; limit < full.steps; ++limit) {
    RunOptions options;
    options.maxSteps = limit;
    const RunResult cut = RunModule(image, options);
    EXPECT_FALSE(cut.ok);
    EXPECT_EQ(cut.steps, limit + 1);
    EXPECT_NE(cut.error.find("step limit"), std::string::npos) << cut.error;
    EXPECT_EQ(full.output.compare(0, cut.output.size(), cut.output), 0) << "limit " << limit;
    outputs.insert(cut.output);
  }
  return outputs;
}

}  // namespace quillet::testing
