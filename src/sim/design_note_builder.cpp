// Design notes with compiled LotusScript, in note-file form.
#include "sim/design_note_builder.h"

#include <algorithm>

#include "lsobject/action_prefix.h"
#include "lsobject/script_items.h"
#include "util/bytes.h"

namespace quillet::sim {
namespace {

constexpr size_t kActionFlagsAt = 6;
constexpr uint16_t kScriptActionRecord = 0xFF85;
constexpr char kFormButtonLabel[] = "Run";

}  // namespace

Bytes ScriptAction(std::span<const uint8_t> module, uint32_t actionFlags) {
  Bytes action(ActionPrefix::kSize, 0);
  action.insert(action.end(), module.begin(), module.end());
  if (action.size() % 2 != 0) action.push_back(0);
  StoreU16(action.data(), ActionPrefix::kMarker);
  StoreU16(action.data() + 2, kScriptActionRecord);
  StoreU16(action.data() + ActionPrefix::kRecordLength, static_cast<uint16_t>(action.size() - 2));
  StoreU32(action.data() + kActionFlagsAt, actionFlags);
  StoreU32(action.data() + ActionPrefix::kScriptLength, static_cast<uint32_t>(action.size() - ActionPrefix::kSize));
  return action;
}

void AddScriptItems(NoteFile& note, std::string_view name, std::span<const uint8_t> image, size_t pieces,
                    uint16_t type, uint16_t flags) {
  if (pieces == 0) pieces = 1;
  const size_t base = image.size() / pieces;
  size_t at = 0;
  for (size_t i = 0; i < pieces; ++i) {
    const size_t length = i + 1 == pieces ? image.size() - at : base;
    SimItemSpec item;
    item.name = std::string(name);
    item.type = type;
    item.flags = flags;
    const auto part = image.subspan(at, length);
    item.value.assign(part.begin(), part.end());
    note.items.push_back(std::move(item));
    at += length;
  }
}

SimItemSpec CompositeItem(std::string name, uint16_t type, const std::vector<Bytes>& records) {
  const Bytes value = CompositeValue(type, records);
  SimItemSpec item;
  item.name = std::move(name);
  item.type = type;
  item.value.assign(value.begin() + 2, value.end());
  item.flags = kScriptItemFlags;
  return item;
}

NoteFile DesignNote(uint16_t noteClass, std::string_view title, std::string_view flags) {
  NoteFile note;
  note.noteClass = noteClass;
  note.isSigned = true;
  note.items.push_back(SimItemSpec::Text(kTitleItem, title));
  note.items.push_back(SimItemSpec::Text("$Flags", flags));
  return note;
}

NoteFile AgentNote(std::string_view title, std::span<const uint8_t> module, uint32_t actionFlags) {
  NoteFile note = DesignNote(kNoteClassFilter, title, kAgentFlags);
  AddScriptItems(note, kAgentActionItem, ScriptAction(module, actionFlags));
  return note;
}

NoteFile StoredAgentNote(std::string_view title, std::span<const uint8_t> module) {
  const Bytes action = ScriptAction(module);
  if (action.size() <= kScriptItemLimit) return AgentNote(title, module);
  NoteFile note = DesignNote(kNoteClassFilter, title, kAgentFlags);
  AddScriptItems(note, kAgentActionItem, kEmptyScriptAction);
  AddSavedScriptItems(note, kAgentLargeScriptItem, module);
  return note;
}

void AddSavedScriptItems(NoteFile& note, std::string_view name, std::span<const uint8_t> image) {
  size_t at = 0;
  do {
    const size_t length = std::min(kScriptItemLimit, image.size() - at);
    AddScriptItems(note, name, image.subspan(at, length));
    at += length;
  } while (at < image.size());
}

NoteFile ScriptLibraryNote(std::string_view title, std::span<const uint8_t> module, size_t pieces) {
  NoteFile note = DesignNote(kNoteClassFilter, title, kScriptLibraryFlags);
  AddScriptItems(note, kScriptLibraryItem, module, pieces);
  return note;
}

NoteFile DatabaseScriptNote(std::span<const uint8_t> module, std::string_view title) {
  NoteFile note = DesignNote(kNoteClassFilter, title, kDatabaseScriptFlags);
  AddScriptItems(note, kDatabaseScriptItem, module);
  return note;
}

NoteFile FormNote(std::string_view title, std::string_view label, std::string_view source,
                  std::span<const uint8_t> module) {
  NoteFile note = DesignNote(kNoteClassForm, title, kFormFlags);
  std::vector<Bytes> records = {Paragraph()};
  for (Bytes& record : ScriptButton(label, source, Bytes(module.begin(), module.end()))) {
    records.push_back(std::move(record));
  }
  note.items.push_back(CompositeItem(kBodyItem, kTypeCompositeData, records));
  return note;
}

STATUS SavedDesignNote(ScriptNoteKind kind, std::string_view title, std::string_view source,
                       std::span<const uint8_t> module, NoteFile& note) {
  switch (kind) {
    case ScriptNoteKind::kAgent:
      note = StoredAgentNote(title, module);
      return kNoError;
    case ScriptNoteKind::kScriptLibrary:
      note = DesignNote(kNoteClassFilter, title, kScriptLibraryFlags);
      AddSavedScriptItems(note, kScriptLibraryItem, module);
      return kNoError;
    case ScriptNoteKind::kDatabaseScript:
      note = DesignNote(kNoteClassFilter, title, kDatabaseScriptFlags);
      AddSavedScriptItems(note, kDatabaseScriptItem, module);
      return kNoError;
    case ScriptNoteKind::kForm:
      if (module.size() > kMaxLsObjectCode) return kErrInvalidArgument;
      note = FormNote(title, kFormButtonLabel, source, module);
      return kNoError;
  }
  return kErrInvalidArgument;
}

}  // namespace quillet::sim
