// Named mutexes and events on Linux with Win32 semantics, in a process-wide
// registry: a name maps to one object for as long as any handle to it is open.
//
// Names are case-sensitive and mutexes and events share one name space, as
// kernel object names do. An empty name makes an unnamed object. One lock
// guards the registry and every object's state; each object has its own
// condition variable for its waiters.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/platform.h"

namespace quillet::platform {

namespace {

enum class ObjectKind { kMutex, kEvent };

struct KernelObject {
  ObjectKind kind = ObjectKind::kEvent;
  std::u16string name;
  size_t handleCount = 0;
  std::condition_variable changed;
  // Events.
  bool manualReset = false;
  bool signaled = false;
  // Mutexes: the owning thread (0 = free) and how often it acquired.
  uint32_t owner = 0;
  uint32_t recursion = 0;
};

struct ObjectRegistry {
  std::mutex mutex;
  std::unordered_map<Handle, std::shared_ptr<KernelObject>> handles;
  std::unordered_map<std::u16string, std::shared_ptr<KernelObject>> names;
  Handle nextHandle = 4;  // like Win32 handles: non-zero multiples of 4, never reused
};

ObjectRegistry& Registry() {
  static ObjectRegistry registry;
  return registry;
}

// REQUIRES: registry.mutex held.
Handle AddHandle(ObjectRegistry& registry, const std::shared_ptr<KernelObject>& object) {
  const Handle handle = registry.nextHandle;
  registry.nextHandle += 4;
  registry.handles.emplace(handle, object);
  ++object->handleCount;
  return handle;
}

// REQUIRES: registry.mutex held.
std::shared_ptr<KernelObject> Find(ObjectRegistry& registry, Handle handle, ObjectKind kind) {
  auto found = registry.handles.find(handle);
  if (found == registry.handles.end() || found->second->kind != kind) return nullptr;
  return found->second;
}

// Opens the named object when it exists (0 when it is of the other kind),
// otherwise creates it with `init`.
template <typename Init>
Handle CreateOrOpen(std::u16string_view name, ObjectKind kind, bool* alreadyExisted, Init init) {
  if (alreadyExisted) *alreadyExisted = false;
  ObjectRegistry& registry = Registry();
  std::lock_guard guard(registry.mutex);
  if (!name.empty()) {
    auto found = registry.names.find(std::u16string(name));
    if (found != registry.names.end()) {
      if (found->second->kind != kind) return 0;  // ERROR_INVALID_HANDLE
      if (alreadyExisted) *alreadyExisted = true;
      return AddHandle(registry, found->second);
    }
  }
  auto object = std::make_shared<KernelObject>();
  object->kind = kind;
  object->name = name;
  init(*object);
  if (!name.empty()) registry.names.emplace(object->name, object);
  return AddHandle(registry, object);
}

// REQUIRES: registry.mutex held. Whether a wait on `object` by `thread`
// would be satisfied now; takes the signal or the ownership when it is.
bool TryAcquire(KernelObject& object, uint32_t thread) {
  if (object.kind == ObjectKind::kEvent) {
    if (!object.signaled) return false;
    if (!object.manualReset) object.signaled = false;  // an auto-reset event releases one waiter
    return true;
  }
  if (object.owner != 0 && object.owner != thread) return false;
  object.owner = thread;
  ++object.recursion;
  return true;
}

}  // namespace

Handle CreateNamedMutex(std::u16string_view name, bool* alreadyExisted) {
  return CreateOrOpen(name, ObjectKind::kMutex, alreadyExisted, [](KernelObject&) {});
}

Handle CreateNamedEvent(std::u16string_view name, bool manualReset, bool initialState,
                        bool* alreadyExisted) {
  return CreateOrOpen(name, ObjectKind::kEvent, alreadyExisted, [&](KernelObject& event) {
    event.manualReset = manualReset;
    event.signaled = initialState;
  });
}

Handle OpenNamedEvent(std::u16string_view name) {
  if (name.empty()) return 0;
  ObjectRegistry& registry = Registry();
  std::lock_guard guard(registry.mutex);
  auto found = registry.names.find(std::u16string(name));
  if (found == registry.names.end() || found->second->kind != ObjectKind::kEvent) return 0;
  return AddHandle(registry, found->second);
}

bool SetEvent(Handle event) {
  ObjectRegistry& registry = Registry();
  std::lock_guard guard(registry.mutex);
  auto object = Find(registry, event, ObjectKind::kEvent);
  if (!object) return false;
  object->signaled = true;
  object->changed.notify_all();  // waiters recheck; an auto-reset signal goes to one
  return true;
}

bool ResetEvent(Handle event) {
  ObjectRegistry& registry = Registry();
  std::lock_guard guard(registry.mutex);
  auto object = Find(registry, event, ObjectKind::kEvent);
  if (!object) return false;
  object->signaled = false;
  return true;
}

// A mutex left owned by a thread that ended is not detected (Win32 would
// report it abandoned); callers release what they acquire.
WaitResult WaitForSingleObject(Handle handle, uint32_t milliseconds) {
  ObjectRegistry& registry = Registry();
  std::unique_lock guard(registry.mutex);
  auto found = registry.handles.find(handle);
  if (found == registry.handles.end()) return WaitResult::kFailed;
  std::shared_ptr<KernelObject> object = found->second;  // alive while we wait
  const uint32_t thread = CurrentThreadId();
  if (milliseconds == kInfinite) {
    object->changed.wait(guard, [&] { return TryAcquire(*object, thread); });
    return WaitResult::kSignaled;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  return object->changed.wait_until(guard, deadline, [&] { return TryAcquire(*object, thread); })
             ? WaitResult::kSignaled
             : WaitResult::kTimeout;
}

bool ReleaseMutex(Handle mutex) {
  ObjectRegistry& registry = Registry();
  std::lock_guard guard(registry.mutex);
  auto object = Find(registry, mutex, ObjectKind::kMutex);
  if (!object || object->owner != CurrentThreadId()) return false;  // ERROR_NOT_OWNER
  if (--object->recursion == 0) {
    object->owner = 0;
    object->changed.notify_all();
  }
  return true;
}

bool CloseHandle(Handle handle) {
  ObjectRegistry& registry = Registry();
  std::lock_guard guard(registry.mutex);
  auto found = registry.handles.find(handle);
  if (found == registry.handles.end()) return false;
  std::shared_ptr<KernelObject> object = std::move(found->second);
  registry.handles.erase(found);
  if (--object->handleCount == 0 && !object->name.empty()) registry.names.erase(object->name);
  return true;
}

}  // namespace quillet::platform
