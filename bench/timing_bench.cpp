// Benchmarks of the timer bookkeeping against its floor, of the memory a call
// record takes, and of report writing against a plain write of its bytes.
// The *_Ratios cases measure both sides within one run and report the ratio.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "batch_timer.h"
#include "platform/page_memory.h"
#include "platform/platform.h"
#include "timing/profile_app.h"
#include "timing/report_writer.h"

namespace {

using quillet::CLSProfileApp;
using quillet::bench::BestBatch;
namespace platform = quillet::platform;

double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

// The three measured operations, each taking the lock as an entry point does.
void FloorEvent(platform::RecursiveLock& lock) {
  lock.Enter();
  benchmark::DoNotOptimize(platform::PerformanceCounter());
  lock.Leave();
}
void LineEvent(platform::RecursiveLock& lock, CLSProfileApp& app, int32_t& line) {
  lock.Enter();
  app.TimerLine(0x1234, 7, 10 + (line++ & 3));
  lock.Leave();
}
void EnterExitEvents(platform::RecursiveLock& lock, CLSProfileApp& app) {
  lock.Enter();
  app.TimerEnter(0x1234, 2);
  lock.Leave();
  lock.Enter();
  app.TimerExit(0x1234, 2);
  lock.Leave();
}

// The least any timer event costs: one counter reading inside the lock.
void BM_Floor_CounterAndLock(benchmark::State& state) {
  platform::RecursiveLock lock;
  for (auto _ : state) FloorEvent(lock);
}
BENCHMARK(BM_Floor_CounterAndLock)->ComputeStatistics("min", Min);

// A line event on an open call, as the line entry point performs it.
void BM_TimerLine(benchmark::State& state) {
  platform::RecursiveLock lock;
  CLSProfileApp app("bench", "", 0x54);
  app.TimerEnter(0x1234, 7);
  int32_t line = 0;
  for (auto _ : state) LineEvent(lock, app, line);
  benchmark::DoNotOptimize(app.Data.FirstRoot());
}
BENCHMARK(BM_TimerLine)->ComputeStatistics("min", Min);

// Entering and leaving a procedure called from an open one; each event takes
// the lock as the function entry point does.
void BM_TimerEnterExitPair(benchmark::State& state) {
  platform::RecursiveLock lock;
  CLSProfileApp app("bench", "", 0x54);
  app.TimerEnter(0x1234, 1);
  int64_t n = 0;
  for (auto _ : state) {
    EnterExitEvents(lock, app);
    if ((++n & 0xFFFFF) == 0) {  // keep memory bounded over long runs
      state.PauseTiming();
      app.Data.Clear();
      app.TimerEnter(0x1234, 1);
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_TimerEnterExitPair)->ComputeStatistics("min", Min);

// The floor, a line event and an enter+exit pair in alternating batches;
// targets: line_ratio <= 1.5, enter_exit_ratio <= 2.5.
void BM_TimerRatios(benchmark::State& state) {
  constexpr int kBatch = 1000;
  platform::RecursiveLock lock;
  CLSProfileApp lines("bench", "", 0x54);
  lines.TimerEnter(0x1234, 7);
  CLSProfileApp calls("bench", "", 0x54);
  calls.TimerEnter(0x1234, 1);
  BestBatch floor, line, enterExit;
  int32_t next = 0;
  for (auto _ : state) {
    floor.Run(kBatch, [&] { FloorEvent(lock); });
    line.Run(kBatch, [&] { LineEvent(lock, lines, next); });
    enterExit.Run(kBatch, [&] { EnterExitEvents(lock, calls); });
    if (calls.Data.Pool().BytesInUse() > (64u << 20)) {  // outside the batches: keep memory bounded
      calls.Data.Clear();
      calls.TimerEnter(0x1234, 1);
    }
  }
  state.counters["floor_ns"] = floor.PerOp();
  state.counters["line_ns"] = line.PerOp();
  state.counters["enter_exit_ns"] = enterExit.PerOp();
  state.counters["line_ratio"] = line.PerOp() / floor.PerOp();
  state.counters["enter_exit_ratio"] = enterExit.PerOp() / floor.PerOp();
}
BENCHMARK(BM_TimerRatios)->Iterations(3000)->ComputeStatistics("min", Min);

// What the process holds for data: the allocator's sbrk heap and mapped
// blocks, and the pages the record pools map themselves.
size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd + platform::PagesHeld();
}

// Bytes per call of a tree of `records` calls with `lines` distinct lines
// each, as the process's held memory grows: `whole` over the whole tree (its
// fixed parts and the unused tail of its newest chunk included), `steady`
// between the first and the last time the tree took memory from the system
// past its first 2 MiB, which is what each further call costs.
struct PerCall {
  double whole = 0;
  double steady = 0;
};
PerCall HeapPerCall(int records, int lines) {
  const size_t before = HeapInUse();
  PerCall result;
  {
    CLSProfileApp app("bench", "", 0x54);
    app.TimerEnter(1, 1);
    size_t pages = platform::PagesHeld();
    size_t firstHeld = 0, lastHeld = 0;
    int firstCall = -1, lastCall = -1;
    for (int i = 0; i < records - 1; ++i) {
      app.TimerEnter(1, 2);
      for (int k = 0; k < lines; ++k) app.TimerLine(1, 2, 5 + k);
      app.TimerExit(1, 2);
      if (platform::PagesHeld() == pages) continue;
      pages = platform::PagesHeld();
      if (app.Data.Pool().BytesReserved() <= platform::kLargePageSize) continue;
      const size_t held = HeapInUse();
      if (firstCall < 0) {
        firstCall = i;
        firstHeld = held;
      }
      lastCall = i;
      lastHeld = held;
    }
    result.whole = static_cast<double>(HeapInUse() - before) / records;
    if (lastCall > firstCall) result.steady = static_cast<double>(lastHeld - firstHeld) / (lastCall - firstCall);
    benchmark::DoNotOptimize(app.Data.FirstRoot());
  }
  return result;
}

// The process's real usage per call record (targets: at most 48 bytes
// without lines, 16 more per distinct line), from the memory the allocator
// and the record pools hold, never from sizeof. The targets read the steady
// figures; bytes_per_record_whole_tree adds the tree's fixed parts spread
// over a million calls.
void BM_MemoryPerCallRecord(benchmark::State& state) {
  constexpr int kRecords = 1'000'000;
  PerCall none, two, three;
  for (auto _ : state) {
    none = HeapPerCall(kRecords, 0);
    two = HeapPerCall(kRecords, 2);
    three = HeapPerCall(kRecords, 3);
  }
  state.counters["bytes_per_record"] = none.steady;
  state.counters["bytes_per_line_of_2"] = (two.steady - none.steady) / 2;
  state.counters["bytes_per_line_of_3"] = (three.steady - none.steady) / 3;
  state.counters["bytes_per_record_whole_tree"] = none.whole;
}
BENCHMARK(BM_MemoryPerCallRecord)->Unit(benchmark::kMillisecond)->Iterations(1)->ComputeStatistics("min", Min);

// The thread's CPU time in milliseconds, the kernel's share included: the
// file writes copy into the page cache on this thread, and time spent waiting
// for a core on a busy machine stays out.
double CpuMillis() { return static_cast<double>(quillet::bench::ThreadCpuNanos()) / 1e6; }

// A report of a million call records (1,000 roots of 999 calls, two lines
// each) against one buffered write of the same bytes to a new file, both in
// CPU time, alternating; target: ratio <= 2. Each pass writes where no
// file is: dropping the last pass's 60 MB costs the file system more than
// writing them, and would be timed on one side only. serialise_ms is the
// report built in memory.
void BM_WriteReportMillionCalls(benchmark::State& state) {
  CLSProfileApp app("bench", "", 0x54);
  for (int root = 0; root < 1000; ++root) {
    app.TimerEnter(1, 1);
    for (int i = 0; i < 999; ++i) {
      app.TimerEnter(1, 2);
      app.TimerLine(1, 2, 5);
      app.TimerLine(1, 2, 6);
      app.TimerExit(1, 2);
    }
    app.TimerExit(1, 1);
  }
  const std::string stem = "/tmp/quillet_bench_report_" + std::to_string(::getpid());
  const std::string path = stem + ".zvk", plainPath = stem + ".plain";
  const std::u16string path16 = platform::Utf8ToUtf16(path);
  if (!app.Data.WriteReport(path16, {}, {})) {
    state.SkipWithError("report not written");
    return;
  }
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  double report = 1e300, plain = 1e300, serialise = 1e300;
  bool ok = true;
  std::vector<uint8_t> memory;
  memory.reserve(bytes.size());
  for (auto _ : state) {
    memory.clear();
    quillet::VectorSink sink(memory);
    std::remove(path.c_str());
    std::remove(plainPath.c_str());
    double start = CpuMillis();
    ok = quillet::WriteReportTo(sink, app.Data, [](const quillet::ProcedureInfo&) { return true; }, {}) && ok;
    serialise = std::min(serialise, CpuMillis() - start);

    start = CpuMillis();
    ok = app.Data.WriteReport(path16, {}, {}) && ok;
    report = std::min(report, CpuMillis() - start);

    start = CpuMillis();
    const int fd = ::open(plainPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ok = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) && ok;
    ok = fd >= 0 && ::close(fd) == 0 && ok;
    plain = std::min(plain, CpuMillis() - start);
  }
  std::remove(path.c_str());
  std::remove(plainPath.c_str());
  if (!ok) state.SkipWithError("a write failed");
  state.counters["report_ms"] = report;
  state.counters["plain_write_ms"] = plain;
  state.counters["ratio"] = report / plain;
  state.counters["serialise_ms"] = serialise;
  state.counters["report_MB"] = static_cast<double>(bytes.size()) / 1e6;
}
BENCHMARK(BM_WriteReportMillionCalls)->Unit(benchmark::kMillisecond)->Iterations(20)->ComputeStatistics("min", Min);

}  // namespace
