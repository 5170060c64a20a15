// The simulated host's message-queue operations.
#include "sim/sim_host.h"

namespace quillet::sim {

STATUS SimHost::QueueCreate(std::string_view name, uint16_t quota) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("QueueCreate")) return failure;
  return queues_.Create(name, quota);
}

STATUS SimHost::QueueOpen(std::string_view name, QueueHandle& queue) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("QueueOpen")) return failure;
  return queues_.Open(name, queue);
}

STATUS SimHost::QueueClose(QueueHandle queue) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("QueueClose")) return failure;
  return queues_.Close(queue);
}

STATUS SimHost::QueuePut(QueueHandle queue, std::span<const uint8_t> message) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("QueuePut")) return failure;
  return queues_.Put(queue, message);
}

// The callback sees the messages waiting when the scan starts; messages put
// meanwhile wait for the next scan.
STATUS SimHost::QueueScan(QueueHandle queue, uint16_t bufferSize, const QueueScanCallback& callback) {
  std::vector<SimMessage> messages;
  {
    std::lock_guard lock(mu_);
    if (STATUS failure = TakeFailure("QueueScan")) return failure;
    if (STATUS status = queues_.Snapshot(queue, bufferSize, messages)) return status;
  }
  for (const SimMessage& message : messages) {
    const STATUS result = callback(message.bytes);
    if (StatusCode(result) == kErrRemoveMessage) {
      std::lock_guard lock(mu_);
      queues_.Remove(queue, message.serial);
    } else if (result != kNoError) {
      return result;
    }
  }
  return kNoError;
}

size_t SimHost::WaitingMessages(std::string_view queueName) const {
  std::lock_guard lock(mu_);
  return queues_.Waiting(queueName);
}

}  // namespace quillet::sim
