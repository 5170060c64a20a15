// The message box: delivered to a replaceable sink when one is set (tests read
// it there), otherwise shown on the platform's own surface.
#include <mutex>

#include "platform/native.h"
#include "platform/platform.h"

namespace quillet::platform {

namespace {

struct SinkSlot {
  std::mutex mutex;
  MessageBoxSink sink;
};

SinkSlot& Slot() {
  static SinkSlot slot;
  return slot;
}

}  // namespace

// The sink is called outside the lock, so that it may itself show a box or
// replace the sink without deadlocking. Like a modal box, this returns only
// when the sink has returned.
void ShowMessageBox(std::string_view title, std::string_view text) {
  MessageBoxSink sink;
  {
    SinkSlot& slot = Slot();
    std::lock_guard guard(slot.mutex);
    sink = slot.sink;
  }
  if (sink) {
    sink(title, text);
  } else {
    native::ShowMessageBox(title, text);
  }
}

MessageBoxSink SetMessageBoxSink(MessageBoxSink sink) {
  SinkSlot& slot = Slot();
  std::lock_guard guard(slot.mutex);
  std::swap(slot.sink, sink);
  return sink;
}

}  // namespace quillet::platform
