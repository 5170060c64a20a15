// Design elements and design-cache copies in a simulated database.
#include "sim/client/design_notes.h"

#include <cstdio>

#include "hook/note_source.h"
#include "lsobject/script_items.h"
#include "sim/rich_text_records.h"

namespace quillet::sim {
namespace {

inline constexpr std::string_view kSourceUrlItem = "$SourceURL";
inline constexpr std::string_view kSourceSeqTimeItem = "$SourceSeqTime";

struct ClassAndFlags {
  uint16_t noteClass;
  std::string_view flags;
};

ClassAndFlags ClassOf(DesignKind kind) {
  switch (kind) {
    case DesignKind::kForm:
      return {kNoteClassForm, ""};
    case DesignKind::kAgent:
      return {kNoteClassFilter, "f"};
    case DesignKind::kLibrary:
      return {kNoteClassFilter, "s"};
    case DesignKind::kView:
      return {kNoteClassView, ""};
  }
  return {kNoteClassForm, ""};
}

SimItemSpec LsObjectItem(std::string_view name, const Image& image) {
  return SimItemSpec{std::string(name), kTypeLsObject, image, kItemSigned};
}

}  // namespace

uint16_t DesignNoteClass(DesignKind kind) { return ClassOf(kind).noteClass; }

Image FormBodyValue(std::span<const Image> buttons) {
  std::vector<Bytes> records;
  for (const Image& code : buttons) records.push_back(LsObjectRecord(code));
  return CompositeValue(kTypeCompositeData, records);
}

STATUS CreateDesignNote(SimHost& host, std::string_view dbPath, const DesignSpec& spec, NoteId& id) {
  const ClassAndFlags design = ClassOf(spec.kind);
  std::vector<SimItemSpec> items = {SimItemSpec::Text(kTitleItem, spec.title),
                                    SimItemSpec::Text("$Flags", design.flags)};
  if (spec.kind == DesignKind::kForm) {
    for (const Image& code : spec.modules) {
      // A record's 16-bit length holds the header and the code.
      if (code.size() > kMaxLsObjectCode) return kErrInvalidArgument;
    }
    const Image body = FormBodyValue(spec.modules);
    items.push_back(SimItemSpec{std::string(kBodyItem), kTypeCompositeData,
                                Image(body.begin() + 2, body.end()), kItemSigned});
  } else if (!spec.modules.empty()) {
    const std::string_view name = spec.kind == DesignKind::kAgent     ? kAgentLargeScriptItem
                                  : spec.kind == DesignKind::kLibrary ? kScriptLibraryItem
                                                                      : kGlobalScriptItem;
    items.push_back(LsObjectItem(name, spec.modules.front()));
  }
  return host.CreateNote(dbPath, design.noteClass, items, id);
}

STATUS CacheDesignNote(SimHost& host, std::string_view sourcePath, NoteId id, std::string_view cachePath,
                       NoteId& cachedId) {
  DbHandle db;
  if (STATUS status = host.DbOpen(sourcePath, db); status != kNoError) return status;
  std::string canonical;
  NoteHandle note;
  STATUS status = host.DbCanonicalPath(db, canonical);
  if (status == kNoError) status = host.NoteOpen(db, id, 0, note);
  std::vector<SimItemSpec> items;
  uint16_t noteClass = 0;
  if (status == kNoError) {
    noteClass = host.NoteClass(note);
    status = host.ItemScan(note, [&](const ItemInfo& item) -> STATUS {
      if (item.value.size() < 2) return kNoError;
      items.push_back(SimItemSpec{item.name, item.type, Image(item.value.begin() + 2, item.value.end()), item.flags});
      return kNoError;
    });
    const TimeDate sequenceTime = host.NoteOriginator(note).sequenceTime;
    static_cast<void>(host.NoteClose(note));
    char url[32];
    std::snprintf(url, sizeof url, "/%X", static_cast<unsigned>(id));
    items.push_back(SimItemSpec::Text(std::string(kSourceDbPathItem), canonical));
    items.push_back(SimItemSpec::Text(std::string(kSourceUrlItem), "notes:///" + canonical + url));
    items.push_back(SimItemSpec::Time(std::string(kSourceSeqTimeItem), sequenceTime));
  }
  static_cast<void>(host.DbClose(db));
  if (status != kNoError) return status;
  if (!host.DatabaseExists(cachePath)) {
    if (status = host.CreateDatabase(cachePath, "Design cache"); status != kNoError) return status;
  }
  return host.CreateNote(cachePath, noteClass, items, cachedId);
}

}  // namespace quillet::sim
