// KVXFunctionTimer and KVXLineTimer: where rewritten LotusScript reports
// procedure entries, exits, lines and the end of a run.
#include "hook/timer_entry.h"

#include "hook/hooks.h"
#include "hook/quillet_app.h"

namespace quillet {
namespace {

// The guard of both entries: perform waiting controller messages, ignore the
// call while profiling is off, else run `event` under the lock.
template <typename Event>
void Guarded(Event&& event) noexcept {
  const AppUse app;
  if (!app) return;
  try {
    if (app->IsServer()) {
      // A server's call while profiling is off must not wait for the lock.
      app->PollMessages();
      if (!app->IsEnabled()) return;
      platform::LockHolder hold(app->Lock());
      event(*app);
      return;
    }
    // The client's poll takes the lock itself: one hold covers the poll and
    // the event, instead of taking the lock twice per call.
    platform::LockHolder hold(app->Lock());
    app->PollMessages();
    if (app->IsEnabled()) event(*app);
  } catch (...) {
    // Running script must never see a failure of the profiler.
  }
}

}  // namespace

void QUILLET_CDECL KVXFunctionTimer(uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4, uint32_t w5,
                                    int32_t type) noexcept {
  Guarded([&](CQuilletApp& app) {
    const uint32_t key = JoinHalves(w1, w2);
    const uint32_t handle = w3 & 0xFFFF;
    switch (type) {
      case kTimerProcedureEnter:
        if (CLSProfileApp* context = app.LockedCurrentProfile()) context->TimerEnter(key, handle);
        break;
      case kTimerProcedureExit:
        // An exit after its run was finalised finds no open call; the
        // profile data ignores it.
        if (CLSProfileApp* context = app.LockedCurrentProfile()) context->TimerExit(key, handle);
        break;
      case kTimerRunEnd:
        if (app.IsServer()) app.FinalizeAgentRun(JoinHalves(w4, w5));
        break;
      default:
        break;
    }
  });
}

void QUILLET_CDECL KVXLineTimer(uint32_t w1, uint32_t w2, uint32_t w3, uint32_t, uint32_t, int32_t type,
                                int32_t line) noexcept {
  Guarded([&](CQuilletApp& app) {
    if (type != kTimerLine) return;
    if (CLSProfileApp* context = app.LockedCurrentProfile()) context->TimerLine(JoinHalves(w1, w2), w3 & 0xFFFF, line);
  });
}

}  // namespace quillet
