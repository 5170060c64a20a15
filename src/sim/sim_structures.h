// The Notes-defined fixed structures the simulated host converts: their
// structure codes and packed on-disk sizes. The simulator's host form is the
// on-disk form (little-endian, packed), so conversion copies the bytes.
#pragma once

#include <cstdint>
#include <optional>

#include "config/notes_api.h"

namespace quillet::sim {

// The packed on-disk size of a Notes structure code (up to
// kLastNotesStructureCode); std::nullopt for a code the simulator does not
// define.
std::optional<uint16_t> NotesStructureSize(uint16_t code);

}  // namespace quillet::sim
