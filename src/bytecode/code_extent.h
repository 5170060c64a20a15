// Where procedures' code lies in the byte code, and which procedures share
// bytes: a rewrite of one procedure must not move or split another's code.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace quillet {

// One past the OpEndSub that ends the code starting at `start`, found by
// decoding instruction after instruction; nullopt when the code does not
// decode up to an OpEndSub inside `code`.
std::optional<uint32_t> ProcedureCodeEnd(std::span<const uint8_t> code, uint32_t start) noexcept;

// Procedures' code walked once each: where it ends and the length of each
// instruction (the OpEndSub's last; 0 for one over 255 bytes), kept so that
// a later decode of the same bytes need not walk them again.
class CodeWalks {
 public:
  // The end of the code at `start`, as ProcedureCodeEnd, walked the first
  // time a start is asked for. Throws only what keeping the lengths throws.
  std::optional<uint32_t> Walk(std::span<const uint8_t> code, uint32_t start);
  // The lengths found walking from `start`; empty when it was not walked or
  // did not decode.
  std::span<const uint8_t> Lengths(uint32_t start) const;
  // Forgets every walk, keeping the memory for the next module's.
  void Clear() {
    walked_.clear();
    lengths_.clear();
  }
  size_t HeldBytes() const { return lengths_.capacity(); }

 private:
  struct Walked {
    std::optional<uint32_t> end;
    size_t first = 0, count = 0;  // in lengths_
  };
  std::map<uint32_t, Walked> walked_;
  std::vector<uint8_t> lengths_;
};

// Whether `bytes` decode into whole instructions ending exactly at their
// end, none of them an OpEndSub: code that can be put between instructions
// without changing where a procedure ends.
bool DecodesAsInsertableCode(std::span<const uint8_t> bytes) noexcept;

// For each procedure start of `starts`, whether its code shares bytes with
// another procedure's: its code (start to the end of its OpEndSub) holds
// another start, or its start lies inside another's code. Procedures that
// start at the same offset share all their code and count as one; code that
// does not decode counts as its start alone.
// `known` holds ends found earlier for starts whose code (start to end) is
// the same bytes in `code`: they are not decoded again.
std::vector<bool> OverlappingCode(std::span<const uint8_t> code, std::span<const uint32_t> starts,
                                  const std::map<uint32_t, uint32_t>& known = {});

}  // namespace quillet
