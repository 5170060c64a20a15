// Host text services in pieces: the host takes at most kHostTextPiece
// characters per call, and a piece must never end inside a character.
#include "config/host_text.h"

#include <algorithm>
#include <climits>
#include <span>
#include <vector>

#include "config/notes_api.h"
#include "platform/platform.h"
#include "util/bytes.h"

namespace quillet {
namespace {

// Host text is UTF-8 in this build: bytes 10xxxxxx continue a character.
bool ContinuesCharacter(char c) { return (static_cast<uint8_t>(c) & 0xC0) == 0x80; }

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

std::span<const uint8_t> Bytes(std::string_view text) {
  return std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

}  // namespace

bool TranslateToHost(NotesApi& api, std::u16string_view units, std::string& out) {
  std::vector<uint8_t> translated;
  if (api.Translate(kTranslateUnicodeToHost, Utf16LeBytes(units), translated) != kNoError) return false;
  out.assign(translated.begin(), translated.end());
  return true;
}

size_t HostPieceLength(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t n = limit;
  while (n > 0 && ContinuesCharacter(text[n])) --n;
  // Not text the host could have produced: cut where asked rather than stall.
  return n == 0 ? limit : n;
}

std::string ToHostText(std::u16string_view text) {
  std::string result;
  std::string piece;
  NotesApi& notes = Notes();
  while (!text.empty()) {
    size_t n = text.size() <= kHostTextPiece ? text.size() : kHostTextPiece;
    if (n < text.size() && IsHighSurrogate(text[n - 1])) --n;  // keep the pair together
    const std::u16string_view units = text.substr(0, n);
    if (TranslateToHost(notes, units, piece)) {
      result += piece;
    } else {
      // ASCII reads the same in both sets; UTF-8 loses less than dropping it.
      result += platform::Utf16ToUtf8(units);
    }
    text.remove_prefix(n);
  }
  return result;
}

std::string ToUpper(std::string_view hostText) {
  std::string result;
  std::vector<uint8_t> out;
  while (!hostText.empty()) {
    size_t n = HostPieceLength(hostText, kHostTextPiece);
    std::string_view piece = hostText.substr(0, n);
    out.clear();
    if (Notes().Translate(kTranslateUpper, Bytes(piece), out) == kNoError) {
      result.append(out.begin(), out.end());
    } else {
      result.append(piece);  // a piece the host refused keeps its letters
    }
    hostText.remove_prefix(n);
  }
  return result;
}

int HostCompare(std::string_view a, std::string_view b, uint16_t option) {
  const ptrdiff_t difference = static_cast<ptrdiff_t>(a.size()) - static_cast<ptrdiff_t>(b.size());
  NotesApi& notes = Notes();
  // Both texts are cut at the same length, so equal texts meet equal pieces
  // and the shorter one simply runs out.
  while (!a.empty() && !b.empty()) {
    size_t limit = std::min({kHostTextPiece, a.size(), b.size()});
    size_t na = HostPieceLength(a, limit);
    size_t nb = HostPieceLength(b, limit);
    int order = notes.Compare(a.substr(0, na), b.substr(0, nb), option);
    if (order != 0) return order;
    a.remove_prefix(na);
    b.remove_prefix(nb);
  }
  if (difference > INT_MAX) return INT_MAX;
  if (difference < INT_MIN) return INT_MIN;
  return static_cast<int>(difference);
}

}  // namespace quillet
