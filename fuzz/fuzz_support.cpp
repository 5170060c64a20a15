// The libFuzzer build's side of fuzz_check.h: a failed invariant aborts, and
// one simulated host serves the whole run.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_check.h"
#include "sim/scoped_sim_host.h"

namespace quillet::fuzz {

void InvariantFailed(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: invariant failed: %s\n", file, line, condition);
  std::abort();
}

sim::SimHost& NeedHost() {
  static sim::ScopedSimHost* host = new sim::ScopedSimHost();  // kept for the run
  return host->host();
}

}  // namespace quillet::fuzz
