// Timing of short operations against each other within one run on a busy
// machine: each is run in alternating batches on the thread's CPU clock and
// keeps its fastest batch, so time spent waiting for a core and batches cut
// by other work fall away, and a ratio compares like with like.
#pragma once

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace quillet::bench {

inline int64_t ThreadCpuNanos() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The fastest batch seen of one operation, in nanoseconds per operation.
class BestBatch {
 public:
  template <typename Op>
  void Run(int batch, Op&& op) {
    const int64_t start = ThreadCpuNanos();
    for (int i = 0; i < batch; ++i) op();
    const int64_t spent = ThreadCpuNanos() - start;
    best_ = std::min(best_, static_cast<double>(spent) / batch);
  }
  double PerOp() const { return best_; }

 private:
  double best_ = std::numeric_limits<double>::infinity();
};

}  // namespace quillet::bench
