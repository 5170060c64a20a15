// Builds well-formed string tables for module images: entries, segments,
// extended handles and hash chains, written without the module code so
// tests can compare the two.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lsobject/name_hash.h"
#include "lsobject/string_chains.h"
#include "sim/module_builder.h"

namespace quillet::sim {

// The string hash the test kit chains strings with: the module's own.
inline uint16_t KitNameHash(std::u16string_view units) { return NameHash(units); }

struct StringTableImage {
  Segments strings;
  Segments extendedStrings;  // empty while every string lies within 64 KiB
  strings::ChainHeads heads{};      // header offset 40: chain heads, 0xFFFF empty
  std::vector<uint32_t> offsets;    // per added string
  std::vector<uint16_t> handles;    // per added string
};

class StringTableBuilder {
 public:
  // Adds a string (ASCII text, one unit per byte); returns its index.
  size_t Add(std::string_view ascii);
  size_t AddUnits(std::u16string_view units);

  StringTableImage Build() const;
  // Build() stored into `d`: strings, extended strings and chain heads.
  void Into(ModuleDescription& d) const;

 private:
  std::vector<std::u16string> texts_;
};

// A builder holding "S0", "S1", ... until the table has at least `bytes` bytes.
StringTableBuilder NumberedStrings(size_t bytes, std::string_view prefix = "S");

}  // namespace quillet::sim
