// The binding's composite-data services: structure sizes and conversion
// through the host's canonical-format functions, and the walk over the
// records of a composite value through its record enumerator.
#include <algorithm>
#include <cstring>
#include <vector>

#include "config/composite_header.h"
#include "config/nnotes/nnotes_binding.h"
#include "util/bytes.h"

namespace quillet {

using namespace nnotes;

namespace {

// The host's conversion writes one structure of its own size; it works in
// buffers twice that size, so a host structure larger than the on-disk one
// can never write past our memory.
constexpr size_t kScratchFactor = 2;

struct RecordWalk {
  const uint8_t* base = nullptr;  // the value as the host walks it, type word first
  const uint8_t* caller = nullptr;  // the caller's value, of which each record is handed over as a part
  size_t size = 0;
  size_t next = 2;                // where the next record must start
  const CompositeRecordCallback* callback = nullptr;
  STATUS stopped = kNoError;      // the callback's own non-zero result
  bool strayRecord = false;       // the host named a record outside the value or out of order
};

// Signature and length come from the record's own header, read within the
// value: the host's words are not trusted to stay inside it.
StatusWord QUILLET_LNPUBLIC RecordTrampoline(char* record, WORD, DWORD, void* context) {
  auto& walk = *static_cast<RecordWalk*>(context);
  const auto* at = reinterpret_cast<const uint8_t*>(record);
  if (at < walk.base || at >= walk.base + walk.size || static_cast<size_t>(at - walk.base) != walk.next) {
    walk.strayRecord = true;
    return kErrBadCompositeRecord;
  }
  const size_t offset = static_cast<size_t>(at - walk.base);
  const auto header = ReadCompositeHeader(std::span<const uint8_t>(at, walk.size - offset));
  if (!header) {
    walk.strayRecord = true;
    return kErrBadCompositeRecord;
  }
  walk.next = offset + header->length + header->length % 2;
  try {
    // The host's block is freed after the walk; the caller's value lives on.
    const STATUS status =
        (*walk.callback)(header->signature, std::span<const uint8_t>(walk.caller + offset, header->length));
    if (status != kNoError) walk.stopped = status;
    return status;
  } catch (...) {
    walk.stopped = kErrInvalidArgument;
    return kErrInvalidArgument;
  }
}

// The length of the records of `value` that fit it, type word included: a
// bad record and everything after it are never handed to the host.
size_t WellFormedPrefix(std::span<const uint8_t> value) {
  size_t pos = 2;
  while (pos < value.size()) {
    const auto header = ReadCompositeHeader(value.subspan(pos));
    if (!header) return pos;
    pos += header->length + header->length % 2;
  }
  return value.size();
}

}  // namespace

// On Windows the host form of a Notes structure is its on-disk form
// (little-endian, packed), so both sizes are the host's on-disk length; the
// conversion still goes through the host so that it stays the host's.
STATUS NnotesBinding::StructureConvert(uint16_t code, StructureForm from, std::span<const uint8_t> in,
                                       std::span<uint8_t> out, StructureSizes& sizes) {
  auto length = Find<ODSLengthFn>("ODSLength");
  if (length == nullptr) return kErrFunctionNotAvailable;
  if (code > kLastNotesStructureCode) return kErrUnknownStructure;
  const WORD size = length(code);
  if (size == 0) return kErrUnknownStructure;
  sizes = StructureSizes{size, size};
  if (out.empty()) return kNoError;
  if (in.size() < size || out.size() < size) return kErrBufferTooSmall;

  std::vector<uint8_t> source(size * kScratchFactor, 0);
  std::vector<uint8_t> target(size * kScratchFactor, 0);
  std::copy_n(in.begin(), size, source.begin());
  size_t consumed = 0;
  if (from == StructureForm::OnDisk) {
    auto read = Find<ODSReadMemoryFn>("ODSReadMemory");
    if (read == nullptr) return kErrFunctionNotAvailable;
    void* cursor = source.data();
    read(&cursor, code, target.data(), 1);
    consumed = static_cast<size_t>(static_cast<uint8_t*>(cursor) - source.data());
  } else {
    auto write = Find<ODSWriteMemoryFn>("ODSWriteMemory");
    if (write == nullptr) return kErrFunctionNotAvailable;
    void* cursor = target.data();
    write(&cursor, code, source.data(), 1);
    consumed = static_cast<size_t>(static_cast<uint8_t*>(cursor) - target.data());
  }
  // The cursor moves past exactly the on-disk bytes; anything else means the
  // host's structure is not the one its length named.
  if (consumed != size) return kErrUnknownStructure;
  std::copy_n(target.begin(), size, out.begin());
  return kNoError;
}

// The host walks a value held in its own memory: the well-formed records are
// copied into a block of it and enumerated there.
STATUS NnotesBinding::EnumerateCompositeRecords(std::span<const uint8_t> value,
                                                const CompositeRecordCallback& callback) {
  auto enumerate = Find<EnumCompositeBufferFn>("EnumCompositeBuffer");
  auto allocate = Find<OSMemAllocFn>("OSMemAlloc");
  auto release = Find<OSMemFreeFn>("OSMemFree");
  auto lock = Find<OSLockObjectFn>("OSLockObject");
  auto unlock = Find<OSUnlockObjectFn>("OSUnlockObject");
  if (enumerate == nullptr || allocate == nullptr || release == nullptr || lock == nullptr || unlock == nullptr) {
    return kErrFunctionNotAvailable;
  }
  if (value.size() < 2 || LoadU16(value.data()) != kTypeCompositeData || value.size() > 0xFFFFFFFFu) {
    return kErrBadCompositeRecord;
  }
  const size_t prefix = WellFormedPrefix(value);
  DHANDLE block = 0;
  if (const STATUS status = allocate(kMemoryBlockType, static_cast<DWORD>(prefix), &block); status != kNoError) {
    return status;
  }
  auto* memory = static_cast<uint8_t*>(lock(block));
  if (memory == nullptr) {
    static_cast<void>(release(block));
    return kErrInvalidHandle;
  }
  std::memcpy(memory, value.data(), prefix);
  RecordWalk walk{memory, value.data(), prefix, 2, &callback};
  const STATUS hostStatus = enumerate(BLOCKID{block, kNullBlock}, static_cast<DWORD>(prefix), &RecordTrampoline,
                                      &walk);
  unlock(block);
  static_cast<void>(release(block));

  if (walk.stopped != kNoError) return walk.stopped;
  if (walk.strayRecord) return kErrBadCompositeRecord;
  // The host ends a complete walk with a status of its own; short of the
  // end, its status (or a bad record, when it gave none) is the answer.
  if (walk.next < prefix) return hostStatus != kNoError ? hostStatus : kErrBadCompositeRecord;
  return prefix == value.size() ? kNoError : kErrBadCompositeRecord;
}

}  // namespace quillet
