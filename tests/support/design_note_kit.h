// Design notes built from LotusScript source by the simulated host's note
// builder (sim/design_note_builder.h), and notes stored in a simulated host
// and read back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/notes_api.h"
#include "sim/design_note_builder.h"
#include "sim/sim_host.h"
#include "sim/sim_note_file.h"

namespace quillet::kit {

using Bytes = std::vector<uint8_t>;

// The note builder of the simulated host, under the kit's names.
using sim::AddScriptItems;
using sim::DesignNote;
using sim::kAgentFlags;
using sim::kDatabaseScriptFlags;
using sim::kScriptItemFlags;
using sim::kScriptLibraryFlags;
using sim::ScriptAction;

// The compiled module of `source`; throws std::runtime_error carrying the
// first diagnostic when it does not compile.
Bytes CompileScript(std::string_view source);

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
