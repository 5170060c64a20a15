// Reading a named item of an open note as a typed value, and the rewrite of
// a rich-text item that every profiling run of a form, subform, page or
// navigator goes through.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "config/notes_api.h"
#include "design/item_value.h"

namespace quillet {

class CodeLocation;

// Read flags.
inline constexpr uint16_t kReadAsBinary = 0x01;         // values past stage 1 become plain binary values
inline constexpr uint16_t kReadTextAsScript = 0x02;     // text becomes LotusScript source
inline constexpr uint16_t kReadTextAsObjectCode = 0x04; // text becomes object code
inline constexpr uint16_t kReadPlaceholder = 0x08;      // unread types and repeated names give placeholders
inline constexpr uint16_t kReadFirstInstanceOnly = 0x10;

// The value of one stored instance: composites from every instance of the
// name, placeholders and binary values by type and read flags. `value`
// holds the instance's type word first. kErrUnsupportedDatatype for a
// non-composite item with further instances read without kReadPlaceholder
// or kReadFirstInstanceOnly.
[[nodiscard]] Status32 CreateItemValue(std::string_view name, NoteHandle note, ItemId instance, uint16_t readFlags,
                                       std::span<const uint8_t> value, std::unique_ptr<CKVXItemValue>& out);

class CKVXItemReader {
 public:
  // Finds the first instance of `name` (kErrItemNotFound when none) and
  // reads its value under `readFlags`.
  [[nodiscard]] Status32 Open(NoteHandle note, std::string_view name, uint16_t readFlags);

  CKVXItemValue* value() const { return value_.get(); }
  uint16_t itemFlags() const { return itemFlags_; }
  ItemId firstInstance() const { return first_; }

 private:
  NoteHandle note_;
  std::string name_;
  uint16_t itemFlags_ = 0;
  uint16_t readFlags_ = 0;
  std::unique_ptr<CKVXItemValue> value_;
  ItemId first_;
};

// Rewrites the rich-text item `name` of `note` with its object code handed
// to `callback`: the old instances are replaced by segments of at most
// 65404 bytes, cut between records, each with the first old instance's item
// flags. A placeholder value leaves the note untouched and returns 0; on any
// failure the note keeps its old item. Drops the transient entries of
// `location` (may be null) at the end.
[[nodiscard]] Status32 RewriteRichTextItem(NoteHandle note, std::string_view name, CodeLocation* location,
                                           RewriteCallback callback, void* user);

}  // namespace quillet
