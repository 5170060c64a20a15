// Design notes with compiled LotusScript for the simulated host.
#include "support/design_note_kit.h"

#include <stdexcept>

#include "sim/lsc/compiler.h"

namespace quillet::kit {
namespace {

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

sim::NoteFile AgentNote(std::string_view title, std::string_view source, uint32_t actionFlags) {
  return sim::AgentNote(title, CompileScript(source), actionFlags);
}

sim::NoteFile ScriptLibraryNote(std::string_view title, std::string_view source, size_t pieces) {
  return sim::ScriptLibraryNote(title, CompileScript(source), pieces);
}

sim::NoteFile DatabaseScriptNote(std::string_view source) { return sim::DatabaseScriptNote(CompileScript(source)); }

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
