// What a fuzz target does when an invariant fails, and the seams that let the
// ordinary tests replay a target's inputs through the same code.
//
// A target is written as `int quillet::fuzz::NAME(const uint8_t*, size_t)`
// followed by QUILLET_FUZZ_ENTRY(NAME). In a libFuzzer build (fuzz_support.cpp)
// a failed FUZZ_CHECK prints why and aborts, so that libFuzzer keeps the input
// as a finding. The tests build the same sources with QUILLET_FUZZ_REPLAY
// (no libFuzzer entry) and their own InvariantFailed and NeedHost.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet::sim {
class SimHost;
}

namespace quillet::fuzz {

// Reports a failed invariant; in a libFuzzer build it does not return.
void InvariantFailed(const char* file, int line, const char* condition);

// Makes sure the simulated host's text services and message catalogue are
// installed (the libFuzzer build installs one for the whole run; the tests
// hold their own) and gives the host, for targets that store notes in it.
sim::SimHost& NeedHost();

}  // namespace quillet::fuzz

#define FUZZ_CHECK(condition)                                            \
  do {                                                                   \
    if (!(condition)) {                                                  \
      quillet::fuzz::InvariantFailed(__FILE__, __LINE__, #condition);    \
      return 0;                                                          \
    }                                                                    \
  } while (0)

#ifdef QUILLET_FUZZ_REPLAY
#define QUILLET_FUZZ_ENTRY(name)
#else
#define QUILLET_FUZZ_ENTRY(name) \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return quillet::fuzz::name(data, size); }
#endif
