// A simulated note: identity, class, signature state and its items in stored
// order, with the item-list operations the host performs on it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/notes_api.h"
#include "util/bytes.h"

namespace quillet::sim {

// Item names compare ignoring ASCII case, as the host does.
bool ItemNameEquals(std::string_view a, std::string_view b);

// One stored item instance. `serial` identifies it within its note for as
// long as it exists and is never reused by that note. The type word is kept
// in front of the value, as the host keeps values, so that a value can be
// read in place.
struct SimItem {
  uint32_t serial = 0;
  std::string name;
  uint16_t flags = 0;
  std::vector<uint8_t> stored;  // the type word, then the value; never shorter than 2

  uint16_t type() const { return LoadU16(stored.data()); }
  std::span<const uint8_t> value() const { return std::span(stored).subspan(2); }
};

struct SimSignature {
  bool isSigned = false;
  bool sealed = false;
  std::string signer;
  std::string certifier;
};

// A note as stored in a database or held open through a handle. Copying a
// SimNote copies everything: open notes are working copies of stored ones.
struct SimNote {
  NoteId id = 0;  // 0 until the note is first stored
  uint16_t noteClass = kNoteClassDocument;
  OriginatorId originator;
  TimeDate modified;
  SimSignature signature;
  std::vector<SimItem> items;
  uint32_t nextSerial = 1;

  // The first instance of `name`, or null.
  const SimItem* Find(std::string_view name) const;
  // The next instance with the same name as the item `serial`, or null.
  const SimItem* FindNext(uint32_t serial) const;
  const SimItem* BySerial(uint32_t serial) const;
  // Appends an instance and returns its serial. The value is kept in
  // `storage` (its memory reused when it has room), else in new memory.
  uint32_t Append(uint16_t flags, std::string_view name, uint16_t type, std::span<const uint8_t> value,
                  std::vector<uint8_t> storage = {});
  // `freed`, when given, receives the deleted instance's value memory.
  bool DeleteFirst(std::string_view name, std::vector<uint8_t>* freed = nullptr);
  bool DeleteSerial(uint32_t serial, std::vector<uint8_t>* freed = nullptr);
  // Removes every instance of `name`; returns how many there were.
  size_t DeleteAll(std::string_view name);
};

}  // namespace quillet::sim
