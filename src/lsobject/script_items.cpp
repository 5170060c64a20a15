// Script items of a design note: listing them, loading a module from them and
// storing a rewritten module back.
#include "lsobject/script_items.h"

#include <algorithm>
#include <cstdio>

#include "config/host_text.h"
#include "config/notes_services.h"
#include "lsobject/design_kind.h"
#include "lsobject/item_snapshot.h"
#include "lsobject/ls_script_module.h"

namespace quillet {
namespace {

constexpr std::string_view kRichTextScriptItems[] = {kBodyItem, kViewMapLayoutItem, kActionsItem, kV5ActionsItem};
// Action bars are listed too: the LotusScript of their actions runs like a
// button's, and left out of the list it would run without being profiled.
constexpr std::string_view kScriptItemNames[] = {kAgentLargeScriptItem, kDatabaseScriptItem, kBodyItem,
                                                 kScriptLibraryItem,    kViewMapLayoutItem,  kActionsItem,
                                                 kV5ActionsItem};

bool SameName(std::string_view a, std::string_view b, uint16_t option) { return HostCompare(a, b, option) == 0; }

// The item a module replaces: its flags and data type, or the defaults for
// a note that lacks it.
struct ReplacedItem {
  uint16_t flags = kNewScriptItemFlags;
  uint16_t type = kNewScriptItemType;
};

// Stores `image` under `name` in pieces of at most kScriptItemLimit bytes.
STATUS AppendPieces(NoteHandle note, std::string_view name, uint16_t flags, uint16_t type,
                    std::span<const uint8_t> image) {
  NotesApi& notes = Notes();
  STATUS status = kNoError;
  for (size_t at = 0; status == kNoError && at < image.size(); at += kScriptItemLimit)
    status = notes.ItemAppend(note, flags, name, type, image.subspan(at, std::min(kScriptItemLimit, image.size() - at)));
  return status;
}

}  // namespace

bool IsScriptItem(std::string_view name, uint16_t type) {
  if (type == kTypeLsObject) return true;
  return std::any_of(std::begin(kScriptItemNames), std::end(kScriptItemNames),
                     [name](std::string_view known) { return SameName(name, known, kCompareExact); });
}

bool IsRichTextScriptItem(std::string_view name) {
  return std::any_of(std::begin(kRichTextScriptItems), std::end(kRichTextScriptItems),
                     [name](std::string_view known) { return SameName(name, known, kCompareNoCase); });
}

STATUS ListScriptItems(NoteHandle note, std::vector<std::string>& names) {
  names.clear();
  NotesApi& notes = Notes();
  // Names first, then their information: the host is not asked anything
  // while it walks the note.
  std::vector<std::string> scanned;
  const STATUS scan = notes.ItemScan(note, [&scanned](const ItemInfo& item) -> STATUS {
    scanned.push_back(item.name);
    return kNoError;
  });
  if (scan != kNoError) return scan;

  std::vector<std::string> found;
  for (const std::string& name : scanned) {
    quillet::ItemInfo info;
    if (notes.ItemFind(note, name, info) == kNoError && IsScriptItem(name, info.type)) found.push_back(name);
  }
  // Every repeat goes, not only a repeat that follows its first instance
  // directly: a name listed twice would have its module rewritten twice.
  std::stable_sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
    return HostCompare(a, b, kCompareNoCase) < 0;
  });
  found.erase(std::unique(found.begin(), found.end(),
                          [](const std::string& a, const std::string& b) { return SameName(a, b, kCompareNoCase); }),
              found.end());
  names = std::move(found);
  return kNoError;
}

std::string MarkerItemName(uint32_t checksum) {
  char name[16];
  std::snprintf(name, sizeof name, "%X_KVX", static_cast<unsigned>(checksum));
  return name;
}

bool CLSScriptModule::LoadFromNote(NoteHandle note, std::string_view itemName) {
  try {
    NotesApi& notes = Notes();
    // The pieces are read in place, measured, then joined into one buffer:
    // no copy of each from the host, no growing of the image.
    ItemValueView piece;
    if (notes.ItemFindView(note, itemName, piece) != kNoError || !IsLoadableScriptType(piece.type())) return false;
    // An agent's action item is one record; further instances are not its code.
    const bool firstOnly = SameName(itemName, kAgentActionItem, kCompareExact);
    const auto eachPiece = [&](auto visit) {
      for (;;) {
        const std::span<const uint8_t> value = piece.value();
        if (value.size() > 2) visit(value.subspan(2));
        if (firstOnly) return true;
        const STATUS status = notes.ItemFindNextView(note, piece.item(), piece);
        if (StatusCode(status) == kErrItemNotFound) return true;
        if (status != kNoError) return false;  // a part of the image could not be read
      }
    };
    size_t total = 0;
    if (!eachPiece([&](std::span<const uint8_t> bytes) { total += bytes.size(); })) return false;
    if (notes.ItemFindView(note, itemName, piece) != kNoError) return false;
    std::vector<uint8_t> image;
    image.reserve(total);
    if (!eachPiece([&](std::span<const uint8_t> bytes) { image.insert(image.end(), bytes.begin(), bytes.end()); }))
      return false;
    piece.Release();  // the note may change from here on
    if (!Parse(image)) return false;

    ScriptItemInfo& item = ItemInfo();
    item.ItemName = std::string(itemName);
    static_cast<void>(notes.ItemText(note, kTitleItem, item.Title, kTitleTextLimit + 1));
    if (SameName(itemName, kGlobalScriptItem, kCompareNoCase)) item.Title += kGlobalsTitleSuffix;
    item.NoteId = notes.NoteGetId(note);
    item.DesignKind = GetDesignKind(note);
    return true;
  } catch (...) {
    return false;
  }
}

Status32 CLSScriptModule::SaveToNote(NoteHandle note, std::string_view itemName, bool leaveUnsigned) {
  ItemSnapshot before;
  bool changed = false;
  try {
    NotesApi& notes = Notes();
    const uint32_t oldChecksum = StoredChecksum();
    std::vector<uint8_t> image = Serialize();
    const std::string marker = MarkerItemName(StoredChecksum());
    const int32_t kind = GetDesignKind(note);
    const bool movesToLargeItem = kind == design_kind::kAgent && image.size() > kScriptItemLimit;

    // Everything this save may replace is copied first, so that a failure
    // part-way puts the note back as it was.
    for (std::string_view name : {itemName, std::string_view(marker), std::string_view(kAgentLargeScriptItem),
                                  std::string_view(kAgentActionItem)}) {
      const bool touched = name == itemName || name == marker || movesToLargeItem;
      if (!touched) continue;
      if (const STATUS status = before.Take(note, name); status != kNoError) return status;
    }

    auto fail = [&](Status32 status) -> Status32 {
      static_cast<void>(before.Restore(note));
      return status;
    };
    changed = true;
    if (const STATUS status = notes.ItemSetNumber(note, marker, static_cast<double>(oldChecksum)); status != kNoError)
      return fail(status);

    ReplacedItem replaced;
    quillet::ItemInfo info;
    if (const STATUS found = notes.ItemFind(note, itemName, info); found == kNoError) {
      replaced.flags = info.flags;
      replaced.type = info.type;
    } else if (StatusCode(found) != kErrItemNotFound) {
      return fail(found);
    }
    if (const STATUS status = DeleteItems(note, itemName); status != kNoError) return fail(status);

    std::string_view target = itemName;
    uint16_t targetType = replaced.type;
    if (movesToLargeItem) {
      target = kAgentLargeScriptItem;
      targetType = kTypeScriptAsText;
      if (const STATUS status = DeleteItems(note, kAgentLargeScriptItem); status != kNoError) return fail(status);
      // A code item moved once already has its empty action; it is replaced, not repeated.
      if (const STATUS status = DeleteItems(note, kAgentActionItem); status != kNoError) return fail(status);
      if (const STATUS status =
              notes.ItemAppend(note, replaced.flags, kAgentActionItem, kTypeLsObject, kEmptyScriptAction);
          status != kNoError)
        return fail(status);
      if (Prefix() != nullptr) {
        DropPrefix();
        image = Serialize();
      }
    }
    if (const STATUS status = AppendPieces(note, target, replaced.flags, targetType, image); status != kNoError)
      return fail(status);

    // The items are stored; what is left is the signature.
    changed = false;
    bool sealed = false;
    if (leaveUnsigned) {
      if (notes.NoteIsSigned(note, sealed)) return notes.NoteRemoveSignature(note);
      return kNoError;
    }
    if (replaced.flags & kItemSigned) return ResignNote(note);
    return kNoError;
  } catch (...) {
    if (changed) {
      try {
        static_cast<void>(before.Restore(note));
      } catch (...) {
      }
    }
    return kErrModuleNotWritten;
  }
}

}  // namespace quillet
