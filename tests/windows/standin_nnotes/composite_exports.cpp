// The stand-in's structure conversion (ODSLength, ODSReadMemory,
// ODSWriteMemory) and record enumeration over host memory blocks.
#include <type_traits>

#include "standin_host.h"

namespace {

// Both sizes of structure `type`; false for a code the host does not know.
bool SizesOf(sim::SimHost& host, WORD type, StructureSizes& sizes) {
  return host.StructureConvert(type, StructureForm::OnDisk, {}, {}, sizes) == kNoError && sizes.onDisk != 0;
}

// Converts `iterations` structures between the on-disk bytes at *cursor and
// the host forms at `hostForm`, moving *cursor past the on-disk bytes.
void Convert(void* cursorSlot, WORD type, uint8_t* hostForm, WORD iterations, StructureForm from) {
  if (cursorSlot == nullptr || hostForm == nullptr) return;
  Guarded<int>(0, [&](sim::SimHost& host) {
    StructureSizes sizes;
    if (!SizesOf(host, type, sizes)) return 0;
    auto*& cursor = *static_cast<uint8_t**>(cursorSlot);
    for (WORD i = 0; i < iterations; ++i) {
      uint8_t* hostAt = hostForm + static_cast<size_t>(i) * sizes.host;
      const bool fromDisk = from == StructureForm::OnDisk;
      const std::span<const uint8_t> in(fromDisk ? cursor : hostAt, fromDisk ? sizes.onDisk : sizes.host);
      const std::span<uint8_t> out(fromDisk ? hostAt : cursor, fromDisk ? sizes.host : sizes.onDisk);
      StructureSizes ignored;
      if (host.StructureConvert(type, from, in, out, ignored) != kNoError) return 0;
      cursor += sizes.onDisk;
    }
    return 0;
  });
}

}  // namespace

STANDIN_EXPORT WORD QUILLET_LNPUBLIC ODSLength(WORD type) {
  return Guarded<WORD>(0, [&](sim::SimHost& host) -> WORD {
    StructureSizes sizes;
    return SizesOf(host, type, sizes) ? sizes.onDisk : 0;
  });
}

STANDIN_EXPORT void QUILLET_LNPUBLIC ODSReadMemory(void* cursor, WORD type, void* hostForm, WORD iterations) {
  Convert(cursor, type, static_cast<uint8_t*>(hostForm), iterations, StructureForm::OnDisk);
}

STANDIN_EXPORT void QUILLET_LNPUBLIC ODSWriteMemory(void* cursor, WORD type, const void* hostForm, WORD iterations) {
  // The host form is only read when writing on-disk bytes.
  Convert(cursor, type, static_cast<uint8_t*>(const_cast<void*>(hostForm)), iterations, StructureForm::Host);
}

// Walks the records of the value in the block, handing out pointers into the
// block itself, as the host does.
STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC EnumCompositeBuffer(BLOCKID value, DWORD length, ActionRoutinePtr action,
                                                               void* context) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    size_t size = 0;
    uint8_t* memory = standin::LockBlock(value.pool, &size);
    if (memory == nullptr) return kErrInvalidHandle;
    if (action == nullptr || value.block > size || length > size - value.block) return kErrInvalidArgument;
    const std::span<const uint8_t> bytes(memory + value.block, length);
    return host.EnumerateCompositeRecords(bytes, [&](uint16_t signature, std::span<const uint8_t> record) {
      char* at = reinterpret_cast<char*>(const_cast<uint8_t*>(record.data()));
      return STATUS(action(at, signature, static_cast<DWORD>(record.size()), context));
    });
  });
}

STANDIN_CHECK(ODSLength);
STANDIN_CHECK(ODSReadMemory);
STANDIN_CHECK(ODSWriteMemory);
STANDIN_CHECK(EnumCompositeBuffer);
