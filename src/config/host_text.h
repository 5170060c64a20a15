// Text in the host character set: conversion from UTF-16, upper case and
// comparison, each handed to the host in pieces it accepts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// The host translates and compares at most this many characters at a time.
inline constexpr size_t kHostTextPiece = 10000;

class NotesApi;

// `units` in the host character set through `api`'s translation, in one call:
// false, with `out` unchanged, when the host refuses it.
[[nodiscard]] bool TranslateToHost(NotesApi& api, std::u16string_view units, std::string& out);

// UTF-16 text in the host character set. Pieces are cut between characters,
// never inside a surrogate pair; a piece the host refuses is kept as UTF-8.
std::string ToHostText(std::u16string_view text);

// Host text in upper case. Pieces are cut between characters, never inside a
// multi-byte character.
std::string ToUpper(std::string_view hostText);

// 0 when equal under `option` (kCompareExact or kCompareNoCase), else the sign
// of the order. Compares piece by piece; when every piece is equal the result
// is the difference of the lengths.
int HostCompare(std::string_view a, std::string_view b, uint16_t option);

// The length of the longest prefix of `text` of at most `limit` bytes that
// ends between two characters of the host character set.
size_t HostPieceLength(std::string_view text, size_t limit);

}  // namespace quillet
