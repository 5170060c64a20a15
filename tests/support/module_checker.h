// An independent reader of module images for tests: it knows the record,
// string and symbol formats on its own and reports every inconsistency of
// the symbol scopes it finds, without the module code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::kit {

using Bytes = std::vector<uint8_t>;

// The sections of an image, each as its data with segments at their 64 KiB
// boundaries, and the segment sizes its records arrived in.
struct ImageSections {
  Bytes header;
  Bytes strings, extendedStrings, symbols, extendedSymbols, byteCode, labelOffsets, productMacros;
  std::vector<uint32_t> stringSegments, symbolSegments, byteCodeSegments, macroSegments;
};

// Reads the records of `image` (with or without action prefix); false when
// a record runs past the end.
bool ReadImage(const Bytes& image, ImageSections& out);

// The text of string handle `handle` (ASCII units only), or "?" when the
// handle does not lead to a well-formed string.
std::string KitString(const ImageSections& s, uint16_t handle);
// The offset a symbol handle stands for.
uint32_t KitResolveSymbol(const ImageSections& s, uint32_t handle);

// Everything wrong with `image`: what the string kit's checker finds (header
// sizes, strings and their chains, checksum), and for the four module scopes
// and every class and procedure below them: entry count, last entry and the
// 13 name hash chains against the sibling chain. Empty when consistent.
std::vector<std::string> CheckModuleImage(const Bytes& image);

}  // namespace quillet::kit
