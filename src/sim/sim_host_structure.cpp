// The simulated host's structure conversion. Its host form is the on-disk
// form, so a conversion in either direction copies the structure's bytes.
#include <algorithm>

#include "sim/sim_host.h"
#include "sim/sim_structures.h"

namespace quillet::sim {

STATUS SimHost::StructureConvert(uint16_t code, StructureForm /*from*/, std::span<const uint8_t> in,
                                 std::span<uint8_t> out, StructureSizes& sizes) {
  {
    std::lock_guard lock(mu_);
    if (STATUS failure = TakeFailure("StructureConvert")) return failure;
  }
  const std::optional<uint16_t> size = code <= kLastNotesStructureCode ? NotesStructureSize(code) : std::nullopt;
  if (!size) return kErrUnknownStructure;
  sizes = StructureSizes{*size, *size};
  if (out.empty()) return kNoError;
  if (in.size() < *size || out.size() < *size) return kErrBufferTooSmall;
  std::copy_n(in.begin(), *size, out.begin());
  return kNoError;
}

}  // namespace quillet::sim
