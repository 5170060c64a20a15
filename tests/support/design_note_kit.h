// Builds design notes that carry compiled LotusScript, the way the Notes
// runtime stores them: an agent with a script action, a script library, a
// database script, each with the note class, "$Flags" and title its design
// kind needs, and stores them in a simulated host.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/notes_api.h"
#include "sim/sim_host.h"
#include "sim/sim_note_file.h"

namespace quillet::kit {

using Bytes = std::vector<uint8_t>;

// The "$Flags" texts of the kit's notes.
inline constexpr char kAgentFlags[] = "fL";
inline constexpr char kScriptLibraryFlags[] = "s34Q";
inline constexpr char kDatabaseScriptFlags[] = "t";
// Script items are stored signed.
inline constexpr uint16_t kScriptItemFlags = kItemSigned | kItemSummary;

// The compiled module of `source`; throws std::runtime_error carrying the
// first diagnostic when it does not compile.
Bytes CompileScript(std::string_view source);

// A script action: the 14-byte action prefix with `actionFlags`, then the
// module, padded to an even length.
Bytes ScriptAction(const Bytes& module, uint32_t actionFlags = 0);

// Appends `image` as `pieces` items (1 or more) of `name`, split into parts
// of nearly equal size, in order.
void AddScriptItems(sim::NoteFile& note, std::string_view name, const Bytes& image, size_t pieces = 1,
                    uint16_t type = kTypeLsObject, uint16_t flags = kScriptItemFlags);

// A note of `noteClass` with "$TITLE" and "$Flags", signed.
sim::NoteFile DesignNote(uint16_t noteClass, std::string_view title, std::string_view flags);

// An agent whose LotusScript action ("$AssistAction_Ex") runs `source`.
sim::NoteFile AgentNote(std::string_view title, std::string_view source, uint32_t actionFlags = 0);
// A script library ("$ScriptLib_O"), its module split over `pieces` items.
sim::NoteFile ScriptLibraryNote(std::string_view title, std::string_view source, size_t pieces = 1);
// A database script ("$DBScript_O").
sim::NoteFile DatabaseScriptNote(std::string_view source);

// A note stored in a database of a simulated host and held open; closed
// (without saving) when the object goes.
class OpenedNote {
 public:
  // Stores `note` in `dbPath` (created when absent) and opens it; status()
  // tells whether every step worked.
  OpenedNote(sim::SimHost& host, std::string_view dbPath, const sim::NoteFile& note);
  ~OpenedNote();
  OpenedNote(const OpenedNote&) = delete;
  OpenedNote& operator=(const OpenedNote&) = delete;

  STATUS status() const { return status_; }
  NoteHandle handle() const { return note_; }
  NoteId id() const { return id_; }

 private:
  sim::SimHost& host_;
  DbHandle db_;
  NoteHandle note_;
  NoteId id_ = 0;
  STATUS status_ = kNoError;
};

// The data of every instance of `name` in the open note (type words
// stripped), in stored order.
std::vector<Bytes> ItemValues(NoteHandle note, std::string_view name);
// The type words of every instance of `name`.
std::vector<uint16_t> ItemTypes(NoteHandle note, std::string_view name);

}  // namespace quillet::kit
