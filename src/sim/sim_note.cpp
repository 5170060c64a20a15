// Item-list operations of a simulated note.
#include "sim/sim_note.h"
#include "util/ascii.h"
#include "util/bytes.h"

#include <algorithm>

namespace quillet::sim {

bool ItemNameEquals(std::string_view a, std::string_view b) {
  return AsciiEqualNoCase(a, b);
}

const SimItem* SimNote::Find(std::string_view name) const {
  for (const SimItem& item : items) {
    if (ItemNameEquals(item.name, name)) return &item;
  }
  return nullptr;
}

const SimItem* SimNote::FindNext(uint32_t serial) const {
  auto at = std::find_if(items.begin(), items.end(), [&](const SimItem& item) { return item.serial == serial; });
  if (at == items.end()) return nullptr;
  const std::string& name = at->name;
  for (auto next = at + 1; next != items.end(); ++next) {
    if (ItemNameEquals(next->name, name)) return &*next;
  }
  return nullptr;
}

const SimItem* SimNote::BySerial(uint32_t serial) const {
  for (const SimItem& item : items) {
    if (item.serial == serial) return &item;
  }
  return nullptr;
}

uint32_t SimNote::Append(uint16_t flags, std::string_view name, uint16_t type, std::span<const uint8_t> value,
                         std::vector<uint8_t> storage) {
  SimItem item;
  item.stored = std::move(storage);
  item.stored.clear();
  item.serial = nextSerial++;
  item.name = std::string(name);
  item.flags = flags;
  item.stored.reserve(2 + value.size());
  item.stored.resize(2);
  StoreU16(item.stored.data(), type);
  item.stored.insert(item.stored.end(), value.begin(), value.end());
  items.push_back(std::move(item));
  return items.back().serial;
}

bool SimNote::DeleteFirst(std::string_view name, std::vector<uint8_t>* freed) {
  auto at = std::find_if(items.begin(), items.end(), [&](const SimItem& item) { return ItemNameEquals(item.name, name); });
  if (at == items.end()) return false;
  if (freed != nullptr) *freed = std::move(at->stored);
  items.erase(at);
  return true;
}

bool SimNote::DeleteSerial(uint32_t serial, std::vector<uint8_t>* freed) {
  auto at = std::find_if(items.begin(), items.end(), [&](const SimItem& item) { return item.serial == serial; });
  if (at == items.end()) return false;
  if (freed != nullptr) *freed = std::move(at->stored);
  items.erase(at);
  return true;
}

size_t SimNote::DeleteAll(std::string_view name) {
  return std::erase_if(items, [&](const SimItem& item) { return ItemNameEquals(item.name, name); });
}

}  // namespace quillet::sim
