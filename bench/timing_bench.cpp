// Benchmarks of the timer bookkeeping against its floor, and of report writing.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "timing/profile_app.h"

namespace {

using quillet::CLSProfileApp;
namespace platform = quillet::platform;

// The least any timer event costs: one counter reading inside the lock.
void BM_Floor_CounterAndLock(benchmark::State& state) {
  platform::RecursiveLock lock;
  for (auto _ : state) {
    lock.Enter();
    benchmark::DoNotOptimize(platform::PerformanceCounter());
    lock.Leave();
  }
}
BENCHMARK(BM_Floor_CounterAndLock);

// A line event on an open call, as the line entry point performs it.
void BM_TimerLine(benchmark::State& state) {
  platform::RecursiveLock lock;
  CLSProfileApp app("bench", "", 0x54);
  app.TimerEnter(0x1234, 7);
  int32_t line = 0;
  for (auto _ : state) {
    lock.Enter();
    app.TimerLine(0x1234, 7, 10 + (line++ & 3));
    lock.Leave();
  }
  benchmark::DoNotOptimize(app.Data.FirstRoot());
}
BENCHMARK(BM_TimerLine);

// Entering and leaving a procedure called from an open one; each event takes
// the lock as the function entry point does.
void BM_TimerEnterExitPair(benchmark::State& state) {
  platform::RecursiveLock lock;
  CLSProfileApp app("bench", "", 0x54);
  app.TimerEnter(0x1234, 1);
  int64_t n = 0;
  for (auto _ : state) {
    lock.Enter();
    app.TimerEnter(0x1234, 2);
    lock.Leave();
    lock.Enter();
    app.TimerExit(0x1234, 2);
    lock.Leave();
    if ((++n & 0xFFFFF) == 0) {  // keep memory bounded over long runs
      state.PauseTiming();
      app.Data.Clear();
      app.TimerEnter(0x1234, 1);
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_TimerEnterExitPair);

// Memory of the tree per call record that has two line entries.
void BM_MemoryPerCallRecord(benchmark::State& state) {
  constexpr int kRecords = 100000;
  double inUse = 0, reserved = 0;
  for (auto _ : state) {
    CLSProfileApp app("bench", "", 0x54);
    app.TimerEnter(1, 1);
    for (int i = 0; i < kRecords - 1; ++i) {
      app.TimerEnter(1, 2);
      app.TimerLine(1, 2, 5);
      app.TimerLine(1, 2, 6);
      app.TimerExit(1, 2);
    }
    inUse = static_cast<double>(app.Data.Pool().BytesInUse()) / kRecords;
    reserved = static_cast<double>(app.Data.Pool().BytesReserved()) / kRecords;
  }
  state.counters["bytes_per_record"] = inUse;
  state.counters["bytes_reserved_per_record"] = reserved;
}
BENCHMARK(BM_MemoryPerCallRecord)->Unit(benchmark::kMillisecond)->Iterations(3);

// A report of a million call records (1,000 roots of 999 calls, two lines each).
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
  const std::string path = "/tmp/quillet_bench_report_" + std::to_string(::getpid()) + ".zvk";
  const std::u16string path16 = platform::Utf8ToUtf16(path);
  bool ok = true;
  for (auto _ : state) ok = app.Data.WriteReport(path16, {}, {}) && ok;
  std::remove(path.c_str());
  if (!ok) state.SkipWithError("report not written");
  state.counters["call_records"] = 1'000'000;
}
BENCHMARK(BM_WriteReportMillionCalls)->Unit(benchmark::kMillisecond);

}  // namespace
