// Walks over sibling chains and, recursively, the scopes and lists below them.
#include "lsobject/symbol_entries.h"
#include "lsobject/symbol_table.h"

namespace quillet {
namespace {

using namespace symbol;

// Well-formed modules nest module -> class -> procedure -> scope; a deeper
// walk is a corrupt module whose containers refer back to their ancestors.
constexpr int kMaxDepth = 16;
constexpr uint32_t kNone = UINT32_MAX;  // no entry saved yet

bool IsProcedure(uint16_t kind) { return kind == kFunction || kind == kSub || kind == kProperty; }

// One walk: the view, the visitor, and bounds that stop a corrupt module from
// hanging it. Every chain step costs one unit of a budget proportional to the
// data length (a well-formed module visits each entry a few times at most,
// and entries are at least 12 bytes long), and each chain is checked for
// cycles with Brent's method.
class Walker {
 public:
  Walker(const SymbolView& view, bool recurse, const SymbolVisitor& visit, bool visitKindZero = false)
      : view_(view), recurse_(recurse), visitKindZero_(visitKindZero), visit_(visit) {
    const size_t length = view.symbols != nullptr ? view.symbols->Data().size() : 0;
    budget_ = length + 64;
  }

  int32_t count() const { return count_; }
  bool stopped() const { return stopped_; }

  // Walks the chain whose first entry is `first` (a handle).
  void Chain(uint32_t first, uint32_t parent, int depth) {
    uint32_t handle = first;
    uint32_t saved = kNone;
    size_t power = 1, steps = 0;
    while (handle != 0 && !stopped_) {
      const uint32_t offset = view_.Resolve(handle);
      // The table's first bytes are the module checksum, never an entry.
      if (offset < CSymbolTable::kChecksumBytes) return;
      // Brent: back at the entry saved at the last power of two is a cycle.
      if (!view_.Holds(offset, 2) || budget_ == 0 || offset == saved) return;
      --budget_;
      const uint32_t next = Entry(handle, offset, parent, depth);
      if (++steps == power) {
        saved = offset;
        power *= 2;
        steps = 0;
      }
      handle = next;
    }
  }

 private:
  // Visits one entry and what lies below it; returns its next sibling.
  uint32_t Entry(uint32_t handle, uint32_t offset, uint32_t parent, int depth) {
    const SymbolVisit v = view_.Describe(handle, offset, parent);
    if ((v.kind != 0 || visitKindZero_) && !Visit(v)) return 0;
    if (!recurse_ || depth >= kMaxDepth) return v.next;

    if (IsProcedure(v.kind) && (v.flags & kNoCode) == 0) {
      Chain(view_.U16(uint64_t{offset} + kLabelScope + kScopeFirst), handle, depth + 1);
      Chain(view_.U16(uint64_t{offset} + kLocalScope + kScopeFirst), handle, depth + 1);
      const uint64_t setAccessor = uint64_t{offset} + kProcedureSize;
      if (v.kind == kProperty && (v.flags & kSetAccessor) == 0 && view_.U16(setAccessor) == kProperty)
        ChainAtOffset(static_cast<uint32_t>(setAccessor), parent, depth + 1);
    } else if (v.kind == kContainer10 || v.kind == kClass || v.kind == kContainer16) {
      Chain(view_.U16(uint64_t{offset} + kMemberScope + kScopeFirst), handle, depth + 1);
      if (v.kind == kContainer16) Lists(handle, offset);
    }
    return v.next;
  }

  // The Set accessor is reached by position, not by a link. Its position is
  // encoded as any entry's: past 64 KiB it takes an index of the extended
  // table, so that it is listed, registered and timed under one 16-bit handle.
  void ChainAtOffset(uint32_t offset, uint32_t parent, int depth) {
    uint32_t handle = view_.HandleOf(offset);
    if (handle > 0xFFFF) handle = view_.EncodeSymbolOffset(offset);
    if (handle > 0xFFFF || view_.Resolve(handle) != offset) return;  // no handle leads there
    Chain(handle, parent, depth);
  }

  // A kind-16 container's two further lists: one entry, then a chain of
  // items linked through their word at 2 and named by their word at 4.
  void Lists(uint32_t container, uint32_t offset) {
    const uint32_t single = view_.U16(uint64_t{offset} + kListEntry);
    if (single != 0) {
      const uint32_t at = view_.Resolve(single);
      if (view_.Holds(at, 2) && budget_ > 0) {
        --budget_;
        const SymbolVisit v = view_.Describe(single, at, container);
        if (v.kind != 0 && !Visit(v)) return;
      }
    }
    const uint32_t itemParent = single != 0 ? single : container;
    uint32_t item = view_.U16(uint64_t{offset} + kListChain);
    const uint16_t kind = view_.Kind(item);
    uint32_t saved = kNone;
    size_t power = 1, steps = 0;
    while (item != 0 && !stopped_) {
      const uint32_t at = view_.Resolve(item);
      if (!view_.Holds(at, 6) || budget_ == 0 || at == saved) return;
      --budget_;
      SymbolVisit v;
      v.handle = item;
      v.kind = kind;
      v.parent = itemParent;
      v.next = view_.U16(uint64_t{at} + 2);
      v.name = view_.U16(uint64_t{at} + 4);
      if (v.kind != 0 && !Visit(v)) return;
      if (++steps == power) {
        saved = at;
        power *= 2;
        steps = 0;
      }
      item = v.next;
    }
  }

  bool Visit(const SymbolVisit& v) {
    ++count_;
    if (!visit_(v)) stopped_ = true;
    return !stopped_;
  }

  const SymbolView& view_;
  const bool recurse_;
  const bool visitKindZero_;
  const SymbolVisitor& visit_;
  size_t budget_ = 0;
  int32_t count_ = 0;
  bool stopped_ = false;
};

// The module chains, in the order walks take them.
constexpr size_t kModuleChains[] = {kChain30,
                                    kLibraryChain,
                                    header::kScope1 + kScopeFirst,
                                    header::kScope3 + kScopeFirst,
                                    kChain36,
                                    header::kScope2 + kScopeFirst,
                                    header::kScope4 + kScopeFirst};

}  // namespace

int32_t SymbolView::WalkSymbols(uint32_t first, uint32_t parent, bool recurse, const SymbolVisitor& visit,
                                bool visitKindZero) const {
  Walker walker(*this, recurse, visit, visitKindZero);
  walker.Chain(first, parent, 0);
  return walker.count();
}

int32_t SymbolView::WalkModule(const CHeader& header, bool recurse, const SymbolVisitor& visit) const {
  Walker walker(*this, recurse, visit);
  for (size_t at : kModuleChains) {
    if (walker.stopped()) break;
    if (header.Holds(at, 2)) walker.Chain(header.U16(at), 0, 0);
  }
  return walker.count();
}

}  // namespace quillet
