// The simulated host's composite-data record enumeration.
#include "config/composite_header.h"
#include "sim/sim_host.h"
#include "util/bytes.h"

namespace quillet::sim {

STATUS SimHost::EnumerateCompositeRecords(std::span<const uint8_t> value, const CompositeRecordCallback& callback) {
  {
    std::lock_guard lock(mu_);
    if (STATUS failure = TakeFailure("EnumerateCompositeRecords")) return failure;
  }
  if (value.size() < 2 || LoadU16(value.data()) != kTypeCompositeData) return kErrBadCompositeRecord;
  size_t pos = 2;
  while (pos < value.size()) {
    const auto header = ReadCompositeHeader(value.subspan(pos));
    if (!header) return kErrBadCompositeRecord;
    if (STATUS status = callback(header->signature, value.subspan(pos, header->length))) return status;
    pos += header->length + header->length % 2;
  }
  return kNoError;
}

}  // namespace quillet::sim
