// The string table (type 3) and its extended handle table (type 9).
//
// String entry, at a position that is a multiple of 4:
//   | off    | width | meaning                                               |
//   |      0 | u16   | hash-chain link: next string's handle - 4; 0xFFFF end |
//   |      2 | u16   | n, the number of UTF-16 code units                    |
//   |      4 | n×u16 | the text, UTF-16LE                                    |
//   | 4 + 2n | u16   | 0, terminator                                         |
//   | 6 + 2n | u16   | 0, only when needed to end on a multiple of 4         |
// A string's offset is its entry position + 4. Entries never cross a segment:
// once a segment is full the next entry starts at the next 64 KiB boundary.
//
// A string handle is 16 bits: the extended table maps it to an offset when it
// holds that index, otherwise the handle is the offset itself; 0xFFFF is the
// empty string.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lsobject/header.h"
#include "lsobject/module_text.h"
#include "lsobject/table_extention.h"
#include "util/bytes.h"

namespace quillet {

namespace strings {
inline constexpr uint16_t kEmptyHandle = 0xFFFF;
inline constexpr uint16_t kEndOfChain = 0xFFFF;
inline constexpr uint32_t kEntryHeaderSize = 4;   // link, count
inline constexpr uint32_t kMaxDirectOffset = 0xFFFF;  // offsets up to here are their own handle
// The longest text one entry may hold: an entry must fit a segment.
inline constexpr size_t kMaxUnits = 0x7FF0;

// The bytes of an entry holding `units` code units: link, count, the units,
// a 0 terminator, and one more 0 word when needed to end on a multiple of 4.
constexpr size_t EntrySize(size_t units) { return (kEntryHeaderSize + 2 * units + 2 + 3) & ~size_t{3}; }

// Appends the entry of `units` to `out`, its link ending the chain.
inline void AppendEntry(std::vector<uint8_t>& out, std::u16string_view units) {
  const size_t at = out.size();
  out.resize(at + EntrySize(units.size()), 0);
  StoreU16(out.data() + at, kEndOfChain);
  StoreU16(out.data() + at + 2, static_cast<uint16_t>(units.size()));
  StoreUtf16Le(out.data() + at + kEntryHeaderSize, units);
}

// AppendEntry of `text` widened unit for unit. REQUIRES: IsPrintableAscii(text).
inline void AppendAsciiEntry(std::vector<uint8_t>& out, std::string_view text) {
  const size_t at = out.size();
  out.resize(at + EntrySize(text.size()), 0);
  StoreU16(out.data() + at, kEndOfChain);
  StoreU16(out.data() + at + 2, static_cast<uint16_t>(text.size()));
  uint8_t* units = out.data() + at + kEntryHeaderSize;
  for (size_t i = 0; i < text.size(); ++i) units[2 * i] = static_cast<uint8_t>(text[i]);  // high bytes stay 0
}
}  // namespace strings

// 16-bit string handle -> 32-bit string offset, for tables beyond 64 KiB.
class CExtendedStringTable : public CTableExtention {
 public:
  uint8_t Type() const override { return record::kExtendedStringTable; }
};

// Counted, terminated UTF-16 strings in 64 KiB segments. The table owns its
// extended handle table and two lookup maps (host text -> offset, matched
// ignoring case, and offset -> host text, each text held once), built on
// first use and kept current by appends, with a memo of the texts already
// looked up; clearing the strings clears them all. The last few strings
// appended wait in a short list before they enter the maps: a module that
// gains a handful of names (the timer class's) then pays no map nodes.
// Where the text services give a text a no-case key, texts whose keys differ
// are never compared, and a key no mapped text has skips the text map.
class CStringTable : public CMultiSection {
 public:
  // (entry position, link word, host text); false stops the walk.
  using StringVisitor = std::function<bool(uint32_t position, uint16_t link, const std::string& text)>;

  CStringTable();
  CStringTable(const CStringTable& other);
  // A copy of the strings and their handle table without the lookup maps,
  // which it builds again from the strings on first use: for a copy that is
  // only kept in case it must be put back.
  struct WithoutMaps {};
  CStringTable(const CStringTable& other, WithoutMaps);
  CStringTable& operator=(const CStringTable& other);

  uint8_t Type() const override { return record::kStringTable; }
  void Clear() override;

  CExtendedStringTable& Extended() { return extended_; }
  const CExtendedStringTable& Extended() const { return extended_; }

  // The text services used for host text (not owned; must outlive the table).
  void SetText(const ModuleText& text);
  const ModuleText& Text() const { return *text_; }

  // The UTF-16 string at `offset`. Throws CAssertionError with
  // "Bad String Offset : %d - Bad boundry", "... - out of bounds",
  // "... - Too short" or "... - No NULL terminator".
  std::u16string GetStringAt(uint32_t offset) const;
  // GetStringAt in host text; throws as GetStringAt.
  std::string GetTextAt(uint32_t offset) const;
  // Visits every string in table order, segment by segment. Stops at the
  // first malformed entry; returns the number of strings visited.
  int32_t ForEachString(const StringVisitor& visit) const;

  // The offset a handle stands for.
  uint32_t Resolve(uint16_t handle) const { return extended_.Resolve(handle); }
  // The string of `handle`; empty for 0xFFFF. Throws as GetStringAt.
  std::u16string GetString(uint16_t handle) const;
  // NameHash of the string of `handle` (0 for 0xFFFF), read in place; false
  // where GetString would throw.
  [[nodiscard]] bool NameHashOf(uint16_t handle, uint16_t& hash) const;
  // The host text stored for `handle`'s offset; empty for 0xFFFF or an offset
  // where no string starts.
  std::string GetText(uint16_t handle);
  // GetText without the copy: valid until the table next changes.
  const std::string& TextOf(uint16_t handle);
  // The host text a walk of the entries finds at `handle`'s offset, as the
  // table read back from its bytes gives it (appends reach the lookup maps
  // even where a walk would not): empty for 0xFFFF or an offset where no
  // walked string starts. Builds no maps.
  std::string WalkedText(uint16_t handle) const;

  // The handle of a string equal to `text` ignoring case. False (handle 0)
  // when there is none, or when it lies beyond 64 KiB without a handle.
  [[nodiscard]] bool FindString(std::string_view text, uint16_t& handle);
  // The handle of `text`, appending the string when it is not there yet.
  // Throws CAssertionError for a text longer than a segment can hold.
  uint16_t FindOrAddString(std::string_view text);
  // Appends `text` as a new string and returns its offset. Throws
  // CAssertionError for a text longer than a segment can hold.
  uint32_t AppendString(std::string_view text);
  // The handle of the string at `offset`: the offset itself up to 0xFFFF,
  // beyond that the extended-table index that Find gives. False when the
  // offset has no 16-bit handle.
  [[nodiscard]] bool HandleForOffset(uint32_t offset, uint16_t& handle) const;

  // Rebuilds the seven hash chains and stores their heads at header offset 40.
  void RebuildStringChains(CHeader& header);

 private:
  struct TextLess {
    using is_transparent = void;
    const ModuleText* text;
    bool operator()(std::string_view a, std::string_view b) const { return text->Compare(a, b, kCompareNoCase) < 0; }
  };
  struct QueryHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  // Keys view the texts held in textByOffset_, whose nodes never move.
  using TextMap = std::map<std::string_view, uint32_t, TextLess>;

  // Where a walk of the entries stands: entry position and segment.
  struct StringCursor {
    uint64_t position = 0;
    size_t segment = 0;
  };
  // The units of the string at `offset`; false with the reason GetStringAt
  // gives when the offset does not hold a well-formed string.
  bool ReadUnits(uint32_t offset, std::u16string& units, const char*& fault) const;
  // The unit count `n` of a well-formed string at `offset`, whose units then
  // lie at the offset; false with the reason as for ReadUnits.
  bool CheckString(uint32_t offset, uint16_t& n, const char*& fault) const;
  // The entry at `cursor`, which then moves to the next entry; false at the
  // end of the data or at a malformed entry.
  bool NextString(StringCursor& cursor, uint32_t& position, uint16_t& link, std::u16string& units) const;
  // NextString without reading the units: the entry's `count` units lie at
  // its position + 4.
  bool NextEntry(StringCursor& cursor, uint32_t& position, uint16_t& count) const;

  // A text's no-case key, when the text services give it one.
  struct TextKey {
    bool keyed = false;
    uint64_t key = 0;
  };
  TextKey KeyOf(std::string_view text) const;
  // The offset of the first string equal to `text`, whose key is `key`,
  // ignoring case.
  bool FindOffset(std::string_view text, const TextKey& key, uint32_t& offset);
  // AppendString, for a `text` whose key is `key`.
  uint32_t AppendString(std::string_view text, const TextKey& key);
  // The host text of the string at `offset` in the maps or the appended
  // list; null when no string starts there.
  const std::string* MappedText(uint32_t offset) const;
  // Moves the appended strings into the maps.
  void MergeAppended();
  void EnsureMaps();
  void ClearMaps();
  void CopyMaps(const CStringTable& other);
  void EnsureExtendedIndex() const;
  // A new extended-table handle for `offset` that is neither an existing
  // string's offset nor one of the low indices 0..4.
  uint16_t EncodeHandle(uint32_t offset);
  // The chain word that leads to the entry at `position`.
  uint16_t ChainWord(uint32_t position) const;

  CExtendedStringTable extended_;
  const ModuleText* text_;

  TextMap offsetByText_;
  std::unordered_map<uint32_t, std::string> textByOffset_;
  // Texts already looked up -> the offset the text map gave. Appends never
  // change what an earlier look-up found, so only a rebuild clears it.
  std::unordered_map<std::string, uint32_t, QueryHash, std::equal_to<>> offsetByQuery_;
  // Strings appended while the maps were current and not yet in them, in
  // table order: all lie after every mapped string, so a text the maps hold
  // is found there first, as a walk in table order would find it.
  struct Appended {
    uint32_t offset;
    std::string text;
    TextKey key;
  };
  // Which no-case keys the text map may hold, one bit per key's low bits,
  // and whether it holds a text without a key.
  static constexpr size_t kKeyFilterBits = 4096;
  std::bitset<kKeyFilterBits> mappedKeys_;
  bool mappedUnkeyed_ = false;
  // Notes `text`, entering the text map, in the key filter.
  void NoteMappedKey(std::string_view text);
  // False only when no text of the text map can equal a text whose key is
  // `key`.
  bool MayBeMapped(const TextKey& key) const;
  static constexpr size_t kMaxAppended = 32;  // searched one by one
  std::vector<Appended> appended_;
  bool mapsBuilt_ = false;
  size_t mappedLength_ = 0;  // data length the maps describe

  // Offsets beyond 0xFFFF -> their handle, by the rule of Find.
  mutable std::unordered_map<uint32_t, uint16_t> handleByOffset_;
  mutable size_t indexedLength_ = SIZE_MAX;  // extended-table length the index describes
};

}  // namespace quillet
