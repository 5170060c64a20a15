// Design notes with compiled LotusScript for the simulated host.
#include "support/design_note_kit.h"

#include <stdexcept>

#include "lsobject/action_prefix.h"
#include "sim/lsc/compiler.h"
#include "util/bytes.h"

namespace quillet::kit {
namespace {

constexpr uint16_t kScriptActionSignature = 0xFF85;
constexpr size_t kActionFlagsAt = 6;

// Every instance of `name`, through the installed Notes API.
std::vector<ItemInfo> Instances(NoteHandle note, std::string_view name) {
  std::vector<ItemInfo> found;
  ItemInfo info;
  STATUS status = Notes().ItemFind(note, name, info);
  while (status == kNoError) {
    found.push_back(info);
    status = Notes().ItemFindNext(note, found.back().item, info);
  }
  return found;
}

}  // namespace

Bytes CompileScript(std::string_view source) {
  Bytes image;
  std::vector<CompileError> errors;
  if (!CompileLotusScript(source, image, errors)) {
    const CompileError& first = errors.front();
    throw std::runtime_error("line " + std::to_string(first.line) + ": " + first.message);
  }
  return image;
}

Bytes ScriptAction(const Bytes& module, uint32_t actionFlags) {
  Bytes action(ActionPrefix::kSize, 0);
  action.insert(action.end(), module.begin(), module.end());
  if (action.size() % 2 != 0) action.push_back(0);
  StoreU16(action.data(), ActionPrefix::kMarker);
  StoreU16(action.data() + 2, kScriptActionSignature);
  StoreU16(action.data() + ActionPrefix::kRecordLength, static_cast<uint16_t>(action.size() - 2));
  StoreU32(action.data() + kActionFlagsAt, actionFlags);
  StoreU32(action.data() + ActionPrefix::kScriptLength, static_cast<uint32_t>(action.size() - ActionPrefix::kSize));
  return action;
}

void AddScriptItems(sim::NoteFile& note, std::string_view name, const Bytes& image, size_t pieces, uint16_t type,
                    uint16_t flags) {
  if (pieces == 0) pieces = 1;
  const size_t base = image.size() / pieces;
  size_t at = 0;
  for (size_t i = 0; i < pieces; ++i) {
    const size_t length = i + 1 == pieces ? image.size() - at : base;
    sim::SimItemSpec item;
    item.name = std::string(name);
    item.type = type;
    item.flags = flags;
    item.value.assign(image.begin() + static_cast<std::ptrdiff_t>(at),
                      image.begin() + static_cast<std::ptrdiff_t>(at + length));
    note.items.push_back(std::move(item));
    at += length;
  }
}

sim::NoteFile DesignNote(uint16_t noteClass, std::string_view title, std::string_view flags) {
  sim::NoteFile note;
  note.noteClass = noteClass;
  note.isSigned = true;
  note.items.push_back(sim::SimItemSpec::Text("$TITLE", title));
  note.items.push_back(sim::SimItemSpec::Text("$Flags", flags));
  return note;
}

sim::NoteFile AgentNote(std::string_view title, std::string_view source, uint32_t actionFlags) {
  sim::NoteFile note = DesignNote(kNoteClassFilter, title, kAgentFlags);
  AddScriptItems(note, "$AssistAction_Ex", ScriptAction(CompileScript(source), actionFlags));
  return note;
}

sim::NoteFile ScriptLibraryNote(std::string_view title, std::string_view source, size_t pieces) {
  sim::NoteFile note = DesignNote(kNoteClassFilter, title, kScriptLibraryFlags);
  AddScriptItems(note, "$ScriptLib_O", CompileScript(source), pieces);
  return note;
}

sim::NoteFile DatabaseScriptNote(std::string_view source) {
  sim::NoteFile note = DesignNote(kNoteClassFilter, "Database Script", kDatabaseScriptFlags);
  AddScriptItems(note, "$DBScript_O", CompileScript(source));
  return note;
}

OpenedNote::OpenedNote(sim::SimHost& host, std::string_view dbPath, const sim::NoteFile& note) : host_(host) {
  status_ = sim::ImportNote(host, dbPath, note, id_);
  if (status_ == kNoError) status_ = host.DbOpen(dbPath, db_);
  if (status_ == kNoError) status_ = host.NoteOpen(db_, id_, 0, note_);
}

OpenedNote::~OpenedNote() {
  if (note_) static_cast<void>(host_.NoteClose(note_));
  if (db_) static_cast<void>(host_.DbClose(db_));
}

std::vector<Bytes> ItemValues(NoteHandle note, std::string_view name) {
  std::vector<Bytes> values;
  for (const ItemInfo& info : Instances(note, name))
    values.emplace_back(info.value.size() > 2 ? info.value.begin() + 2 : info.value.end(), info.value.end());
  return values;
}

std::vector<uint16_t> ItemTypes(NoteHandle note, std::string_view name) {
  std::vector<uint16_t> types;
  for (const ItemInfo& info : Instances(note, name)) types.push_back(info.type);
  return types;
}

}  // namespace quillet::kit
