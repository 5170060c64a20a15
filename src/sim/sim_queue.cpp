// Named message queues of the simulated host.
#include "sim/sim_queue.h"

#include <algorithm>

namespace quillet::sim {

STATUS SimQueues::Create(std::string_view name, uint16_t quota) {
  if (name.empty()) return kErrInvalidArgument;
  auto [entry, inserted] = queues_.try_emplace(std::string(name));
  if (!inserted) return kErrQueueExists;
  entry->second.quota = quota;
  return kNoError;
}

STATUS SimQueues::Open(std::string_view name, QueueHandle& handle) {
  auto found = queues_.find(std::string(name));
  if (found == queues_.end()) return kErrQueueNotFound;
  ++found->second.openHandles;
  handle = QueueHandle{nextHandle_++};
  handles_[handle.value] = found->first;
  return kNoError;
}

STATUS SimQueues::Close(QueueHandle handle) {
  auto found = handles_.find(handle.value);
  if (found == handles_.end()) return kErrInvalidHandle;
  auto queue = queues_.find(found->second);
  if (queue != queues_.end() && --queue->second.openHandles == 0) queues_.erase(queue);
  handles_.erase(found);
  return kNoError;
}

SimQueues::Queue* SimQueues::ByHandle(QueueHandle handle) {
  auto found = handles_.find(handle.value);
  if (found == handles_.end()) return nullptr;
  auto queue = queues_.find(found->second);
  return queue == queues_.end() ? nullptr : &queue->second;
}

const SimQueues::Queue* SimQueues::ByHandle(QueueHandle handle) const {
  return const_cast<SimQueues*>(this)->ByHandle(handle);
}

STATUS SimQueues::Put(QueueHandle handle, std::span<const uint8_t> message) {
  Queue* queue = ByHandle(handle);
  if (queue == nullptr) return kErrInvalidHandle;
  if (queue->quota != 0 && queue->messages.size() >= queue->quota) return kErrQueueFull;
  queue->messages.push_back(SimMessage{nextSerial_++, std::vector<uint8_t>(message.begin(), message.end())});
  return kNoError;
}

STATUS SimQueues::Snapshot(QueueHandle handle, uint16_t bufferSize, std::vector<SimMessage>& messages) const {
  const Queue* queue = ByHandle(handle);
  if (queue == nullptr) return kErrInvalidHandle;
  messages.assign(queue->messages.begin(), queue->messages.end());
  for (SimMessage& message : messages) {
    if (message.bytes.size() > bufferSize) message.bytes.resize(bufferSize);
  }
  return kNoError;
}

void SimQueues::Remove(QueueHandle handle, uint64_t serial) {
  Queue* queue = ByHandle(handle);
  if (queue == nullptr) return;
  std::erase_if(queue->messages, [serial](const SimMessage& message) { return message.serial == serial; });
}

size_t SimQueues::Waiting(std::string_view name) const {
  auto found = queues_.find(std::string(name));
  return found == queues_.end() ? 0 : found->second.messages.size();
}

}  // namespace quillet::sim
