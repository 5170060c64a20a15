// The timer entries end to end, as rewritten script calls them: the hook
// driver started by MainEntryPoint in a simulated server task and client,
// each event through the entry's guard (controller poll, enabled check), the
// library's lock, the current context's look-up and the bookkeeping. Each is
// set against the floor of one counter reading inside the library's lock,
// measured in alternating batches of the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "batch_timer.h"
#include "config/settings.h"
#include "hook/controller_message.h"
#include "hook/hooks.h"
#include "hook/quillet_app.h"
#include "hook/timer_entry.h"
#include "platform/platform.h"
#include "sim/scoped_sim_host.h"

namespace {

using quillet::gProfilerApp;
using quillet::bench::BestBatch;
namespace platform = quillet::platform;

double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

constexpr uint32_t kModuleLow = 0x1234;  // module key 0x00011234, as two halves
constexpr uint32_t kModuleHigh = 0x0001;

// The hook driver started in a simulated process; ended with the scope.
class StartedDriver {
 public:
  // `server`: a watched server task with profiling switched on for this
  // thread; otherwise the Notes client switched on by its controller.
  explicit StartedDriver(bool server) {
    quillet::WriteSetting("Placeholder", "1");
    if (server) {
      sim_->SetProcessIdentity(u"C:\\Domino\\namgr.exe", u"namgr.exe -e");
    } else {
      sim_->SetProcessIdentity(u"C:\\Notes\\nlnotes.exe", u"nlnotes.exe");
    }
    sim_->SetEnvironmentString("KitType", server ? "2" : "1");
    vector_ = quillet::HookVector{&hostModule_, &hostInit_, nullptr, nullptr, nullptr, nullptr};
    static_cast<void>(quillet::MainEntryPoint(&vector_));
    if (gProfilerApp.load() == nullptr) return;
    if (server) {
      gProfilerApp->Enable(true, true, 0xFFFF);
    } else {
      Perform("ENABLE,1,1,65535");
    }
  }
  ~StartedDriver() { static_cast<void>(quillet::Term(&vector_)); }
  StartedDriver(const StartedDriver&) = delete;
  StartedDriver& operator=(const StartedDriver&) = delete;

  // Profiling is on and this thread has a context to record into.
  bool Ready() { return gProfilerApp.load() != nullptr && gProfilerApp->IsEnabled() && gProfilerApp->CurrentProfile(); }
  // Drops what was recorded, keeping memory bounded over long runs.
  void Clear() { gProfilerApp->CurrentProfile()->Data.Clear(); }

 private:
  // Puts a controller message on the client's queue and has it performed.
  void Perform(std::string_view text) {
    quillet::QueueHandle queue;
    if (sim_->QueueOpen(quillet::kControllerQueueName, queue) != quillet::kNoError) return;
    static_cast<void>(
        sim_->QueuePut(queue, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())));
    static_cast<void>(sim_->QueueClose(queue));
    gProfilerApp->PollMessages();
  }

  quillet::sim::ScopedSimHost sim_;
  int hostModule_ = 0;
  int hostInit_ = 0;
  quillet::HookVector vector_{};
};

void Floor(platform::RecursiveLock& lock) {
  lock.Enter();
  benchmark::DoNotOptimize(platform::PerformanceCounter());
  lock.Leave();
}
void Enter(uint32_t handle) {
  quillet::KVXFunctionTimer(kModuleLow, kModuleHigh, handle, 0, 0, quillet::kTimerProcedureEnter);
}
void Exit(uint32_t handle) {
  quillet::KVXFunctionTimer(kModuleLow, kModuleHigh, handle, 0, 0, quillet::kTimerProcedureExit);
}
void Line(int32_t& line) {
  quillet::KVXLineTimer(kModuleLow, kModuleHigh, 7, 0, 0, quillet::kTimerLine, 10 + (line++ & 3));
}

// A line event and a called procedure's enter+exit through the entries, and
// the floor, in alternating batches; targets: line_ratio <= 1.5,
// enter_exit_ratio <= 2.5.
void EntryRatios(benchmark::State& state, bool server) {
  constexpr int kBatch = 1000;
  StartedDriver driver(server);
  if (!driver.Ready()) {
    state.SkipWithError("profiling did not switch on");
    return;
  }
  platform::RecursiveLock lock;
  BestBatch floor, line, enterExit;
  int32_t next = 0;
  int64_t rounds = 0;
  Enter(7);  // the open call the lines and the calls belong to
  for (auto _ : state) {
    floor.Run(kBatch, [&] { Floor(lock); });
    line.Run(kBatch, [&] { Line(next); });
    enterExit.Run(kBatch, [&] {
      Enter(2);
      Exit(2);
    });
    if ((++rounds & 0x3FF) == 0) {  // outside the batches: keep memory bounded
      driver.Clear();
      Enter(7);
    }
  }
  state.counters["floor_ns"] = floor.PerOp();
  state.counters["line_ns"] = line.PerOp();
  state.counters["enter_exit_ns"] = enterExit.PerOp();
  state.counters["line_ratio"] = line.PerOp() / floor.PerOp();
  state.counters["enter_exit_ratio"] = enterExit.PerOp() / floor.PerOp();
}

void BM_EntryRatios_Server(benchmark::State& state) { EntryRatios(state, true); }
BENCHMARK(BM_EntryRatios_Server)->Iterations(3000)->ComputeStatistics("min", Min);

void BM_EntryRatios_Client(benchmark::State& state) { EntryRatios(state, false); }
BENCHMARK(BM_EntryRatios_Client)->Iterations(3000)->ComputeStatistics("min", Min);

}  // namespace
