// A composite (rich-text) value: the records of every instance of an item,
// in stored order, re-emitted record by record into segments that are cut
// only between records. An outline value is one byte stream over all its
// instances (an entry may run on into the next instance); its records are
// not padded, and its segments are cut where the stored instances were cut
// (or as soon as a segment is full), so a rewrite that changes nothing
// writes the instances back as they were.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "design/cd_record.h"
#include "design/item_value.h"

namespace quillet {

class CKVXItemComposite : public CKVXItemValue {
 public:
  // Reads every instance of `name` in `note`, composite values in place:
  // the composite holds views of them, and the note must not change while
  // it lives. kErrItemNotFound when there is none or no instance holds a
  // record; enumerator and factory statuses are returned unchanged.
  [[nodiscard]] static Status32 FromNote(NoteHandle note, std::string_view name,
                                         std::unique_ptr<CKVXItemComposite>& out);
  // Reads one stored value, its type word first.
  [[nodiscard]] static Status32 FromValue(std::span<const uint8_t> value, std::unique_ptr<CKVXItemComposite>& out);

  // Emits the records into `out` until it is full, then returns 0 with
  // `cursor` set; the record that did not fit comes first on the next call.
  // A record that cannot be emitted within one segment: kErrRecordExceeds64K.
  Status32 Rewrite(const RewriteArgs& args, RecordBuffer& out, std::unique_ptr<RewriteCursor>& cursor) override;
  // Writes the records unchanged as segments of `name`.
  Status32 Write(NoteHandle note, std::string_view name, uint16_t itemFlags) const override;
  uint16_t Type() const override { return type_; }

  const std::vector<CKVXCDRecord*>& records() const { return records_; }

  ~CKVXItemComposite() override;
  CKVXItemComposite(const CKVXItemComposite&) = delete;
  CKVXItemComposite& operator=(const CKVXItemComposite&) = delete;

 private:
  explicit CKVXItemComposite(uint16_t type) : type_(type) {}
  // Keeps one stored value (type word first) and adds its records; the
  // instances of an outline are gathered for FinishOutline.
  Status32 AddValue(std::vector<uint8_t>&& value);
  // The same for a value read in place, kept as the view.
  Status32 AddView(ItemValueView&& view);
  // Adds the records of a composite value (type word first).
  Status32 AddRecords(std::span<const uint8_t> value);
  // Walks the gathered outline stream.
  Status32 FinishOutline();
  Status32 AddOutline(std::span<const uint8_t> data, std::span<const size_t> cuts);
  Status32 Add(uint16_t signature, std::span<const uint8_t> record);
  Status32 EmitRecords(const RewriteArgs& args, RecordBuffer& out, std::unique_ptr<RewriteCursor>& cursor) const;

  uint16_t type_;
  std::vector<std::vector<uint8_t>> values_;  // the stored values, which the records refer to
  std::vector<ItemValueView> views_;            // or, read in place, the host's
  RecordArena arena_{kArenaBlock};              // where the records live
  std::vector<CKVXCDRecord*> records_;          // in stored order
  std::vector<bool> plain_;                     // per record: copied as it is stored
  std::vector<bool> segmentStart_;              // per outline record: the stored instances were cut before it
  std::vector<uint8_t> outline_;                // the outline's instances, joined, until FinishOutline
  std::vector<size_t> outlineCuts_;             // where in `outline_` each further instance began
  static constexpr size_t kArenaBlock = 16384;
};

// Rewrites an embedded simple-action stream (a type word, then action
// records) in full into `out`, the type word copied as it is; either byte
// order of the type word is read as an action stream. A stream shorter than
// its type word is copied. kErrRecordExceeds64K when the rewritten records
// do not all fit.
[[nodiscard]] Status32 EmitNestedActions(std::span<const uint8_t> data, const RewriteArgs& args, RecordBuffer& out);

}  // namespace quillet
