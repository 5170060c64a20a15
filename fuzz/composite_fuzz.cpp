// Composite (rich-text) items through RewriteRichTextItem, as every profiling
// run of a form, action bar, navigator or agent rewrites them. Input: a
// control byte, the item's type word, then its value, stored as one to three
// instances of one name in a fresh note. The control byte picks the
// object-code callback (bits 0-1: one that copies, one that lengthens the
// code, one that refuses), the name (bits 2-4) and the number of instances
// (bits 5-7). A failed rewrite leaves
// every instance as it was; a rewrite of records writes segments of at most
// one segment's size whose records the host reads (an outline's segments
// are parts of one stream, which the rewrite reads again); a second copying
// rewrite of what a rewrite wrote changes nothing, outlines included.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "config/notes_api.h"
#include "design/item_reader.h"
#include "design/item_types.h"
#include "design/record_buffer.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/scratch_note.h"
#include "util/bytes.h"

namespace {

using namespace quillet;

constexpr std::string_view kDatabase = "fuzz/composite.nsf";
constexpr std::string_view kNames[] = {"$Body", "$ACTIONS", "$ViewMapLayout", "$AssistAction", "$AssistQuery"};
constexpr size_t kMaxInstances = 3;
constexpr Status32 kRefused = 0x7A11;  // a callback status no rewrite makes itself

Status32 Copy(PieceKind, std::span<const uint8_t> piece, uint32_t, RecordBuffer& out, CodeLocation*, void*) {
  return out.Append(piece);
}

Status32 Lengthen(PieceKind, std::span<const uint8_t> piece, uint32_t, RecordBuffer& out, CodeLocation*, void*) {
  if (const Status32 status = out.Append(piece)) return status;
  return out.AppendZeros(3);  // longer code, odd length
}

Status32 Refuse(PieceKind, std::span<const uint8_t>, uint32_t, RecordBuffer&, CodeLocation*, void*) {
  return kRefused;
}

constexpr RewriteCallback kCallbacks[] = {&Copy, &Lengthen, &Refuse};

struct Instance {
  uint16_t type = 0;
  std::vector<uint8_t> value;  // without the type word
  bool operator==(const Instance&) const = default;
};

std::vector<Instance> Instances(NoteHandle note, std::string_view name) {
  std::vector<Instance> found;
  ItemInfo info;
  for (STATUS s = Notes().ItemFind(note, name, info); s == kNoError; s = Notes().ItemFindNext(note, info.item, info))
    found.push_back({info.type, std::vector<uint8_t>(info.value.begin() + 2, info.value.end())});
  return found;
}

// Whether the host reads every segment as a sequence of whole records.
bool SegmentsRead(const std::vector<Instance>& segments) {
  for (const Instance& segment : segments) {
    if (segment.value.size() > RecordBuffer::kSegmentSize) return false;
    std::vector<uint8_t> value(2 + segment.value.size());
    StoreU16(value.data(), kTypeCompositeData);  // the reader hands every record-bearing type to the host so
    std::copy(segment.value.begin(), segment.value.end(), value.begin() + 2);
    const STATUS read = Notes().EnumerateCompositeRecords(
        value, [](uint16_t, std::span<const uint8_t>) -> STATUS { return kNoError; });
    if (read != kNoError) return false;
  }
  return true;
}

}  // namespace

namespace quillet::fuzz {

int Composite(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t control = data[0];
  const RewriteCallback callback = kCallbacks[(control & 3) % std::size(kCallbacks)];
  const std::string_view name = kNames[((control >> 2) & 7) % std::size(kNames)];
  const size_t instances = 1 + (control >> 5) % kMaxInstances;
  const uint16_t type = LoadU16(data + 1);
  const std::span<const uint8_t> value(data + 3, size - 3);

  ScratchNote scratch(kDatabase);
  if (!scratch.ok()) return 0;
  const NoteHandle note = scratch.handle();
  const size_t part = value.size() / instances;
  for (size_t i = 0; i < instances; ++i) {
    const size_t start = i * part;
    const size_t length = i + 1 == instances ? value.size() - start : part;
    if (Notes().ItemAppend(note, kItemSummary, name, type, value.subspan(start, length)) != kNoError) return 0;
  }
  const std::vector<Instance> before = Instances(note, name);

  const Status32 status = RewriteRichTextItem(note, name, nullptr, callback, nullptr);
  const std::vector<Instance> after = Instances(note, name);
  if (status != kNoError) {
    FUZZ_CHECK(after == before);
  } else if (after != before) {
    FUZZ_CHECK(!after.empty());
    if (type == kTypeOutline) {
      // Outline segments are cut anywhere between entries, not read one by one.
      for (const Instance& segment : after) FUZZ_CHECK(segment.value.size() <= RecordBuffer::kSegmentSize);
    } else if (IsCompositeType(after.front().type)) {
      FUZZ_CHECK(SegmentsRead(after));
    }
    FUZZ_CHECK(RewriteRichTextItem(note, name, nullptr, &Copy, nullptr) == kNoError);
    FUZZ_CHECK(Instances(note, name) == after);
  }
  FUZZ_CHECK(scratch.Close() == kNoError);
  return 0;
}

}  // namespace quillet::fuzz

QUILLET_FUZZ_ENTRY(Composite)
