// A controlling application outside the Notes client: it drives the
// profiler through the client's message queue and watches the named mutex
// that exists while profiling is on. Every operation may run on any thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "config/notes_api.h"

namespace quillet::sim {

class Controller {
 public:
  // REQUIRES: `host` outlives the controller.
  explicit Controller(NotesApi& host) : host_(host) {}

  // Opens the queue, puts one message and closes it again; the queue's
  // status when it is absent or full.
  [[nodiscard]] STATUS Send(std::string_view message);
  // "ENABLE,on,clear,value".
  [[nodiscard]] STATUS Enable(bool on, bool clear, int32_t value);
  // "SETFILTER,path".
  [[nodiscard]] STATUS SetFilter(std::string_view databasePath);
  // "FINALIZERUN,path,0".
  [[nodiscard]] STATUS FinalizeRun(std::string_view reportPath);

  // Whether the profiler's running mutex exists, as another process sees it.
  static bool ProfilerRunning();
  // Waits up to `milliseconds` for ProfilerRunning() to become `on`.
  static bool WaitRunning(bool on, uint32_t milliseconds);

 private:
  NotesApi& host_;
};

}  // namespace quillet::sim
