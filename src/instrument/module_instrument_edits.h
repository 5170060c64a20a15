// The procedures' new code, collected beside the module while it is being
// rewritten and installed in one pass at the end: the byte code is copied
// once and every code offset moved once. The buffers of the new bytes are
// handed back to the callers to fill again, and kept by Reset for the next
// module, so a rewrite allocates them only while they still grow.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "util/uninit_vector.h"

namespace quillet {

// Where an edit put code into the procedure's old bytes, for moving the
// labels inside them: `prefix` bytes before its first byte (entry code),
// then a line call of `callLength` bytes before the old byte at each offset
// of `calls` (ascending, counted from the procedure's start).
struct EditInsertions {
  uint32_t prefix = 0;
  std::vector<uint32_t> calls;
  uint32_t callLength = 0;
};

class CodeEdits {
 public:
  // `codeOffsets`: every code offset an edit may start at (the listed
  // procedures'); InsertedBefore counts over these.
  CodeEdits() = default;
  explicit CodeEdits(std::span<const uint32_t> codeOffsets) { Reset(codeOffsets); }
  // Drops every edit and starts over with these code offsets; the buffers
  // keep their memory.
  void Reset(std::span<const uint32_t> codeOffsets);

  // Whether [start, start + oldLength) (at least the byte at start) meets a
  // range an earlier edit replaces.
  bool Overlaps(uint32_t start, uint32_t oldLength) const;
  // Replaces the `oldLength` bytes at `start` by `bytes`, which are the old
  // bytes with `insertions` put in. Takes the contents of `bytes` and leaves
  // it empty (holding a spare buffer's memory).
  // REQUIRES: !Overlaps(start, oldLength); start is one of the code offsets.
  void Add(uint32_t start, uint32_t oldLength, UninitVector<uint8_t>& bytes, const EditInsertions& insertions);
  // The bytes the edits added so far insert before `offset`: where code at
  // `offset` would stand had each edit been applied to the byte code in turn.
  int64_t InsertedBefore(uint32_t offset) const;
  bool Empty() const { return edits_.empty(); }
  // The memory the buffers hold.
  size_t HeldBytes() const;

  // The byte code with every edit applied. REQUIRES: every range lies in `code`.
  std::vector<uint8_t> Apply(std::span<const uint8_t> code) const;
  // The new position of a code offset: moved by every edit starting below it.
  uint32_t Relocate(uint32_t offset) const;
  // The new position of a label at `position`: inside an edit's old bytes
  // (or at the start of one that only inserts) it keeps its instruction,
  // behind the entry code and the line calls inserted before that
  // instruction; elsewhere as Relocate. Inserting each piece in turn and
  // moving the labels at or after a procedure's start, and those after each
  // line call's position, gives the same.
  uint32_t RelocateLabel(uint32_t position) const;
  // Where the old code [start, end) stands once the edits are applied:
  // from Relocate(start), grown by an edit at `start` that lies inside it.
  // nullopt when an edit starts inside it elsewhere, reaches past `end`, or
  // an earlier edit's old bytes reach into it. Where each edit's bytes are
  // its old bytes with whole instructions (no OpEndSub) put between
  // instructions and only jump distances changed, code that decoded from
  // `start` to an OpEndSub ending at `end` decodes from the new start to the
  // new end.
  std::optional<std::pair<uint32_t, uint32_t>> RelocateRange(uint32_t start, uint32_t end) const;

 private:
  // An edit's call offsets are a range of calls_.
  struct Edit {
    uint32_t oldLength;
    UninitVector<uint8_t> bytes;
    size_t callsAt, callsLength;
    uint32_t prefix, callLength;
  };
  size_t Rank(uint32_t offset) const;  // index of the first code offset >= offset

  std::map<uint32_t, Edit> edits_;  // by start
  std::vector<UninitVector<uint8_t>> spare_;  // emptied buffers of earlier edits
  std::vector<uint32_t> calls_;
  std::vector<uint32_t> offsets_;   // sorted, unique
  std::vector<int64_t> tree_;       // Fenwick tree of inserted bytes by rank
};

}  // namespace quillet
