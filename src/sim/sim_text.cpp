// Translation, comparison and status texts of the simulated host.
#include "sim/sim_text.h"

#include <algorithm>
#include <utility>

#include "config/notes_api.h"
#include "platform/platform.h"
#include "sim/sim_status.h"
#include "util/bytes.h"

namespace quillet::sim {

std::string UpperText(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    auto c = static_cast<unsigned char>(out[i]);
    if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 'a' + 'A');
    } else if (c == 0xC3 && i + 1 < out.size()) {
      // U+00E0..U+00FE (except U+00F7, the division sign) are 0xC3 0xA0..0xBE;
      // their capitals sit 0x20 lower.
      auto next = static_cast<unsigned char>(out[i + 1]);
      if (next >= 0xA0 && next <= 0xBE && next != 0xB7) out[i + 1] = static_cast<char>(next - 0x20);
      ++i;
    }
  }
  return out;
}

STATUS TranslateText(uint16_t mode, std::span<const uint8_t> in, std::vector<uint8_t>& out) {
  const std::string_view text(reinterpret_cast<const char*>(in.data()), in.size());
  switch (mode) {
    case kTranslateNativeToHost:
    case kTranslateUtf8ToHost:
      out.assign(in.begin(), in.end());
      return kNoError;
    case kTranslateUpper: {
      const std::string upper = UpperText(text);
      out.assign(upper.begin(), upper.end());
      return kNoError;
    }
    case kTranslateHostToUnicode: {
      const std::u16string wide = platform::Utf8ToUtf16(text);
      out = Utf16LeBytes(wide);
      return kNoError;
    }
    case kTranslateUnicodeToHost: {
      if (in.size() % 2 != 0) return kErrInvalidArgument;
      const std::u16string wide = LoadUtf16Le(in.data(), in.size() / 2);
      const std::string narrow = platform::Utf16ToUtf8(wide);
      out.assign(narrow.begin(), narrow.end());
      return kNoError;
    }
    default:
      return kErrInvalidArgument;
  }
}

namespace {

// Byte i of `text` as UpperText leaves it. `lead` says byte i - 1 was a 0xC3
// lead; its follower is upper-cased by the Latin-1 rule and never starts a
// rule of its own.
unsigned char UpperAt(std::string_view text, size_t i, bool& lead) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (lead) {
    lead = false;
    return (c >= 0xA0 && c <= 0xBE && c != 0xB7) ? static_cast<unsigned char>(c - 0x20) : c;
  }
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
  if (c == 0xC3 && i + 1 < text.size()) lead = true;
  return c;
}

}  // namespace

int CompareText(std::string_view a, std::string_view b, uint16_t option) {
  // Upper-casing keeps every byte in its place, so the texts are compared in
  // step, without upper-cased copies, and the lengths decide when the shorter
  // runs out.
  const size_t common = std::min(a.size(), b.size());
  if (option == kCompareNoCase) {
    bool leadA = false, leadB = false;
    for (size_t i = 0; i < common; ++i) {
      const auto x = static_cast<unsigned char>(a[i]);
      if (x == static_cast<unsigned char>(b[i]) && x != 0xC3 && leadA == leadB) {
        leadA = leadB = false;  // one byte read in one state: the same capital, no lead after it
        continue;
      }
      const unsigned char upperX = UpperAt(a, i, leadA);
      const unsigned char upperY = UpperAt(b, i, leadB);
      if (upperX != upperY) return upperX < upperY ? -1 : 1;
    }
  } else {
    for (size_t i = 0; i < common; ++i) {
      const auto x = static_cast<unsigned char>(a[i]);
      const auto y = static_cast<unsigned char>(b[i]);
      if (x != y) return x < y ? -1 : 1;
    }
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool StatusTextOf(STATUS status, std::string& text) {
  const uint16_t code = StatusCode(status);
  for (const auto& [known, message] : kSimStatusTexts) {
    if (known == code) {
      text = message;
      return true;
    }
  }
  return false;
}

std::string BuildNetworkPath(std::string_view server, std::string_view file) {
  if (server.empty()) return std::string(file);
  std::string path(server);
  path += "!!";
  path += file;
  return path;
}

}  // namespace quillet::sim
