// The simulated host's named message queues. A queue exists from its creation
// until the last handle opened on it is closed. REQUIRES external locking.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/notes_api.h"

namespace quillet::sim {

struct SimMessage {
  uint64_t serial = 0;
  std::vector<uint8_t> bytes;
};

class SimQueues {
 public:
  // `quota` is the most messages that may wait; 0 means no limit.
  [[nodiscard]] STATUS Create(std::string_view name, uint16_t quota);
  [[nodiscard]] STATUS Open(std::string_view name, QueueHandle& handle);
  [[nodiscard]] STATUS Close(QueueHandle handle);
  [[nodiscard]] STATUS Put(QueueHandle handle, std::span<const uint8_t> message);
  // The messages waiting now, in order, each cut to `bufferSize` bytes.
  [[nodiscard]] STATUS Snapshot(QueueHandle handle, uint16_t bufferSize, std::vector<SimMessage>& messages) const;
  // Takes the message `serial` off the queue, if still there.
  void Remove(QueueHandle handle, uint64_t serial);

  bool Exists(std::string_view name) const { return queues_.contains(std::string(name)); }
  size_t Waiting(std::string_view name) const;

 private:
  struct Queue {
    uint16_t quota = 0;
    uint32_t openHandles = 0;
    std::deque<SimMessage> messages;
  };
  Queue* ByHandle(QueueHandle handle);
  const Queue* ByHandle(QueueHandle handle) const;

  std::map<std::string, Queue> queues_;        // queue names compare exactly
  std::map<uint32_t, std::string> handles_;    // handle -> queue name
  uint32_t nextHandle_ = 1;
  uint64_t nextSerial_ = 1;
};

}  // namespace quillet::sim
