// `quillet note-items NOTE.qnote [--json]`: the script items of a note file
// exported from the simulated host, with the note's design kind and title
// and each item's pieces and module.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "instrument/design_title.h"
#include "instrument/module_instrument.h"
#include "lsobject/design_kind.h"
#include "lsobject/ls_script_module.h"
#include "lsobject/script_items.h"
#include "sim/scoped_sim_host.h"
#include "sim/sim_note_file.h"
#include "tools/quillet/commands.h"
#include "tools/quillet/text_format.h"
#include "tools/quillet/tool_io.h"

namespace quillet::tool {
namespace {

constexpr char kCommand[] = "note-items";
constexpr char kScratchDatabase[] = "note-items.nsf";

nlohmann::ordered_json DescribeItem(NoteHandle note, const std::string& name, const NotesModuleText& text) {
  nlohmann::ordered_json item;
  item["name"] = name;
  std::vector<size_t> pieces;
  quillet::ItemInfo info;
  STATUS status = Notes().ItemFind(note, name, info);
  item["type"] = status == kNoError ? info.type : 0;
  while (status == kNoError) {
    pieces.push_back(info.value.size() >= 2 ? info.value.size() - 2 : 0);
    const ItemId previous = info.item;
    status = Notes().ItemFindNext(note, previous, info);
  }
  item["pieces"] = pieces;
  if (IsRichTextScriptItem(name)) {  // its modules sit inside records
    item["module"] = "rich text";
    return item;
  }
  CLSScriptModule module(text);
  if (!module.LoadFromNote(note, name)) {
    item["module"] = nullptr;
    return item;
  }
  std::vector<ProcedureDescriptor> procedures;
  static_cast<void>(module.ListProcedures(procedures));
  nlohmann::ordered_json described;
  described["length"] = module.ItemInfo().ModuleLength;
  described["key"] = module.StoredChecksum();
  described["actionPrefix"] = module.Prefix() != nullptr;
  described["procedures"] = procedures.size();
  described["instrumented"] = IsInstrumentedModule(module);
  item["module"] = described;
  return item;
}

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
  return text;
}

std::string RenderText(const nlohmann::ordered_json& listing) {
  std::string out = listing["file"].get<std::string>() + ": " + listing["kindName"].get<std::string>() + " \"" +
                    EscapeControlBytes(listing["title"].get<std::string>()) + "\" (design kind " +
                    std::to_string(listing["designKind"].get<int>()) + ", note class 0x" +
                    Hex(listing["noteClass"].get<uint32_t>(), 4) + ")\n";
  if (listing["items"].empty()) out += "  no script items\n";
  for (const auto& item : listing["items"]) {
    std::string pieces;
    size_t total = 0;
    for (const auto& piece : item["pieces"]) {
      pieces += (pieces.empty() ? "" : " + ") + std::to_string(piece.get<size_t>());
      total += piece.get<size_t>();
    }
    out += "  " + item["name"].get<std::string>() + ": type 0x" + Hex(item["type"].get<uint32_t>(), 4) + ", " +
           std::to_string(item["pieces"].size()) + (item["pieces"].size() == 1 ? " item" : " items") + ", " +
           std::to_string(total) + " bytes";
    if (item["pieces"].size() > 1) out += " (" + pieces + ")";
    const auto& module = item["module"];
    if (module.is_string()) {
      out += ", rich text\n";
    } else if (module.is_null()) {
      out += ", no module\n";
    } else {
      out += ", module " + std::to_string(module["length"].get<int>()) + " bytes, key " +
             Hex(module["key"].get<uint32_t>(), 8) + ", " + std::to_string(module["procedures"].get<size_t>()) +
             " procedures" + (module["actionPrefix"].get<bool>() ? ", action prefix" : "") +
             (module["instrumented"].get<bool>() ? ", instrumented" : "") + "\n";
    }
  }
  return out;
}

int ListNoteItems(const std::string& path, bool json) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error)) return Fail(kCommand, error);
  sim::NoteFile file;
  ParseError refusal;
  if (!sim::ReadNoteFile(bytes, file, refusal)) return Fail(kCommand, path + ": " + refusal.Text);

  // The note is looked at through the Notes API, as the library sees it.
  sim::ScopedSimHost host;
  const NotesModuleText text(host.host());
  NoteId id = 0;
  DbHandle db;
  NoteHandle note;
  STATUS status = sim::ImportNote(host.host(), kScratchDatabase, file, id);
  if (status == kNoError) status = host->DbOpen(kScratchDatabase, db);
  if (status == kNoError) status = host->NoteOpen(db, id, 0, note);
  if (status != kNoError) return Fail(kCommand, path + ": the note could not be opened (status 0x" + Hex(status, 4) + ")");

  nlohmann::ordered_json listing;
  listing["file"] = path;
  listing["noteClass"] = file.noteClass;
  const int32_t kind = GetDesignKind(note);
  listing["designKind"] = kind;
  listing["kindName"] = DesignKindName(kind);
  std::string title;
  GetDesignTitle(note, title);
  listing["title"] = title;
  std::vector<std::string> names;
  status = ListScriptItems(note, names);
  nlohmann::ordered_json items = nlohmann::ordered_json::array();
  for (const std::string& name : names) items.push_back(DescribeItem(note, name, text));
  listing["items"] = items;
  static_cast<void>(host->NoteClose(note));
  static_cast<void>(host->DbClose(db));
  if (status != kNoError) return Fail(kCommand, path + ": the items could not be listed (status 0x" + Hex(status, 4) + ")");

  // The title is host text and the path the caller's bytes: either may be no
  // valid UTF-8, which JSON cannot carry, so such bytes become U+FFFD.
  const std::string out =
      json ? listing.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n" : RenderText(listing);
  std::fputs(out.c_str(), stdout);
  return kExitOk;
}

}  // namespace

void AddNoteItemsCommand(CLI::App& app, int& exitCode) {
  CLI::App* cmd = app.add_subcommand(kCommand, "List the script items of a note file with the note's design kind "
                                               "and title and each item's module");
  auto path = std::make_shared<std::string>();
  auto json = std::make_shared<bool>(false);
  cmd->add_option("NOTE", *path, "note file exported from the simulated host")->required();
  cmd->add_flag("--json", *json, "print the listing as JSON");
  cmd->callback([path, json, &exitCode] { exitCode = ListNoteItems(*path, *json); });
}

}  // namespace quillet::tool
