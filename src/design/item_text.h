// Text and text-list item values, and the two reading services built on
// them: an item's lines, and an item rendered as one line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "design/item_value.h"

namespace quillet {

// A text value (type 0x0500): its bytes, no character-set conversion.
class CKVXItemText : public CKVXItemBinary {
 public:
  using CKVXItemBinary::CKVXItemBinary;
  std::string GetText() const { return std::string(bytes().begin(), bytes().end()); }
};

// A text-list value (type 0x0501): u16 entry count, u16 length per entry,
// then the entries.
class CKVXItemTextList : public CKVXItemBinary {
 public:
  using CKVXItemBinary::CKVXItemBinary;
  // Replaces `entries` by the list's entries in order; a list whose counts
  // or lengths run past its bytes gives the entries that fit.
  void Entries(std::vector<std::string>& entries) const;
};

// The first instance of `name` read with no read flags.
[[nodiscard]] Status32 ReadItemValue(NoteHandle note, std::string_view name, std::unique_ptr<CKVXItemValue>& value);

// Replaces `lines` by the text of a text item (one entry) or the entries of
// a text-list item; kErrItemNotFound for a missing or unreadable item and
// for any other type (`lines` then stays empty).
[[nodiscard]] Status32 ReadTextItemLines(NoteHandle note, std::string_view name, std::vector<std::string>& lines);

// The whole item rendered by the host as text with "|" between its values,
// at most 65534 bytes; returns the length of `line`.
uint16_t ReadItemAsLine(NoteHandle note, std::string_view name, std::string& line);

}  // namespace quillet
