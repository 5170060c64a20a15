// The message box on Linux: there is no desktop, so the text goes to a sink
// that tests can replace; by default it is printed to stderr.
#include <cstdio>
#include <mutex>

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

void PrintToStderr(std::string_view title, std::string_view text) {
  std::fprintf(stderr, "[%.*s] %.*s\n", static_cast<int>(title.size()), title.data(),
               static_cast<int>(text.size()), text.data());
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
    PrintToStderr(title, text);
  }
}

MessageBoxSink SetMessageBoxSink(MessageBoxSink sink) {
  SinkSlot& slot = Slot();
  std::lock_guard guard(slot.mutex);
  std::swap(slot.sink, sink);
  return sink;
}

}  // namespace quillet::platform
