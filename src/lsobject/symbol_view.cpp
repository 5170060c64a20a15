// Symbol handles, bounded field access and the common entry readers.
#include <limits>

#include "lsobject/symbol_entries.h"
#include "lsobject/symbol_table.h"

namespace quillet {

using namespace symbol;

uint32_t SymbolView::ResolveExtended(uint32_t handle) const {
  return extended->Contains(handle) ? extended->Get(handle) : handle;
}

uint32_t SymbolView::EncodeSymbolOffset(uint32_t offset) const {
  if (offset < 0xFFFF || extended == nullptr) return offset;
  // Existing entries at small offsets are their own handles; an index that
  // coincides with one of them (or with 0, the end of every chain) must keep
  // meaning that offset, so it is set to itself and the next one is taken.
  // Each round appends one index, so the loop ends within the table's length.
  uint32_t h = extended->Encode(offset);
  while (h == 0 || (Holds(h, 2) && U16(h) <= kHighestKind)) {
    extended->Set(h, h);
    const uint32_t next = extended->Encode(offset);
    if (next == h) break;  // the table could not grow
    h = next;
  }
  return h;
}

uint32_t SymbolView::HandleOf(uint32_t offset) const {
  if (offset < 0xFFFF || extended == nullptr) return offset;
  uint32_t index = 0;
  return extended->Find(offset, index) ? index : offset;
}

uint32_t SymbolView::U32(uint64_t offset) const {
  return Holds(offset, 4) ? LoadU32(symbols->Data().data() + offset) : 0;
}

void SymbolView::SetU16(uint64_t offset, uint16_t value) const {
  if (Holds(offset, 2)) StoreU16(symbols->MutableData().data() + offset, value);
}

void SymbolView::SetU32(uint64_t offset, uint32_t value) const {
  if (Holds(offset, 4)) StoreU32(symbols->MutableData().data() + offset, value);
}

uint16_t SymbolView::Kind(uint32_t handle) const { return U16(Resolve(handle)); }

uint16_t SymbolView::Flags(uint32_t handle) const {
  const uint32_t at = Resolve(handle);
  switch (U16(at)) {
    case kEntry2:
    case kEntry24:
    case kLibrary: return 0;
    default: return U16(uint64_t{at} + kFlags);
  }
}

uint32_t SymbolView::NextSibling(uint32_t handle) const {
  const uint32_t at = Resolve(handle);
  switch (U16(at)) {
    case kEntry2:
    case kLibrary: return U16(uint64_t{at} + 2);
    case kTerminator: return 0;
    default: return U16(uint64_t{at} + kSibling);
  }
}

void SymbolView::SetNextSibling(uint32_t handle, uint32_t next) const {
  const uint32_t at = Resolve(handle);
  const auto link = static_cast<uint16_t>(next);
  switch (U16(at)) {
    case kEntry2:
    case kLibrary: SetU16(uint64_t{at} + 2, link); break;
    case kTerminator: break;  // ends its chain, has no link
    default: SetU16(uint64_t{at} + kSibling, link); break;
  }
}

uint32_t SymbolView::Owner(uint32_t handle) const { return Field16(handle, kOwner); }

uint16_t SymbolView::NameHandle(uint32_t handle) const {
  const uint32_t at = Resolve(handle);
  switch (U16(at)) {
    case kLibrary:
    case kTerminator: return U16(uint64_t{at} + 4);
    case kEntry24: return U16(uint64_t{at} + 6);
    default: return U16(uint64_t{at} + kName);
  }
}

uint32_t SymbolView::CodeOffset(uint32_t handle) const {
  const uint32_t at = Resolve(handle);
  const uint16_t kind = U16(at);
  if (kind == kEntry24 || kind == kLibrary) return 0;
  if ((U16(uint64_t{at} + kFlags) & kNoCode) != 0) return 0;
  return U32(uint64_t{at} + kCodeOffset);
}

int32_t SymbolView::WalkValue(uint32_t handle) const {
  const uint32_t at = Resolve(handle);
  switch (U16(at)) {
    case kVariable:
    case kEntry4: return U16(uint64_t{at} + 10);
    case kEntry2: return U16(uint64_t{at} + 16);
    default: return -1;
  }
}

SymbolVisit SymbolView::Describe(uint32_t handle, uint32_t at, uint32_t parent) const {
  // Kind, NextSibling, WalkValue, Flags and NameHandle of the entry, with
  // its kind read once.
  SymbolVisit v;
  v.handle = handle;
  v.parent = parent;
  v.kind = U16(at);
  const uint64_t base = at;
  switch (v.kind) {
    case kEntry2:
      v.next = U16(base + 2);
      v.value = U16(base + 16);
      v.name = U16(base + kName);
      break;
    case kLibrary:
      v.next = U16(base + 2);
      v.name = U16(base + 4);
      break;
    case kTerminator:
      v.flags = U16(base + kFlags);
      v.name = U16(base + 4);
      break;
    case kEntry24:
      v.next = U16(base + kSibling);
      v.name = U16(base + 6);
      break;
    case kVariable:
    case kEntry4:
      v.value = U16(base + 10);
      [[fallthrough]];
    default:
      v.next = U16(base + kSibling);
      v.flags = U16(base + kFlags);
      v.name = U16(base + kName);
      break;
  }
  return v;
}

std::span<const uint8_t> SymbolView::EntryAt(uint32_t handle, size_t size) const {
  const uint32_t at = Resolve(handle);
  if (!Holds(at, size)) return {};
  return symbols->Data().subspan(at, size);
}

uint32_t SymbolView::AppendEntries(CHeader& header, std::span<const uint8_t> bytes) const {
  if (symbols == nullptr || bytes.empty()) return std::numeric_limits<uint32_t>::max();
  const size_t oldLength = symbols->Data().size();
  symbols->AppendData(bytes);
  // A new segment may have moved the entries past padding: they end the data.
  const size_t newLength = symbols->Data().size();
  symbols->Index().NoteGrowth(oldLength, newLength);

  const auto total = static_cast<uint32_t>(symbols->TotalSize());
  if (header.Holds(header::kSymbolLength16, 2)) header.SetU16(header::kSymbolLength16, static_cast<uint16_t>(total));
  if (header.Length() >= static_cast<int32_t>(header::kWideBlockMinLength))
    header.SetU32(header::kSymbolLength32, total);
  return static_cast<uint32_t>(newLength - bytes.size());
}

}  // namespace quillet
