// Public entry of the simulated LotusScript runner ("lsrun"): executes a
// compiled module image, original or rewritten by the instrumentation, and
// reports what it printed.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "sim/lsrun/natives.h"

namespace quillet {

struct RunOptions {
  // Empty: the module's Initialize sub, then its Terminate sub (each when
  // present). Otherwise the module-level Sub of this name (any case), which
  // must take no parameters.
  std::string entry;
  // Instructions executed before the run stops as endless.
  uint64_t maxSteps = 100'000'000;
  // Seconds of running before the run stops as endless, whatever the steps.
  uint32_t maxSeconds = 60;
  // Bytes a string may hold; a longer result is "Out of string space".
  size_t maxStringLength = lsrun::kMaxStringLength;
  // Nested procedure calls (destructors included) before "Out of stack space".
  uint32_t maxCallDepth = 256;
  // Searched first for every external declaration; a test can capture the
  // timer calls here.
  lsrun::NativeTable natives;
  // Declarations of "KVXFunctionTimer"/"KVXLineTimer" from "nquillet" that the
  // table does not answer reach the library's exported entry points.
  bool timerEntries = true;
};

struct RunResult {
  bool ok = false;
  std::string output;  // everything Print wrote, lines ended by "\n"
  std::string error;   // why the run stopped, empty when ok
  uint64_t steps = 0;  // instructions executed
};

// Runs `image`. A module that does not parse, code that does not decode,
// an unsupported instruction, a stack underflow, a runtime error no handler
// traps, the step limit: each ends the run with ok false and a message
// naming the procedure and line. Never throws.
RunResult RunModule(std::span<const uint8_t> image, const RunOptions& options) noexcept;

}  // namespace quillet
