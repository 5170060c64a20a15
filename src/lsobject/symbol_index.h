// The lookup index a symbol table keeps beside its data, so that repeated
// look-ups and relocations do not walk the whole table each time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillet {

// Each part describes the symbol data of one length: built by a walk, kept
// current by the Add operations (which record the new length), and rebuilt
// when the data length changed behind their back.
class SymbolIndex {
 public:
  static constexpr size_t kUnbuilt = SIZE_MAX;

  // Module-level entries: (kind, exact name text) -> first handle in walk order.
  bool NamesValid(size_t length) const { return namesLength_ == length; }
  void BeginNames(size_t length) {
    names_.clear();
    namesLength_ = length;
  }
  // Keeps the first handle recorded for a key.
  void AddName(uint16_t kind, std::string_view text, uint32_t handle) { names_.try_emplace(Key(kind, text), handle); }
  // Whether the key has an entry, and its first handle. A key an entry was
  // added to since the walk (NoteAddedName) is `unsure` and found nowhere
  // until the index is built again.
  bool FindName(uint16_t kind, std::string_view text, uint32_t& handle, bool& unsure) const {
    const auto it = names_.find(Key(kind, text));
    unsure = it != names_.end() && it->second == kUnsure;
    if (it == names_.end() || unsure) return false;
    handle = it->second;
    return true;
  }
  // Every append of entries first carries the index over to the new length
  // (an index describing some other length stays stale).
  void NoteGrowth(size_t oldLength, size_t newLength) {
    if (namesLength_ == oldLength) namesLength_ = newLength;
    if (proceduresLength_ == oldLength) proceduresLength_ = newLength;
  }
  // A module-level entry was added. A key already there makes the walk
  // order decide again which entry comes first: that key no longer answers
  // (the others do, as the new entry's place does not change theirs).
  void NoteAddedName(uint16_t kind, std::string_view text, uint32_t handle) {
    if (namesLength_ == kUnbuilt) return;
    const auto [it, added] = names_.try_emplace(Key(kind, text), handle);
    if (!added && it->second != handle) it->second = kUnsure;
  }

  // Offsets of the procedures with code that a recursive walk reaches.
  bool ProceduresValid(size_t length) const { return proceduresLength_ == length; }
  void SetProcedures(size_t length, std::vector<uint32_t> offsets) {
    procedures_ = std::move(offsets);
    proceduresLength_ = length;
  }
  const std::vector<uint32_t>& Procedures() const { return procedures_; }
  // Procedures reachable from the module scopes were added.
  void NoteAddedProcedures(std::initializer_list<uint32_t> offsets) {
    if (proceduresLength_ != kUnbuilt) procedures_.insert(procedures_.end(), offsets);
  }

  void Clear() {
    names_.clear();
    procedures_.clear();
    namesLength_ = kUnbuilt;
    proceduresLength_ = kUnbuilt;
  }

 private:
  static std::string Key(uint16_t kind, std::string_view text) {
    std::string key;
    key.reserve(text.size() + 2);
    key.push_back(static_cast<char>(kind >> 8));
    key.push_back(static_cast<char>(kind & 0xFF));
    key.append(text);
    return key;
  }

  // A key whose first entry only a walk can tell.
  static constexpr uint32_t kUnsure = UINT32_MAX;
  std::unordered_map<std::string, uint32_t> names_;
  std::vector<uint32_t> procedures_;
  size_t namesLength_ = kUnbuilt;
  size_t proceduresLength_ = kUnbuilt;
};

}  // namespace quillet
