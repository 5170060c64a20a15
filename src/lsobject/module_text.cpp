// A module's text services: over a host's Notes API, or UTF-8 without a host.
#include "lsobject/module_text.h"

#include <algorithm>
#include <vector>

#include "config/host_text.h"
#include "config/notes_api.h"
#include "platform/platform.h"
#include "util/bytes.h"
#include "util/ascii.h"
#include "util/ascii_text.h"

namespace quillet {
namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

int CompareWithoutHost(std::string_view a, std::string_view b, uint16_t option) {
  const bool fold = option == kCompareNoCase;
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(fold ? AsciiUpper(a[i]) : a[i]);
    const auto y = static_cast<unsigned char>(fold ? AsciiUpper(b[i]) : b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

class PlainText final : public ModuleText {
 public:
  std::string ToHost(std::u16string_view units) const override { return platform::Utf16ToUtf8(units); }
  std::u16string ToUnicode(std::string_view text) const override { return platform::Utf8ToUtf16(text); }
  int Compare(std::string_view a, std::string_view b, uint16_t option) const override {
    return CompareWithoutHost(a, b, option);
  }
  bool KeepsUnits(std::u16string_view units) const override { return IsPrintableAscii(units); }
  bool KeepsPrintableAscii() const override { return true; }
  // Compare folds ASCII letters byte by byte and nothing else, whatever the text.
  bool NoCaseKey(std::string_view text, uint64_t& key) const override {
    key = AsciiNoCaseKey(text);
    return true;
  }
};

}  // namespace

uint64_t AsciiNoCaseKey(std::string_view text) {
  // FNV-1a over the folded bytes.
  uint64_t h = 0xCBF29CE484222325u;
  for (char c : text) h = (h ^ static_cast<unsigned char>(AsciiUpper(c))) * 0x100000001B3u;
  return h;
}

const ModuleText& PlainModuleText() {
  static const PlainText text;
  return text;
}

std::string NotesModuleText::ToHost(std::u16string_view units) const {
  if (IsPrintableAscii(units)) return NarrowAscii(units);
  std::string text;
  // A text the host cannot translate reads as empty, like an unknown string.
  if (!TranslateToHost(api_, units, text)) return {};
  return text;
}

std::u16string NotesModuleText::ToUnicode(std::string_view text) const {
  if (IsPrintableAscii(text)) return WidenAscii(text);
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  std::vector<uint8_t> out;
  if (api_.Translate(kTranslateHostToUnicode, std::span<const uint8_t>(bytes, text.size()), out) != kNoError) return {};
  return LoadUtf16Le(out.data(), out.size() / 2);
}

bool NotesModuleText::KeepsUnits(std::u16string_view units) const { return IsPrintableAscii(units); }

bool NotesModuleText::NoCaseKey(std::string_view text, uint64_t& key) const {
  if (!IsPrintableAscii(text)) return false;
  key = AsciiNoCaseKey(text);
  return true;
}

int NotesModuleText::Compare(std::string_view a, std::string_view b, uint16_t option) const {
  return Sign(api_.Compare(a, b, option));
}

}  // namespace quillet
