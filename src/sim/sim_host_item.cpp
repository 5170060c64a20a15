// The simulated host's item operations and file attachments.
#include <fstream>
#include <iterator>

#include "sim/sim_host.h"
#include "sim/sim_path.h"
#include "sim/sim_value.h"
#include "util/bytes.h"

namespace quillet::sim {

namespace {
constexpr size_t kItemNameMax = 255;
constexpr std::string_view kAttachmentItem = "$FILE";

// Cuts to `bufferSize - 1` bytes (the host's terminated buffer).
uint16_t CutToBuffer(std::string_view text, uint16_t bufferSize, std::string& out) {
  const size_t length = bufferSize == 0 ? 0 : std::min<size_t>(text.size(), bufferSize - 1u);
  out.assign(text.substr(0, length));
  return static_cast<uint16_t>(length);
}

bool ValidName(std::string_view name) { return !name.empty() && name.size() <= kItemNameMax; }

// Text and text-list entries of an item; empty for other types.
std::vector<std::string> TextEntries(const SimItem* item) {
  if (item == nullptr || (item->type() != kTypeText && item->type() != kTypeTextList)) return {};
  return ValueAsTextEntries(item->type(), item->value());
}

std::string BaseName(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}
}  // namespace

const SimItem* SimHost::ItemOf(NoteHandle note, ItemId item) {
  OpenNote* open = NoteOf(note);
  if (open == nullptr || item.note != note.value) return nullptr;
  return open->note.BySerial(item.item);
}

STATUS SimHost::NoteForChange(NoteHandle note, OpenNote*& open) {
  open = NoteOf(note);
  if (open == nullptr) return kErrInvalidHandle;
  return open->heldViews == 0 ? kNoError : kErrValuesHeld;
}

void SimHost::HoldView(NoteHandle note, OpenNote& open, const SimItem& item, ItemValueView& view) {
  ++open.heldViews;
  view.Hold(*this, note.value, ItemId{note.value, item.serial}, item.flags, item.type(), item.stored);
}

ItemInfo SimHost::InfoOf(NoteHandle note, const SimItem& item) const {
  ItemInfo info;
  info.item = ItemId{note.value, item.serial};
  info.name = item.name;
  info.flags = item.flags;
  info.type = item.type();
  info.value.assign(item.stored.begin(), item.stored.end());
  return info;
}

STATUS SimHost::ItemFind(NoteHandle note, std::string_view name, ItemInfo& info) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("ItemFind")) return failure;
  OpenNote* open = NoteOf(note);
  if (open == nullptr) return kErrInvalidHandle;
  const SimItem* item = open->note.Find(name);
  if (item == nullptr) return kErrItemNotFound;
  info = InfoOf(note, *item);
  return kNoError;
}

STATUS SimHost::ItemFindNext(NoteHandle note, ItemId previous, ItemInfo& info) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("ItemFindNext")) return failure;
  OpenNote* open = NoteOf(note);
  if (open == nullptr) return kErrInvalidHandle;
  const SimItem* item = previous.note == note.value ? open->note.FindNext(previous.item) : nullptr;
  if (item == nullptr) return kErrItemNotFound;
  info = InfoOf(note, *item);
  return kNoError;
}

STATUS SimHost::ItemQuery(NoteHandle note, ItemId item, ItemInfo& info) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("ItemQuery")) return failure;
  if (NoteOf(note) == nullptr) return kErrInvalidHandle;
  const SimItem* found = ItemOf(note, item);
  if (found == nullptr) return kErrItemNotFound;
  info = InfoOf(note, *found);
  return kNoError;
}

// The view is released outside the host's lock: it calls back into the host.
STATUS SimHost::ItemFindView(NoteHandle note, std::string_view name, ItemValueView& view) {
  view.Release();
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("ItemFindView")) return failure;
  OpenNote* open = NoteOf(note);
  if (open == nullptr) return kErrInvalidHandle;
  const SimItem* item = open->note.Find(name);
  if (item == nullptr) return kErrItemNotFound;
  HoldView(note, *open, *item, view);
  return kNoError;
}

STATUS SimHost::ItemFindNextView(NoteHandle note, ItemId previous, ItemValueView& view) {
  view.Release();
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("ItemFindNextView")) return failure;
  OpenNote* open = NoteOf(note);
  if (open == nullptr) return kErrInvalidHandle;
  const SimItem* item = previous.note == note.value ? open->note.FindNext(previous.item) : nullptr;
  if (item == nullptr) return kErrItemNotFound;
  HoldView(note, *open, *item, view);
  return kNoError;
}

void SimHost::ItemViewRelease(uint32_t lock) {
  std::lock_guard guard(mu_);
  OpenNote* open = NoteOf(NoteHandle{lock});
  if (open != nullptr && open->heldViews > 0) --open->heldViews;
}

uint16_t SimHost::ItemText(NoteHandle note, std::string_view name, std::string& text, uint16_t bufferSize) {
  std::lock_guard lock(mu_);
  OpenNote* open = NoteOf(note);
  const std::vector<std::string> entries = TextEntries(open ? open->note.Find(name) : nullptr);
  return CutToBuffer(entries.empty() ? std::string_view() : entries.front(), bufferSize, text);
}

bool SimHost::ItemNumber(NoteHandle note, std::string_view name, double& value) {
  std::lock_guard lock(mu_);
  OpenNote* open = NoteOf(note);
  const SimItem* item = open ? open->note.Find(name) : nullptr;
  if (item == nullptr || item->type() != kTypeNumber) return false;
  auto number = DecodeNumber(item->value());
  if (!number) return false;
  value = *number;
  return true;
}

bool SimHost::ItemTime(NoteHandle note, std::string_view name, TimeDate& value) {
  std::lock_guard lock(mu_);
  OpenNote* open = NoteOf(note);
  const SimItem* item = open ? open->note.Find(name) : nullptr;
  if (item == nullptr || item->type() != kTypeTime) return false;
  auto time = DecodeTime(item->value());
  if (!time) return false;
  value = *time;
  return true;
}

uint16_t SimHost::ItemTextListCount(NoteHandle note, std::string_view name) {
  std::lock_guard lock(mu_);
  OpenNote* open = NoteOf(note);
  return static_cast<uint16_t>(TextEntries(open ? open->note.Find(name) : nullptr).size());
}

uint16_t SimHost::ItemTextListEntry(NoteHandle note, std::string_view name, uint16_t index, std::string& text,
                                    uint16_t bufferSize) {
  std::lock_guard lock(mu_);
  OpenNote* open = NoteOf(note);
  const std::vector<std::string> entries = TextEntries(open ? open->note.Find(name) : nullptr);
  return CutToBuffer(index < entries.size() ? std::string_view(entries[index]) : std::string_view(), bufferSize,
                     text);
}

// The host's set operations drop every instance and append one summary item.
STATUS SimHost::SetItemLocked(NoteHandle note, std::string_view name, uint16_t type, std::span<const uint8_t> value) {
  OpenNote* open = nullptr;
  if (STATUS status = NoteForChange(note, open)) return status;
  if (!ValidName(name)) return kErrInvalidArgument;
  open->note.DeleteAll(name);
  open->note.Append(kItemSummary, name, type, value);
  return kNoError;
}

STATUS SimHost::ItemSetText(NoteHandle note, std::string_view name, std::string_view text) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("ItemSetText")) return failure;
  return SetItemLocked(note, name, kTypeText, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

STATUS SimHost::ItemSetNumber(NoteHandle note, std::string_view name, double value) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("ItemSetNumber")) return failure;
  return SetItemLocked(note, name, kTypeNumber, EncodeNumber(value));
}

STATUS SimHost::ItemSetTime(NoteHandle note, std::string_view name, const TimeDate& value) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("ItemSetTime")) return failure;
  return SetItemLocked(note, name, kTypeTime, EncodeTime(value));
}

STATUS SimHost::ItemAppend(NoteHandle note, uint16_t flags, std::string_view name, uint16_t type,
                           std::span<const uint8_t> value) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("ItemAppend")) return failure;
  OpenNote* open = nullptr;
  if (STATUS status = NoteForChange(note, open)) return status;
  if (!ValidName(name)) return kErrInvalidArgument;
  open->note.Append(flags, name, type, value, spareValues_.Take(2 + value.size()));
  return kNoError;
}

STATUS SimHost::ItemDelete(NoteHandle note, std::string_view name) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("ItemDelete")) return failure;
  OpenNote* open = nullptr;
  if (STATUS status = NoteForChange(note, open)) return status;
  std::vector<uint8_t> freed;
  if (!open->note.DeleteFirst(name, &freed)) return kErrItemNotFound;
  spareValues_.Give(std::move(freed));
  return kNoError;
}

STATUS SimHost::ItemDeleteById(NoteHandle note, ItemId item) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("ItemDeleteById")) return failure;
  OpenNote* open = nullptr;
  if (STATUS status = NoteForChange(note, open)) return status;
  std::vector<uint8_t> freed;
  if (item.note != note.value || !open->note.DeleteSerial(item.item, &freed)) return kErrItemNotFound;
  spareValues_.Give(std::move(freed));
  return kNoError;
}

STATUS SimHost::ItemCopy(NoteHandle target, NoteHandle source, ItemId item) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("ItemCopy")) return failure;
  OpenNote* to = nullptr;
  if (NoteOf(source) == nullptr) return kErrInvalidHandle;
  if (STATUS status = NoteForChange(target, to)) return status;
  const SimItem* from = ItemOf(source, item);
  if (from == nullptr) return kErrItemNotFound;
  // Copy first: appending to the same note may move `from`.
  const SimItem copy = *from;
  to->note.Append(copy.flags, copy.name, copy.type(), copy.value());
  return kNoError;
}

STATUS SimHost::ItemScan(NoteHandle note, const ItemScanCallback& callback) {
  std::vector<ItemInfo> items;
  {
    std::lock_guard lock(mu_);
    if (STATUS failure = TakeFailure("ItemScan")) return failure;
    OpenNote* open = NoteOf(note);
    if (open == nullptr) return kErrInvalidHandle;
    for (const SimItem& item : open->note.items) items.push_back(InfoOf(note, item));
  }
  for (const ItemInfo& info : items) {
    if (STATUS status = callback(info)) return status;
  }
  return kNoError;
}

STATUS SimHost::ItemAsText(NoteHandle note, std::string_view name, std::string& text, char separator,
                           uint16_t bufferSize) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("ItemAsText")) return failure;
  OpenNote* open = NoteOf(note);
  if (open == nullptr) return kErrInvalidHandle;
  const SimItem* item = open->note.Find(name);
  if (item == nullptr) return kErrItemNotFound;
  std::string joined;
  const std::vector<std::string> entries = ValueAsTextEntries(item->type(), item->value());
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) joined += separator;
    joined += entries[i];
  }
  CutToBuffer(joined, bufferSize, text);
  return kNoError;
}

STATUS SimHost::AttachFile(NoteHandle note, std::string_view filePath, std::string_view attachmentName) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("AttachFile")) return failure;
  OpenNote* open = nullptr;
  if (STATUS status = NoteForChange(note, open)) return status;
  if (attachmentName.size() > kItemNameMax) return kErrInvalidArgument;
  std::ifstream in(ResolveFilePath(filePath, dataDir_), std::ios::binary);
  if (!in) return kErrFileNotFound;
  std::vector<uint8_t> content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad() || content.size() > UINT32_MAX) return kErrFileNotFound;
  AttachmentRef ref{nextObject_++, static_cast<uint32_t>(content.size()),
                    attachmentName.empty() ? BaseName(filePath) : std::string(attachmentName)};
  objects_[ref.objectId] = std::move(content);
  open->note.Append(0, kAttachmentItem, kTypeObject, EncodeAttachment(ref));
  return kNoError;
}

STATUS SimHost::ExtractFile(NoteHandle note, ItemId attachment, std::string_view filePath) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("ExtractFile")) return failure;
  if (NoteOf(note) == nullptr) return kErrInvalidHandle;
  const SimItem* item = ItemOf(note, attachment);
  if (item == nullptr || item->type() != kTypeObject || !ItemNameEquals(item->name, kAttachmentItem)) {
    return kErrAttachmentNotFound;
  }
  auto ref = DecodeAttachment(item->value());
  auto object = ref ? objects_.find(ref->objectId) : objects_.end();
  if (object == objects_.end()) return kErrAttachmentNotFound;
  std::ofstream out(ResolveFilePath(filePath, dataDir_), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(object->second.data()), static_cast<std::streamsize>(object->second.size()));
  out.close();
  return out ? kNoError : kErrFileWriteFailed;
}

}  // namespace quillet::sim
