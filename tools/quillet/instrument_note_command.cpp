// `quillet instrument-note IN.qnote OUT.qnote`: a design note exported from the
// simulated host, opened in a watched database of a simulated client and
// rewritten as the note-open hook rewrites it; the note in memory is
// exported again. Prints each script item's size before and after and the
// warnings.
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "hook/quillet_app.h"
#include "lsobject/script_items.h"
#include "sim/scoped_sim_host.h"
#include "sim/sim_note_file.h"
#include "tools/quillet/commands.h"
#include "tools/quillet/flags_option.h"
#include "tools/quillet/profile_session.h"
#include "tools/quillet/tool_io.h"

namespace quillet::tool {
namespace {

struct Options {
  std::string in;
  std::string out;
  std::string flags;
};

// The script items of the note, every instance's value in order.
std::map<std::string, std::vector<std::vector<uint8_t>>> ScriptItemValues(const sim::NoteFile& note) {
  std::map<std::string, std::vector<std::vector<uint8_t>>> values;
  for (const sim::SimItemSpec& item : note.items) {
    if (IsScriptItem(item.name, item.type)) values[item.name].push_back(item.value);
  }
  return values;
}

// Bytes held by every instance of each script item of the note.
std::map<std::string, size_t> ScriptItemSizes(const sim::NoteFile& note) {
  std::map<std::string, size_t> sizes;
  for (const sim::SimItemSpec& item : note.items) {
    if (IsScriptItem(item.name, item.type)) sizes[item.name] += item.value.size();
  }
  return sizes;
}

int InstrumentNoteFile(const Options& options) {
  int32_t flags = kDefaultProfileFlags;
  if (!options.flags.empty() && !ParseHexFlags(options.flags, flags))
    return Fail("instrument-note", "--flags takes a hexadecimal value up to FFFF, not \"" + options.flags + "\"");
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(options.in, bytes, error)) return Fail("instrument-note", error);
  sim::NoteFile file;
  ParseError refusal;
  if (!sim::ReadNoteFile(bytes, file, refusal))
    return Fail("instrument-note", options.in + ": not a note file, or a damaged one (" + refusal.Text + ")");

  sim::ScopedSimHost host;
  NoteId id = 0;
  DbHandle db;
  NoteHandle note;
  if (sim::ImportNote(host.host(), kProfiledDatabase, file, id) != kNoError || host->DbOpen(kProfiledDatabase, db) ||
      host->NoteOpen(db, id, 0, note)) {
    return Fail("instrument-note", options.in + ": the simulated host refused the note");
  }
  // A client object switched on for the note's database, as the controller
  // leaves it; its note-open hook then hands the note to InstrumentNote.
  CQuilletApp app(kClientInstrumentFlags);
  ProfileRef profile = app.PushProfile();
  profile->ResetContext(true, true, flags);
  profile->AddDatabase(kProfiledDatabase);
  app.InstrumentNote(note, 0);

  sim::NoteFile rewritten;
  if (sim::ExportNote(host.host(), note, rewritten) != kNoError)
    return Fail("instrument-note", "the rewritten note could not be exported");
  rewritten.noteId = file.noteId;
  // The library registers an instrumented module's procedures and leaves its
  // code as it is: procedures profiled with no item changed means the note
  // was instrumented already. Refused, as `instrument` refuses such a module.
  const bool unchanged = ScriptItemValues(rewritten) == ScriptItemValues(file);
  if (!profile->Data.Procedures().empty() && unchanged)
    return Fail("instrument-note", options.in + ": the note is instrumented already");
  // A module the library could not rewrite leaves a warning and the note as
  // it was: no file is written that could pass for an instrumented note.
  if (unchanged && !profile->Messages.empty())
    return Fail("instrument-note", options.in + ": the note's code was not rewritten: " + profile->Messages.front());
  if (!WriteWholeFile(options.out, sim::WriteNoteFile(rewritten), error)) return Fail("instrument-note", error);

  const auto before = ScriptItemSizes(file);
  const auto after = ScriptItemSizes(rewritten);
  for (const auto& [name, size] : after) {
    const auto old = before.find(name);
    std::printf("%s: %zu -> %zu bytes\n", name.c_str(), old == before.end() ? size_t{0} : old->second, size);
  }
  for (const auto& [name, size] : before) {
    if (!after.contains(name)) std::printf("%s: %zu -> gone\n", name.c_str(), size);
  }
  for (const std::string& m : profile->Messages) std::printf("warning: %s\n", m.c_str());
  std::printf("%zu procedures profiled\n", profile->Data.Procedures().size());
  return kExitOk;
}

}  // namespace

void AddInstrumentNoteCommand(CLI::App& app, int& exitCode) {
  CLI::App* cmd = app.add_subcommand("instrument-note", "Rewrite the compiled LotusScript of an exported design "
                                                        "note as the library does when the note is opened");
  auto options = std::make_shared<Options>();
  cmd->add_option("IN", options->in, "note file exported from the simulated host")->required();
  cmd->add_option("OUT", options->out, "where the rewritten note goes")->required();
  cmd->add_option("--flags", options->flags, "instrumentation flags, hexadecimal (default 3: procedures and lines)")
      ->check(HexFlagsCheck());
  cmd->callback([options, &exitCode] { exitCode = InstrumentNoteFile(*options); });
}

}  // namespace quillet::tool
