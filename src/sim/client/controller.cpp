// The outside controlling application.
#include "sim/client/controller.h"

#include <span>
#include <string>

#include "hook/controller_message.h"
#include "hook/quillet_app.h"
#include "platform/platform.h"

namespace quillet::sim {
namespace {

inline constexpr uint32_t kWaitStepMs = 5;

}  // namespace

STATUS Controller::Send(std::string_view message) {
  QueueHandle queue;
  if (STATUS status = host_.QueueOpen(kControllerQueueName, queue); status != kNoError) return status;
  const STATUS put = host_.QueuePut(queue, std::span(reinterpret_cast<const uint8_t*>(message.data()), message.size()));
  const STATUS closed = host_.QueueClose(queue);
  return put != kNoError ? put : closed;
}

STATUS Controller::Enable(bool on, bool clear, int32_t value) {
  return Send(std::string("ENABLE,") + (on ? "1," : "0,") + (clear ? "1," : "0,") + std::to_string(value));
}

STATUS Controller::SetFilter(std::string_view databasePath) {
  return Send("SETFILTER," + std::string(databasePath));
}

STATUS Controller::FinalizeRun(std::string_view reportPath) {
  return Send("FINALIZERUN," + std::string(reportPath) + ",0");
}

bool Controller::ProfilerRunning() {
  bool existed = false;
  const platform::Handle probe = platform::CreateNamedMutex(kRunningMutexName, &existed);
  if (probe != 0) platform::CloseHandle(probe);
  return existed;
}

bool Controller::WaitRunning(bool on, uint32_t milliseconds) {
  for (uint32_t waited = 0; waited < milliseconds; waited += kWaitStepMs) {
    if (ProfilerRunning() == on) return true;
    platform::SleepMilliseconds(kWaitStepMs);
  }
  return ProfilerRunning() == on;
}

}  // namespace quillet::sim
