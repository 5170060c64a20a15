// The stand-in's item functions. An item's block is (note handle, item
// serial); its value block is a host memory block holding the type word and
// the value, as the host hands values out.
#include <type_traits>

#include "standin_host.h"

namespace {

BLOCKID ItemBlock(ItemId item) { return BLOCKID{item.note, static_cast<WORD>(item.item)}; }
ItemId ItemOf(const BLOCKID& block) { return ItemId{block.pool, block.block}; }

// Fills the answers of NSFItemInfo and NSFItemInfoNext from a found item.
StatusWord AnswerItem(const STATUS status, const ItemInfo& info, BLOCKID* item, WORD* type, BLOCKID* value,
                      DWORD* valueLength) {
  if (status != kNoError) return status;
  if (info.item.item > 0xFFFF) return kErrInvalidHandle;  // no block word holds it
  if (item != nullptr) *item = ItemBlock(info.item);
  if (type != nullptr) *type = info.type;
  if (value != nullptr) *value = BLOCKID{standin::ValueBlock(info.item, info.value), 0};
  if (valueLength != nullptr) *valueLength = static_cast<DWORD>(info.value.size());
  return kNoError;
}

std::string_view Name(const char* name, WORD length) { return name == nullptr ? std::string_view{} : std::string_view(name, length); }

}  // namespace

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFItemInfo(DHANDLE note, const char* name, WORD nameLength, BLOCKID* item,
                                                       WORD* type, BLOCKID* value, DWORD* valueLength) {
  return GuardedStatus([&](sim::SimHost& host) {
    ItemInfo info;
    const STATUS status = host.ItemFind(NoteHandle{note}, Name(name, nameLength), info);
    return AnswerItem(status, info, item, type, value, valueLength);
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFItemInfoNext(DHANDLE note, BLOCKID previous, const char*, WORD,
                                                           BLOCKID* item, WORD* type, BLOCKID* value,
                                                           DWORD* valueLength) {
  return GuardedStatus([&](sim::SimHost& host) {
    ItemInfo info;
    const STATUS status = host.ItemFindNext(NoteHandle{note}, ItemOf(previous), info);
    return AnswerItem(status, info, item, type, value, valueLength);
  });
}

// The name is not terminated, as the host's is not.
STANDIN_EXPORT void QUILLET_LNPUBLIC NSFItemQuery(DHANDLE note, BLOCKID item, char* name, WORD nameSize,
                                                  WORD* nameLength, WORD* flags, WORD* type, BLOCKID* value,
                                                  DWORD* valueLength) {
  Guarded<int>(0, [&](sim::SimHost& host) {
    ItemInfo info;
    const bool found = host.ItemQuery(NoteHandle{note}, ItemOf(item), info) == kNoError;
    const size_t copied = found && name != nullptr ? std::min<size_t>(info.name.size(), nameSize) : 0;
    if (copied > 0) std::memcpy(name, info.name.data(), copied);
    if (nameLength != nullptr) *nameLength = static_cast<WORD>(copied);
    if (flags != nullptr) *flags = found ? info.flags : 0;
    if (type != nullptr) *type = found ? info.type : 0;
    if (value != nullptr) *value = found ? BLOCKID{standin::ValueBlock(info.item, info.value), 0} : BLOCKID{};
    if (valueLength != nullptr) *valueLength = found ? static_cast<DWORD>(info.value.size()) : 0;
    return 0;
  });
}

STANDIN_EXPORT WORD QUILLET_LNPUBLIC NSFItemGetText(DHANDLE note, const char* name, char* text, WORD size) {
  return Guarded<WORD>(0, [&](sim::SimHost& host) -> WORD {
    if (name == nullptr || size == 0) return 0;
    std::string value;
    host.ItemText(NoteHandle{note}, name, value, size);
    return CopyOut(value, text, size);
  });
}

STANDIN_EXPORT BOOL QUILLET_LNPUBLIC NSFItemGetNumber(DHANDLE note, const char* name, double* value) {
  return Guarded<BOOL>(0, [&](sim::SimHost& host) -> BOOL {
    return name != nullptr && value != nullptr && host.ItemNumber(NoteHandle{note}, name, *value) ? 1 : 0;
  });
}

STANDIN_EXPORT BOOL QUILLET_LNPUBLIC NSFItemGetTime(DHANDLE note, const char* name, TIMEDATE* value) {
  return Guarded<BOOL>(0, [&](sim::SimHost& host) -> BOOL {
    TimeDate time;
    if (name == nullptr || value == nullptr || !host.ItemTime(NoteHandle{note}, name, time)) return 0;
    *value = TIMEDATE{{time.innards[0], time.innards[1]}};
    return 1;
  });
}

STANDIN_EXPORT WORD QUILLET_LNPUBLIC NSFItemGetTextListEntries(DHANDLE note, const char* name) {
  return Guarded<WORD>(0, [&](sim::SimHost& host) -> WORD {
    return name == nullptr ? 0 : host.ItemTextListCount(NoteHandle{note}, name);
  });
}

STANDIN_EXPORT WORD QUILLET_LNPUBLIC NSFItemGetTextListEntry(DHANDLE note, const char* name, WORD entry, char* text,
                                                             WORD size) {
  return Guarded<WORD>(0, [&](sim::SimHost& host) -> WORD {
    if (name == nullptr || size == 0) return 0;
    std::string value;
    host.ItemTextListEntry(NoteHandle{note}, name, entry, value, size);
    return CopyOut(value, text, size);
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFItemSetText(DHANDLE note, const char* name, const char* text,
                                                          WORD length) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (name == nullptr || (text == nullptr && length > 0)) return kErrInvalidArgument;
    return host.ItemSetText(NoteHandle{note}, name, Name(text, length));
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFItemSetNumber(DHANDLE note, const char* name, double* value) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (name == nullptr || value == nullptr) return kErrInvalidArgument;
    return host.ItemSetNumber(NoteHandle{note}, name, *value);
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFItemSetTime(DHANDLE note, const char* name, TIMEDATE* value) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (name == nullptr || value == nullptr) return kErrInvalidArgument;
    return host.ItemSetTime(NoteHandle{note}, name, TimeDate{{value->innards[0], value->innards[1]}});
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFItemAppend(DHANDLE note, WORD flags, const char* name, WORD nameLength,
                                                         WORD type, const void* value, DWORD valueLength) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (name == nullptr || (value == nullptr && valueLength > 0)) return kErrInvalidArgument;
    const auto* bytes = static_cast<const uint8_t*>(value);
    return host.ItemAppend(NoteHandle{note}, flags, Name(name, nameLength), type, std::span(bytes, valueLength));
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFItemDelete(DHANDLE note, const char* name, WORD nameLength) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (name == nullptr) return kErrInvalidArgument;
    return host.ItemDelete(NoteHandle{note}, Name(name, nameLength));
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFItemDeleteByBLOCKID(DHANDLE note, BLOCKID item) {
  return GuardedStatus([&](sim::SimHost& host) { return host.ItemDeleteById(NoteHandle{note}, ItemOf(item)); });
}

// The block names its own note: the item is copied from there into `note`.
STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFItemCopy(DHANDLE note, BLOCKID item) {
  return GuardedStatus([&](sim::SimHost& host) {
    return host.ItemCopy(NoteHandle{note}, NoteHandle{item.pool}, ItemOf(item));
  });
}

// Each item's name and value (type word first) in stored order.
STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NSFItemScan(DHANDLE note, NSFItemScanCallback callback, void* context) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (callback == nullptr) return kErrInvalidArgument;
    return host.ItemScan(NoteHandle{note}, [&](const ItemInfo& info) -> STATUS {
      std::string name = info.name;
      std::vector<uint8_t> value = info.value;
      return STATUS(callback(0, info.flags, name.data(), static_cast<WORD>(name.size()), value.data(),
                             static_cast<DWORD>(value.size()), context));
    });
  });
}

STANDIN_EXPORT WORD QUILLET_LNPUBLIC NSFItemConvertToText(DHANDLE note, const char* name, char* text, WORD size,
                                                          char separator) {
  return Guarded<WORD>(0, [&](sim::SimHost& host) -> WORD {
    if (name == nullptr || size == 0) return 0;
    std::string value;
    if (host.ItemAsText(NoteHandle{note}, name, value, separator, size) != kNoError) return CopyOut("", text, size);
    return CopyOut(value, text, size);
  });
}

STANDIN_CHECK(NSFItemInfo);
STANDIN_CHECK(NSFItemInfoNext);
STANDIN_CHECK(NSFItemQuery);
STANDIN_CHECK(NSFItemGetText);
STANDIN_CHECK(NSFItemGetNumber);
STANDIN_CHECK(NSFItemGetTime);
STANDIN_CHECK(NSFItemGetTextListEntries);
STANDIN_CHECK(NSFItemGetTextListEntry);
STANDIN_CHECK(NSFItemSetText);
STANDIN_CHECK(NSFItemSetNumber);
STANDIN_CHECK(NSFItemSetTime);
STANDIN_CHECK(NSFItemAppend);
STANDIN_CHECK(NSFItemDelete);
STANDIN_CHECK(NSFItemDeleteByBLOCKID);
STANDIN_CHECK(NSFItemCopy);
STANDIN_CHECK(NSFItemScan);
STANDIN_CHECK(NSFItemConvertToText);
