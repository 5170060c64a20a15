// Composite-data (rich-text) records as the rewrite sees them: each record
// refers to its bytes in the stored values its composite keeps, and
// re-emits itself into a RecordBuffer. The base class copies a record
// unchanged; members that carry code override Emit to hand their pieces on
// and fix their lengths.
#pragma once

#include <cstdint>
#include <memory>
#include <memory_resource>
#include <new>
#include <span>
#include <utility>

#include "config/status.h"
#include "design/record_buffer.h"
#include "design/rewrite_contract.h"

namespace quillet {

class CKVXCDRecord {
 public:
  // `record` must outlive the record: the composite that makes records
  // keeps the values they were read from (a copy per record would cost an
  // allocation and a copy of every byte of the item).
  CKVXCDRecord(uint16_t signature, std::span<const uint8_t> record) : signature_(signature), bytes_(record) {}
  virtual ~CKVXCDRecord() = default;
  CKVXCDRecord(const CKVXCDRecord&) = delete;
  CKVXCDRecord& operator=(const CKVXCDRecord&) = delete;

  // Appends the record, possibly rewritten, to `out`. On success the bytes
  // appended are one record whose length field counts them (padding is the
  // caller's business); on failure what was appended is for the caller to
  // discard. A callback status is returned unchanged.
  [[nodiscard]] virtual Status32 Emit(const RewriteArgs& /*args*/, RecordBuffer& out) const { return CopyRaw(out); }
  // True when Emit would append the stored bytes unchanged; the record has
  // then done whatever else Emit does (its changes of the location path),
  // and the caller appends the stored bytes itself, saving a copy. Called at
  // most once per emission, instead of Emit.
  virtual bool UnchangedBy(const RewriteArgs& /*args*/) const { return false; }
  // Appends the stored bytes unchanged.
  [[nodiscard]] Status32 CopyRaw(RecordBuffer& out) const { return out.Append(bytes_); }

  uint16_t Signature() const { return signature_; }
  uint16_t Length() const { return static_cast<uint16_t>(bytes_.size()); }
  std::span<const uint8_t> Data() const { return bytes_; }

 private:
  uint16_t signature_;
  std::span<const uint8_t> bytes_;
};

// Where the records of one composite live: allocated one after the other
// and released together, since a body has thousands of them. The owner
// runs each record's destructor before the arena goes.
using RecordArena = std::pmr::monotonic_buffer_resource;

// A record of type T made in `arena`; null when memory runs out.
template <class T, class... Args>
T* MakeRecord(RecordArena& arena, Args&&... args) noexcept {
  void* memory = nullptr;
  try {
    memory = arena.allocate(sizeof(T), alignof(T));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return new (memory) T(std::forward<Args>(args)...);
}

// The record object for (item type, signature, record bytes), which refer
// to `record` (see the constructor), made in `arena`: the member class the
// item type and the signature select, a plain CKVXCDRecord for a signature
// no table lists (`plain` then says so: such a record is copied as it is).
// kErrOutOfMemory when it cannot be made.
[[nodiscard]] Status32 CreateRecord(uint16_t itemType, uint16_t signature, std::span<const uint8_t> record,
                                    RecordArena& arena, CKVXCDRecord*& out, bool& plain);

}  // namespace quillet
