// Reads the defined global names of a shared object's dynamic symbol table.
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "util/bytes.h"

namespace quillet::testing {

// ELF64 little-endian only; std::nullopt when the file is not that or a table
// lies outside the file.
//   file header: e_shoff u64 @40, e_shentsize u16 @58, e_shnum u16 @60
//   section header: sh_type u32 @4, sh_offset u64 @24, sh_size u64 @32, sh_link u32 @40
//   symbol (24 bytes): st_name u32 @0, st_info u8 @4, st_shndx u16 @6
inline std::optional<std::set<std::string>> DefinedDynamicSymbols(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  std::vector<uint8_t> file(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(file.size()))) return std::nullopt;
  const auto fits = [&](uint64_t offset, uint64_t size) { return offset <= file.size() && size <= file.size() - offset; };
  if (!fits(0, 64) || file[0] != 0x7F || file[1] != 'E' || file[4] != 2 || file[5] != 1) return std::nullopt;
  const uint8_t* base = file.data();
  const uint64_t shoff = LoadU64(base + 40);
  const uint16_t shentsize = LoadU16(base + 58);
  const uint16_t shnum = LoadU16(base + 60);
  if (shentsize < 64 || !fits(shoff, uint64_t{shentsize} * shnum)) return std::nullopt;

  constexpr uint32_t kDynSym = 11;
  for (uint16_t i = 0; i < shnum; ++i) {
    const uint8_t* section = base + shoff + uint64_t{shentsize} * i;
    if (LoadU32(section + 4) != kDynSym) continue;
    const uint64_t symOffset = LoadU64(section + 24);
    const uint64_t symSize = LoadU64(section + 32);
    const uint32_t link = LoadU32(section + 40);
    if (!fits(symOffset, symSize) || link >= shnum) return std::nullopt;
    const uint8_t* strings = base + shoff + uint64_t{shentsize} * link;
    const uint64_t strOffset = LoadU64(strings + 24);
    const uint64_t strSize = LoadU64(strings + 32);
    if (!fits(strOffset, strSize)) return std::nullopt;

    std::set<std::string> names;
    for (uint64_t s = 0; s + 24 <= symSize; s += 24) {
      const uint8_t* symbol = base + symOffset + s;
      const uint32_t name = LoadU32(symbol);
      const uint8_t binding = symbol[4] >> 4;
      const uint16_t sectionIndex = LoadU16(symbol + 6);
      if (sectionIndex == 0 || (binding != 1 && binding != 2) || name >= strSize) continue;
      const char* text = reinterpret_cast<const char*>(base + strOffset + name);
      names.emplace(text, strnlen(text, strSize - name));
    }
    return names;
  }
  return std::nullopt;
}

}  // namespace quillet::testing
