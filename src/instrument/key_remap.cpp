// RemapModuleKey: a module rewritten earlier reports its timings under the
// key it had before, which the note's marker item records.
#include <cmath>

#include "instrument/module_instrument.h"
#include "instrument/note_instrument.h"
#include "lsobject/script_items.h"

namespace quillet {
namespace {

// The marker's number as a 64-bit integer (truncated toward zero), low 32
// bits kept; false for a value no integer holds.
bool MarkerKey(double value, uint32_t& key) {
  constexpr double kInt64Limit = 9223372036854775808.0;  // 2^63
  if (!std::isfinite(value) || value >= kInt64Limit || value < -kInt64Limit) return false;
  key = static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(value)));
  return true;
}

}  // namespace

void RemapModuleKey(CLSProfileApp& profile, NoteHandle note, CLSScriptModule& module) {
  const uint32_t checksum = ModuleKey(module);
  double value = 0;
  if (!Notes().ItemNumber(note, MarkerItemName(checksum), value)) return;
  uint32_t original = 0;
  if (!MarkerKey(value, original) || original == checksum) return;
  profile.KeyRemap.emplace(checksum, original);  // an existing entry stays
}

}  // namespace quillet
