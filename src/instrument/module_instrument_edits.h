// The procedures' new code, collected beside the module while it is being
// rewritten and installed in one pass at the end: the byte code is copied
// once and every code offset moved once.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <vector>

namespace quillet {

class CodeEdits {
 public:
  // `codeOffsets`: every code offset an edit may start at (the listed
  // procedures'); InsertedBefore counts over these.
  explicit CodeEdits(std::vector<uint32_t> codeOffsets);

  // Whether [start, start + oldLength) (at least the byte at start) meets a
  // range an earlier edit replaces.
  bool Overlaps(uint32_t start, uint32_t oldLength) const;
  // Replaces the `oldLength` bytes at `start` by `bytes`.
  // REQUIRES: !Overlaps(start, oldLength); start is one of the code offsets.
  void Add(uint32_t start, uint32_t oldLength, std::vector<uint8_t> bytes);
  // The bytes the edits added so far insert before `offset`: where code at
  // `offset` would stand had each edit been applied to the byte code in turn.
  int64_t InsertedBefore(uint32_t offset) const;
  bool Empty() const { return edits_.empty(); }

  // The byte code with every edit applied. REQUIRES: every range lies in `code`.
  std::vector<uint8_t> Apply(std::span<const uint8_t> code) const;
  // The new position of a code offset: moved by every edit starting below it.
  uint32_t Relocate(uint32_t offset) const;

 private:
  struct Edit {
    uint32_t oldLength;
    std::vector<uint8_t> bytes;
  };
  size_t Rank(uint32_t offset) const;  // index of the first code offset >= offset

  std::map<uint32_t, Edit> edits_;  // by start
  std::vector<uint32_t> offsets_;   // sorted, unique
  std::vector<int64_t> tree_;       // Fenwick tree of inserted bytes by rank
};

}  // namespace quillet
