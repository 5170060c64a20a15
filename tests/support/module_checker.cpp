// Independent image reader and consistency checker of the test kit.
#include "support/module_checker.h"

#include <set>

#include "sim/module_reader.h"
#include "util/bytes.h"

namespace quillet::kit {
namespace {

uint16_t At16(const Bytes& b, uint64_t p) { return p + 2 <= b.size() ? LoadU16(&b[p]) : 0; }
uint32_t At32(const Bytes& b, uint64_t p) { return p + 4 <= b.size() ? LoadU32(&b[p]) : 0; }

// Chunk record body: u32 placement, data; a new segment starts at k × 0x10000.
void Place(Bytes& data, std::vector<uint32_t>& segments, uint32_t placement, const uint8_t* p, size_t n,
           bool segmented) {
  const uint32_t segment = segmented ? placement >> 16 : 0;
  if (segments.size() <= segment) segments.resize(segment + 1, 0);
  segments[segment] += static_cast<uint32_t>(n);
  if (data.size() < placement + n) data.resize(placement + n, 0);
  std::copy(p, p + n, data.begin() + placement);
}

uint16_t KitHash(const std::string& text) {
  uint16_t h = 0;
  for (unsigned char c : text) h = static_cast<uint16_t>(((h << 1) | (h >> 15)) ^ c);
  return h;
}

class ScopeChecker {
 public:
  ScopeChecker(const ImageSections& s, std::vector<std::string>& problems) : s_(s), problems_(problems) {}

  // `scope`: the 60 scope bytes; `where` names it in messages.
  void Check(const uint8_t* scope, const std::string& where) {
    std::vector<uint32_t> chain;
    std::set<uint32_t> seen;
    for (uint32_t h = LoadU16(scope + 4); h != 0; h = Sibling(h)) {
      const uint32_t at = KitResolveSymbol(s_, h);
      if (at + 16 > s_.symbols.size()) return Problem(where + ": entry outside the table");
      if (!seen.insert(at).second) return Problem(where + ": sibling chain cycles");
      chain.push_back(h);
    }
    if (LoadU16(scope) != chain.size())
      Problem(where + ": count " + std::to_string(LoadU16(scope)) + ", chain " + std::to_string(chain.size()));
    if (LoadU16(scope + 6) != (chain.empty() ? 0 : chain.back())) Problem(where + ": last entry");
    std::vector<uint32_t> buckets[13];
    for (uint32_t h : chain) buckets[KitHash(KitString(s_, NameOf(h))) % 13].push_back(h);
    for (size_t b = 0; b < 13; ++b) {
      std::vector<uint32_t> linked;
      std::set<uint32_t> visited;
      for (uint32_t h = LoadU16(scope + 8 + 4 * b); h != 0 && visited.insert(h).second;
           h = At16(s_.symbols, KitResolveSymbol(s_, h) + 6))
        linked.push_back(h);
      if (linked != buckets[b]) Problem(where + ": hash bucket " + std::to_string(b));
      if (LoadU16(scope + 10 + 4 * b) != (buckets[b].empty() ? 0 : buckets[b].back()))
        Problem(where + ": last of hash bucket " + std::to_string(b));
    }
    for (uint32_t h : chain) Below(h, where);
  }

 private:
  uint32_t Sibling(uint32_t h) const { return At16(s_.symbols, KitResolveSymbol(s_, h) + 4); }
  uint16_t NameOf(uint32_t h) const { return At16(s_.symbols, KitResolveSymbol(s_, h) + 8); }

  // Procedures: locals and labels; classes: members.
  void Below(uint32_t h, const std::string& where) {
    const uint32_t at = KitResolveSymbol(s_, h);
    const uint16_t kind = At16(s_.symbols, at);
    const uint16_t flags = At16(s_.symbols, at + 2);
    if ((flags & 0x0040) != 0 || depth_ > 3) return;
    const std::string name = where + "/" + KitString(s_, NameOf(h));
    ++depth_;
    if ((kind == 7 || kind == 8 || kind == 9) && at + 152 <= s_.symbols.size()) {
      Check(&s_.symbols[at + 16], name + " locals");
      Check(&s_.symbols[at + 92], name + " labels");
    } else if (kind == 11 && at + 92 <= s_.symbols.size()) {
      Check(&s_.symbols[at + 16], name + " members");
    }
    --depth_;
  }

  void Problem(std::string text) { problems_.push_back(std::move(text)); }

  const ImageSections& s_;
  std::vector<std::string>& problems_;
  int depth_ = 0;
};

}  // namespace

bool ReadImage(const Bytes& image, ImageSections& out) {
  out = ImageSections{};
  size_t p = image.size() >= 2 && LoadU16(image.data()) == 0x0281 ? 14 : 0;
  while (p + 4 <= image.size()) {
    const uint16_t type = LoadU16(&image[p]);
    const uint16_t length = LoadU16(&image[p + 2]);
    if (p + 4 + length > image.size()) return false;
    const uint8_t* body = &image[p + 4];
    const uint32_t placement = length >= 4 ? LoadU32(body) : 0;
    const size_t n = length >= 4 ? length - 4u : 0;
    std::vector<uint32_t> ignored;
    switch (type) {
      case 1: out.header.assign(body, body + length); break;
      case 3: Place(out.strings, out.stringSegments, placement, body + 4, n, true); break;
      case 4: Place(out.byteCode, out.byteCodeSegments, placement, body + 4, n, false); break;
      case 5: Place(out.symbols, out.symbolSegments, placement, body + 4, n, true); break;
      case 7: Place(out.productMacros, out.macroSegments, placement, body + 4, n, true); break;
      case 9: Place(out.extendedStrings, ignored, placement, body + 4, n, true); break;
      case 14: Place(out.extendedSymbols, ignored, placement, body + 4, n, true); break;
      case 15: Place(out.labelOffsets, ignored, placement, body + 4, n, true); break;
      default: break;
    }
    p += 4 + length;
  }
  return out.header.size() >= 300;
}

std::string KitString(const ImageSections& s, uint16_t handle) {
  if (handle == 0xFFFF) return "";
  uint32_t offset = handle;
  if (!s.extendedStrings.empty() && s.extendedStrings.size() >= 4u * handle + 4) offset = At32(s.extendedStrings, 4u * handle);
  if (offset < 4 || offset % 4 != 0 || offset > s.strings.size()) return "?";
  const uint16_t n = At16(s.strings, offset - 2);
  if (offset + 2u * n + 2 > s.strings.size() || At16(s.strings, offset + 2u * n) != 0) return "?";
  std::string text;
  for (uint16_t i = 0; i < n; ++i) text.push_back(static_cast<char>(At16(s.strings, offset + 2u * i)));
  return text;
}

uint32_t KitResolveSymbol(const ImageSections& s, uint32_t handle) {
  if (!s.extendedSymbols.empty() && s.extendedSymbols.size() >= 4u * handle + 4) return At32(s.extendedSymbols, 4u * handle);
  return handle;
}

std::vector<std::string> CheckModuleImage(const Bytes& image) {
  std::vector<std::string> problems;
  ImageSections s;
  if (!ReadImage(image, s)) return {"records run past the image"};
  // Sizes, strings, their chains and the checksum: the string kit's reader.
  problems = sim::CheckModuleImage(image);
  const Bytes& h = s.header;
  ScopeChecker scopes(s, problems);
  scopes.Check(&h[60], "scope 1");
  scopes.Check(&h[120], "scope 2");
  scopes.Check(&h[180], "scope 3");
  scopes.Check(&h[240], "scope 4");
  return problems;
}

}  // namespace quillet::kit
