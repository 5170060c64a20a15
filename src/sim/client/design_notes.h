// Design elements of a simulated database as the Notes designer stores them:
// forms with button code in their body, agents, script libraries and views
// with compiled LotusScript items, and copies in the client's design cache.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_host.h"

namespace quillet::sim {

using Image = std::vector<uint8_t>;

inline constexpr std::string_view kDesignCachePath = "cache.ndk";

// Which kind of design element; decides the note class and "$Flags".
enum class DesignKind { kForm, kAgent, kLibrary, kView };

struct DesignSpec {
  DesignKind kind = DesignKind::kForm;
  std::string title;
  // Form: each image is one button's code in "$Body". Agent
  // ("$AgentHScript_O"), library ("$ScriptLib_O"), view ("$$Script_O"): the
  // first image is the element's module.
  std::vector<Image> modules;
};

// The note class the elements of `kind` are stored with.
uint16_t DesignNoteClass(DesignKind kind);

// The rich-text value of a form body whose records are the buttons' code,
// type word first.
Image FormBodyValue(std::span<const Image> buttons);

// Stores the element in `dbPath`; `id` receives its note ID.
[[nodiscard]] STATUS CreateDesignNote(SimHost& host, std::string_view dbPath, const DesignSpec& spec, NoteId& id);

// Copies note `id` of `sourcePath` into the design cache `cachePath` (made
// when absent) with the items that name its origin: "$SourceDbPath" (the
// source's canonical path), "$SourceURL" (".../<note ID in hex>") and
// "$SourceSeqTime". `cachedId` receives the copy's note ID.
[[nodiscard]] STATUS CacheDesignNote(SimHost& host, std::string_view sourcePath, NoteId id,
                                     std::string_view cachePath, NoteId& cachedId);

}  // namespace quillet::sim
