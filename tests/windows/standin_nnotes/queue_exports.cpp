// The stand-in's message-queue functions.
#include <type_traits>

#include "standin_host.h"

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC MQCreate(const char* name, WORD quota, DWORD) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    return name == nullptr ? StatusWord{kErrInvalidArgument} : StatusWord{host.QueueCreate(name, quota)};
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC MQOpen(const char* name, DWORD, DHANDLE* queue) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (name == nullptr || queue == nullptr) return kErrInvalidArgument;
    QueueHandle handle;
    const STATUS status = host.QueueOpen(name, handle);
    if (status == kNoError) *queue = handle.value;
    return status;
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC MQClose(DHANDLE queue, DWORD) {
  return GuardedStatus([&](sim::SimHost& host) { return host.QueueClose(QueueHandle{queue}); });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC MQPut(DHANDLE queue, WORD, const char* message, WORD length, DWORD) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (message == nullptr && length > 0) return kErrInvalidArgument;
    return host.QueuePut(QueueHandle{queue}, std::span(reinterpret_cast<const uint8_t*>(message), length));
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC MQScan(DHANDLE queue, char*, WORD size, DWORD, MQScanCallback callback,
                                                  void* context) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (callback == nullptr) return kErrInvalidArgument;
    return host.QueueScan(QueueHandle{queue}, size, [&](std::span<const uint8_t> message) {
      return STATUS(callback(reinterpret_cast<const char*>(message.data()), static_cast<WORD>(message.size()), 0,
                             context));
    });
  });
}

STANDIN_CHECK(MQCreate);
STANDIN_CHECK(MQOpen);
STANDIN_CHECK(MQClose);
STANDIN_CHECK(MQPut);
STANDIN_CHECK(MQScan);
