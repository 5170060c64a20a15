// Corpus programs with their worked-out output, and the fixture that runs
// each plain and instrumented (entry and line timing, timer calls answered
// and counted here).
#pragma once

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "lsobject/ls_script_module.h"
#include "sim/lsrun/run_helpers.h"
#include "sim/scoped_sim_host.h"
#include "support/instrument_kit.h"
#include "timing/profile_app.h"

namespace quillet::testing {

struct Program {
  const char* name;
  const char* source;
  const char* output;
};

class CorpusFixture : public ::testing::TestWithParam<Program> {
 protected:
  // The same image rewritten with procedure and line timing.
  std::vector<uint8_t> Instrument(const std::vector<uint8_t>& image) { return Instrument(image, profile_); }
  std::vector<uint8_t> Instrument(const std::vector<uint8_t>& image, CLSProfileApp& profile) {
    Status32 status = 0;
    std::vector<uint8_t> rewritten = kit::InstrumentLibrary(image, profile, "Corpus", 0x0003, status);
    EXPECT_EQ(status, 0u);
    return rewritten;
  }

  // Runs `p` plain, then instrumented: both print its worked-out output and
  // the rewritten module calls the timers.
  void ExpectOutputPlainAndProfiled(const Program& p) {
    const std::vector<uint8_t> image = Compile(p.source);
    ASSERT_FALSE(image.empty());
    RunResult plain = RunModule(image, {});
    ASSERT_TRUE(plain.ok) << plain.error;
    EXPECT_EQ(plain.output, p.output);

    RunOptions options;
    int timerCalls = 0;
    auto count = [&timerCalls](std::span<const lsrun::Value>, lsrun::Value&) {
      ++timerCalls;
      return 0;
    };
    options.natives.Register("nquillet", "KVXFunctionTimer", count);
    options.natives.Register("nquillet", "KVXLineTimer", count);
    RunResult profiled = RunModule(Instrument(image), options);
    ASSERT_TRUE(profiled.ok) << profiled.error;
    EXPECT_EQ(profiled.output, plain.output);
    EXPECT_GT(timerCalls, 0) << "the rewritten module made no timer calls";
  }

  sim::ScopedSimHost host_;
  CLSProfileApp profile_{"nquillet", "", 0};
};

}  // namespace quillet::testing
