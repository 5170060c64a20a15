// Design notes that carry compiled LotusScript, built as the Notes designer
// stores them: an agent with a script action, a script library, a database
// script, a form whose body has a button, each with the note class, "$Flags"
// and "$TITLE" its design kind needs, signed. The notes are note files
// (sim_note_file.h): stored with ImportNote or written out as files.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/notes_api.h"
#include "sim/rich_text_records.h"
#include "sim/sim_note_file.h"

namespace quillet::sim {

// The "$Flags" texts of the notes built here.
inline constexpr char kAgentFlags[] = "fL";
inline constexpr char kScriptLibraryFlags[] = "s34Q";
inline constexpr char kDatabaseScriptFlags[] = "t";
inline constexpr char kFormFlags[] = "";
inline constexpr char kDatabaseScriptTitle[] = "Database Script";
// Script items are stored signed.
inline constexpr uint16_t kScriptItemFlags = kItemSigned | kItemSummary;

// A script action: the 14-byte action prefix with `actionFlags`, then the
// module, padded to an even length.
Bytes ScriptAction(std::span<const uint8_t> module, uint32_t actionFlags = 0);

// Appends `image` as `pieces` items (1 or more) of `name`, split into parts
// of nearly equal size, in order.
void AddScriptItems(NoteFile& note, std::string_view name, std::span<const uint8_t> image, size_t pieces = 1,
                    uint16_t type = kTypeLsObject, uint16_t flags = kScriptItemFlags);

// Appends `image` as the host saves a module: items of `name` holding
// kScriptItemLimit bytes each, the last one the rest (one item at least).
void AddSavedScriptItems(NoteFile& note, std::string_view name, std::span<const uint8_t> image);

// A rich-text item of `type` holding `records` (its value without the type
// word), with the script items' flags.
SimItemSpec CompositeItem(std::string name, uint16_t type, const std::vector<Bytes>& records);

// A note of `noteClass` with "$TITLE" and "$Flags", signed.
NoteFile DesignNote(uint16_t noteClass, std::string_view title, std::string_view flags);

// An agent whose LotusScript action ("$AssistAction_Ex") holds `module`.
NoteFile AgentNote(std::string_view title, std::span<const uint8_t> module, uint32_t actionFlags = 0);
// An agent as the designer saves it: like AgentNote while the action fits
// one script item (kScriptItemLimit bytes), else an empty script action and
// the module in "$AgentHScript_O" items of at most that size.
NoteFile StoredAgentNote(std::string_view title, std::span<const uint8_t> module);
// A script library ("$ScriptLib_O"), its module split over `pieces` items.
NoteFile ScriptLibraryNote(std::string_view title, std::span<const uint8_t> module, size_t pieces = 1);
// A database script ("$DBScript_O").
NoteFile DatabaseScriptNote(std::span<const uint8_t> module, std::string_view title = kDatabaseScriptTitle);
// A form whose "$Body" holds one button labelled `label`, its hotspot
// carrying `source` and its object code `module`. The module must fit one
// object-code record (kMaxLsObjectCode bytes).
NoteFile FormNote(std::string_view title, std::string_view label, std::string_view source,
                  std::span<const uint8_t> module);

// The kinds of design note a module can be saved as.
enum class ScriptNoteKind { kAgent, kScriptLibrary, kDatabaseScript, kForm };

// The design note of `kind` titled `title` holding `module` as the designer
// saves it: script items of at most kScriptItemLimit bytes each (a large
// agent's code in "$AgentHScript_O", StoredAgentNote), a form's module as the
// object code of its one button, whose hotspot keeps `source`.
// kErrInvalidArgument, with `note` untouched, when a form's module does not
// fit one object-code record.
[[nodiscard]] STATUS SavedDesignNote(ScriptNoteKind kind, std::string_view title, std::string_view source,
                                     std::span<const uint8_t> module, NoteFile& note);

}  // namespace quillet::sim
