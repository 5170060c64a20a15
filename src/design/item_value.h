// Typed item values of design notes: the abstract value, plain binary
// values and the segment list a rewritten item is written back from.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "config/notes_api.h"
#include "design/record_buffer.h"
#include "design/rewrite_contract.h"

namespace quillet {

// Where a value that spans several buffers stands between Rewrite calls.
struct RewriteCursor {
  virtual ~RewriteCursor() = default;
};

class CKVXItemValue {
 public:
  virtual ~CKVXItemValue() = default;
  // Appends the stored form of the value, possibly rewritten, to `out`. A
  // value that cannot finish within one buffer leaves `cursor` set and
  // expects to be called again with an emptied buffer; `cursor` is empty on
  // the first call and again once the value is done.
  [[nodiscard]] virtual Status32 Rewrite(const RewriteArgs& args, RecordBuffer& out,
                                         std::unique_ptr<RewriteCursor>& cursor) = 0;
  // Writes the value into the note as items named `name`.
  [[nodiscard]] virtual Status32 Write(NoteHandle note, std::string_view name, uint16_t itemFlags) const = 0;
  virtual uint16_t Type() const = 0;
};

// A value kept as its bytes (without the type word) and rewritten unchanged.
class CKVXItemBinary : public CKVXItemValue {
 public:
  CKVXItemBinary(uint16_t type, std::span<const uint8_t> bytes) : type_(type), bytes_(bytes.begin(), bytes.end()) {}
  Status32 Rewrite(const RewriteArgs& args, RecordBuffer& out, std::unique_ptr<RewriteCursor>& cursor) override;
  Status32 Write(NoteHandle note, std::string_view name, uint16_t itemFlags) const override;
  uint16_t Type() const override { return type_; }
  std::span<const uint8_t> bytes() const { return bytes_; }

 private:
  uint16_t type_;
  std::vector<uint8_t> bytes_;
};

// A compiled-formula value (type 0x0600), rewritten by the formula
// re-encoder.
class CKVXItemFormula : public CKVXItemBinary {
 public:
  using CKVXItemBinary::CKVXItemBinary;
  Status32 Rewrite(const RewriteArgs& args, RecordBuffer& out, std::unique_ptr<RewriteCursor>& cursor) override;
};

// A placeholder for a value that is not read: nothing to rewrite or write.
class CKVXItemNullEnum : public CKVXItemValue {
 public:
  explicit CKVXItemNullEnum(uint16_t type) : type_(type) {}
  Status32 Rewrite(const RewriteArgs&, RecordBuffer&, std::unique_ptr<RewriteCursor>&) override;
  Status32 Write(NoteHandle, std::string_view, uint16_t) const override { return kNoError; }
  uint16_t Type() const override { return type_; }

 private:
  uint16_t type_;
};

// Compiled LotusScript held as an item of its own (type 0x0014): its code
// is the script items' business, so a rewrite only tells the callback (an
// empty object-code piece) and there is nothing to write back.
class CKVXItemLSObject : public CKVXItemValue {
 public:
  Status32 Rewrite(const RewriteArgs& args, RecordBuffer& out, std::unique_ptr<RewriteCursor>& cursor) override;
  Status32 Write(NoteHandle, std::string_view, uint16_t) const override { return kNoError; }
  uint16_t Type() const override { return kTypeLsObject; }
};

// Segments of one item, each written as its own instance of the name.
class CKVXItemMultiBinary : public CKVXItemValue {
 public:
  // Takes `buffer` as the last segment: its bytes are the segment's value,
  // kept where they were emitted rather than copied (an item is rewritten
  // segment by segment into fresh buffers).
  [[nodiscard]] Status32 AddSegment(uint16_t type, std::unique_ptr<RecordBuffer> buffer);
  // One segment per call, in order.
  Status32 Rewrite(const RewriteArgs& args, RecordBuffer& out, std::unique_ptr<RewriteCursor>& cursor) override;
  // Every segment in order; stops at the first failure.
  Status32 Write(NoteHandle note, std::string_view name, uint16_t itemFlags) const override;
  uint16_t Type() const override { return type_; }
  size_t size() const { return segments_.size(); }
  // Hands the segment buffers over (for reuse), leaving the list empty.
  std::vector<std::unique_ptr<RecordBuffer>> TakeSegments() { return std::exchange(segments_, {}); }

 private:
  uint16_t type_ = 0;  // of the first segment
  std::vector<std::unique_ptr<RecordBuffer>> segments_;
};

}  // namespace quillet
