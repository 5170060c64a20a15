// Timing of short operations against each other within one run on a busy
// machine: each is run in alternating batches on the thread's CPU clock and
// is judged by its tenth-percentile batch, so time spent waiting for a core
// and batches cut by other work fall away, while a single batch the clock
// under-reads does not decide the figure; a ratio compares like with like.
#pragma once

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace quillet::bench {

inline int64_t ThreadCpuNanos() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The batches of one operation, in nanoseconds per operation.
class BestBatch {
 public:
  template <typename Op>
  void Run(int batch, Op&& op) {
    const int64_t start = ThreadCpuNanos();
    for (int i = 0; i < batch; ++i) op();
    const int64_t spent = ThreadCpuNanos() - start;
    batches_.push_back(static_cast<double>(spent) / batch);
  }
  // The tenth-percentile batch. REQUIRES: at least one Run.
  double PerOp() const {
    std::vector<double> sorted = batches_;
    std::sort(sorted.begin(), sorted.end());
    return sorted[sorted.size() / 10];
  }

 private:
  std::vector<double> batches_;
};

}  // namespace quillet::bench
