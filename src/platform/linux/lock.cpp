// RecursiveLock on Linux: a recursive mutex, as a critical section behaves.
#include <mutex>

#include "platform/platform.h"

namespace quillet::platform {

struct RecursiveLock::Impl {
  std::recursive_mutex mutex;
};

RecursiveLock::RecursiveLock() : impl_(std::make_unique<Impl>()) {}
RecursiveLock::~RecursiveLock() = default;

void RecursiveLock::Enter() { impl_->mutex.lock(); }
void RecursiveLock::Leave() { impl_->mutex.unlock(); }

}  // namespace quillet::platform
