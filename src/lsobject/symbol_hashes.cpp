// Rebuilding the name hash tables of the symbol scopes, and linking the
// procedures of module scope 4's containers to their owners after Parse.
#include "lsobject/symbol_hashes.h"

#include <algorithm>
#include <array>
#include <unordered_set>
#include <vector>

#include "lsobject/name_hash.h"
#include "lsobject/symbol_add_common.h"
#include "lsobject/symbol_entries.h"

namespace quillet {
namespace {

using namespace symbol;

// Procedures and the containers holding them; deeper nesting is not rebuilt.
constexpr int kMaxNesting = 4;

bool HasHashLink(uint16_t kind) {
  return kind != kEntry2 && kind != kTerminator && kind != kEntry24 && kind != kLibrary;
}

// Bytes of an entry's common fields (kind, flags, sibling, hash link, name).
size_t CommonFieldBytes(uint16_t kind) {
  switch (kind) {
    case kTerminator:
    case kLibrary: return 6;
    case kEntry24: return 8;
    default: return kName + 2;
  }
}

// What a rebuild would write, gathered without writing: the bytes each
// written field or scope covers, and the bytes every entry and scope it walks
// relies on, all as offsets into the symbol data.
struct HashWritePlan {
  struct Span {
    uint64_t from;
    uint64_t to;     // one past the last byte
    uint64_t owner;  // the entry or scope the bytes belong to (EntryOwner, ScopeOwner)
  };
  // An entry and a scope record may start at the same offset of a damaged
  // module: they are still different owners.
  static uint64_t EntryOwner(uint64_t at) { return at; }
  static uint64_t ScopeOwner(uint64_t at) { return at | (uint64_t{1} << 32); }
  std::vector<Span> writes;
  std::vector<Span> kept;
  // Bytes a rebuild reads that no kept span covers (a Set accessor's kind
  // and flags, found by position): a write there makes the rebuild depend
  // on the order of its writes and reads.
  std::vector<Span> read;
  bool insideChecksum = false;  // an entry lies in the table's checksum word

  // Room for a table of `symbolBytes` up front, up to a bound: an entry is
  // at least 12 bytes and is kept once or twice, its hash link written once.
  explicit HashWritePlan(size_t symbolBytes) {
    constexpr size_t kMostReserved = 4096;
    kept.reserve(std::min(symbolBytes / 8, kMostReserved));
    writes.reserve(std::min(symbolBytes / 12, kMostReserved));
  }

  // True when no write lands in bytes of another entry or scope; else
  // `conflict` is where the first such write begins (0: the checksum word).
  bool Fits(uint64_t& conflict) {
    conflict = 0;
    if (insideChecksum) return false;
    std::sort(kept.begin(), kept.end(), [](const Span& a, const Span& b) { return a.from < b.from; });
    uint64_t longest = 0;
    for (const Span& k : kept) longest = std::max(longest, k.to - k.from);
    for (const Span& w : writes) {
      // Only spans starting less than `longest` before the write can reach it.
      const uint64_t earliest = w.from >= longest ? w.from - longest + 1 : 0;
      auto it = std::lower_bound(kept.begin(), kept.end(), earliest,
                                 [](const Span& k, uint64_t at) { return k.from < at; });
      for (; it != kept.end() && it->from < w.to; ++it)
        if (it->to > w.from && it->owner != w.owner) {
          conflict = w.from;
          return false;
        }
    }
    return true;
  }

  // Whether a write lands in a read span. Reorders the writes.
  bool WritesRead() {
    if (read.empty()) return false;
    std::sort(writes.begin(), writes.end(), [](const Span& a, const Span& b) { return a.from < b.from; });
    constexpr uint64_t kLongestWrite = 4 * kBucketCount;  // a scope's buckets
    for (const Span& r : read) {
      const uint64_t earliest = r.from >= kLongestWrite ? r.from - kLongestWrite + 1 : 0;
      auto it = std::lower_bound(writes.begin(), writes.end(), earliest,
                                 [](const Span& w, uint64_t at) { return w.from < at; });
      for (; it != writes.end() && it->from < r.to; ++it)
        if (it->to > r.from) return true;
    }
    return false;
  }
};

// The bytes of the entry at `at` a rebuild must not write over: its common
// fields and, for procedures and classes, the fields between their two
// scope records (code offset, constructor and destructor among them).
void KeepEntry(HashWritePlan& plan, uint64_t at, uint16_t kind) {
  plan.kept.push_back({at, at + CommonFieldBytes(kind), HashWritePlan::EntryOwner(at)});
  if (IsProcedureKind(kind) || kind == kClass)
    plan.kept.push_back({at + kParameterCount, at + kLabelScope, HashWritePlan::EntryOwner(at)});
}

class ScopeHashes {
  // An entry of a chain being rebuilt: where it lies, its handle and bucket.
  struct Hashed {
    uint32_t offset;
    uint32_t handle;
    uint16_t bucket;
  };

 public:
  // With `plan`, Rebuild only notes what it would write; with `gather` too,
  // it keeps the chains' entries for WriteGathered.
  ScopeHashes(SymbolView view, const CStringTable& strings, HashWritePlan* plan = nullptr, bool gather = false)
      : view_(view), strings_(strings), plan_(plan), gather_(gather) {}

  // Rebuilds the scope record at `scope` (60 writable bytes) from its chain;
  // with a plan, only notes what that would write, keeping the chain's
  // entries for WriteGathered.
  void Rebuild(uint8_t* scope) {
    if (plan_ != nullptr) {
      Plan(scope);
      return;
    }
    // The chain is read whole before anything is written.
    std::vector<Hashed>& entries = entries_;
    entries.clear();
    view_.WalkSymbols(LoadU16(scope + kScopeFirst), 0, false, [&](const SymbolVisit& v) {
      const uint32_t at = view_.Resolve(v.handle);
      if (HasHashLink(v.kind) && view_.Holds(at, kName + 2)) entries.push_back({at, v.handle, Bucket(v.name)});
      return true;
    });
    Write(scope, entries);
  }

  // The writes of every scope a plan noted, in the order a rebuild makes
  // them. Only when the plan fits and no write lands in a read span: the
  // rebuild's reads then all come before its writes would change them.
  void WriteGathered() {
    for (const Gathered& g : gathered_) {
      entries_.assign(gatheredEntries_.begin() + static_cast<std::ptrdiff_t>(g.from),
                      gatheredEntries_.begin() + static_cast<std::ptrdiff_t>(g.to));
      Write(g.scope, entries_);
    }
  }

 private:
  // A scope a plan noted and its chain's entries in gatheredEntries_.
  struct Gathered {
    uint8_t* scope;
    size_t from;
    size_t to;
  };

  // The scope record and hash links of `entries`, the chain of `scope`.
  void Write(uint8_t* scope, std::vector<Hashed>& entries) {
    if (entries.empty()) {
      // Most scopes (labels, unused module scopes) are empty: every bucket
      // is (0, 0).
      std::fill_n(scope + kScopeBuckets, 4 * kBucketCount, uint8_t{0});
      return;
    }
    DropRepeats(entries);
    // Each bucket's list in chain order, threaded through `next_`.
    std::array<uint32_t, kBucketCount> first;
    std::array<uint32_t, kBucketCount> last;
    first.fill(kNoEntry);
    last.fill(kNoEntry);
    next_.assign(entries.size(), kNoEntry);
    for (uint32_t i = 0; i < entries.size(); ++i) {
      const uint16_t b = entries[i].bucket;
      (last[b] == kNoEntry ? first[b] : next_[last[b]]) = i;
      last[b] = i;
    }
    // Written bucket by bucket: where a damaged module's fields overlap, the
    // later write wins, so the order is kept.
    for (size_t b = 0; b < kBucketCount; ++b) {
      uint8_t* pair = scope + kScopeBuckets + 4 * b;
      StoreU16(pair, first[b] == kNoEntry ? 0 : static_cast<uint16_t>(entries[first[b]].handle));
      StoreU16(pair + 2, last[b] == kNoEntry ? 0 : static_cast<uint16_t>(entries[last[b]].handle));
      // The handles come from the chain's own links, so they already are the
      // 16-bit form (an extended-table index for entries beyond 64 KiB).
      for (uint32_t i = first[b]; i != kNoEntry; i = next_[i]) {
        const uint16_t link = next_[i] == kNoEntry ? 0 : static_cast<uint16_t>(entries[next_[i]].handle);
        view_.SetField16(entries[i].handle, kHashLink, link);
      }
    }
  }

 public:
  // The scopes an entry of a module scope carries, and those of its members.
  void RebuildEntry(uint32_t handle, int nesting) {
    const uint32_t at = view_.Resolve(handle);
    const uint16_t kind = view_.U16(at);
    const uint16_t flags = view_.Flags(handle);
    if ((flags & kNoCode) != 0 || nesting > kMaxNesting) return;
    if (IsProcedureKind(kind)) {
      RebuildProcedure(at);
      const uint64_t setAccessor = uint64_t{at} + kProcedureSize;
      if (kind == kProperty && (flags & kSetAccessor) == 0 && plan_ != nullptr)
        plan_->read.push_back({setAccessor, setAccessor + kFlags + 2, HashWritePlan::EntryOwner(setAccessor)});
      if (kind == kProperty && (flags & kSetAccessor) == 0 && view_.U16(setAccessor) == kProperty &&
          (view_.U16(setAccessor + kFlags) & kNoCode) == 0)
        RebuildProcedure(static_cast<uint32_t>(setAccessor));
    } else if (kind == kClass || kind == kContainer16) {
      if (uint8_t* scope = InSymbols(uint64_t{at} + kMemberScope)) {
        Rebuild(scope);
        view_.WalkSymbols(LoadU16(scope + kScopeFirst), handle, false, [&](const SymbolVisit& v) {
          RebuildEntry(v.handle, nesting + 1);
          return true;
        });
      }
    }
  }

 private:
  void Plan(uint8_t* scope) {
    const uint8_t* base = view_.symbols->Data().data();
    const size_t length = view_.symbols->Data().size();
    if (scope >= base && scope < base + length) {
      const uint64_t at = static_cast<uint64_t>(scope - base);
      plan_->kept.push_back({at, at + kScopeSize, HashWritePlan::ScopeOwner(at)});
      plan_->writes.push_back({at + kScopeBuckets, at + kScopeSize, HashWritePlan::ScopeOwner(at)});
    }
    // An entry added to the scope is linked after its last entry: that link
    // is written too.
    if (const uint32_t last = LoadU16(scope + kScopeLast); last != 0) {
      const uint64_t at = view_.Resolve(last);
      const uint16_t kind = view_.U16(at);
      if (at < CSymbolTable::kChecksumBytes) plan_->insideChecksum = true;
      KeepEntry(*plan_, at, kind);
      if (kind != kTerminator) {
        const uint64_t sibling = at + (kind == kEntry2 || kind == kLibrary ? 2 : kSibling);
        plan_->writes.push_back({sibling, sibling + 2, HashWritePlan::EntryOwner(at)});
      }
    }
    // Entries of kind 0 are stepped over by their sibling link: it counts
    // too. The walk visits the others as the rebuild's own walk does.
    const size_t from = gatheredEntries_.size();
    view_.WalkSymbols(
        LoadU16(scope + kScopeFirst), 0, false,
        [&](const SymbolVisit& v) {
          const uint64_t at = view_.Resolve(v.handle);
          if (at < CSymbolTable::kChecksumBytes) plan_->insideChecksum = true;
          KeepEntry(*plan_, at, v.kind);
          if (v.kind != 0 && HasHashLink(v.kind) && view_.Holds(at, kName + 2)) {
            plan_->writes.push_back({at + kHashLink, at + kHashLink + 2, HashWritePlan::EntryOwner(at)});
            if (gather_) gatheredEntries_.push_back({static_cast<uint32_t>(at), v.handle, Bucket(v.name)});
          }
          return true;
        },
        true);
    if (gather_) gathered_.push_back({scope, from, gatheredEntries_.size()});
  }

  void RebuildProcedure(uint32_t at) {
    if (uint8_t* locals = InSymbols(uint64_t{at} + kLocalScope)) Rebuild(locals);
    if (uint8_t* labels = InSymbols(uint64_t{at} + kLabelScope)) Rebuild(labels);
  }

  uint8_t* InSymbols(uint64_t offset) {
    if (!view_.Holds(offset, kScopeSize)) return nullptr;
    return view_.symbols->MutableData().data() + offset;
  }

  uint16_t Bucket(uint16_t name) const {
    uint16_t hash = 0;
    // A name that is no string hashes like the empty name.
    if (!strings_.NameHashOf(name, hash)) return 0;
    return static_cast<uint16_t>(hash % kBucketCount);
  }

  // A corrupt chain may repeat entries: each is hashed where it first comes.
  void DropRepeats(std::vector<Hashed>& entries) {
    offsets_.clear();
    for (const Hashed& e : entries) offsets_.push_back(e.offset);
    std::sort(offsets_.begin(), offsets_.end());
    if (std::adjacent_find(offsets_.begin(), offsets_.end()) == offsets_.end()) return;
    std::unordered_set<uint32_t> seen;
    std::erase_if(entries, [&](const Hashed& e) { return !seen.insert(e.offset).second; });
  }

  SymbolView view_;
  const CStringTable& strings_;
  HashWritePlan* plan_;
  const bool gather_;
  static constexpr uint32_t kNoEntry = UINT32_MAX;
  // Reused from scope to scope.
  std::vector<Hashed> entries_;
  std::vector<uint32_t> next_;  // per entry: the next of its bucket
  std::vector<uint32_t> offsets_;
  // What a plan gathered for WriteGathered.
  std::vector<Gathered> gathered_;
  std::vector<Hashed> gatheredEntries_;
};

constexpr size_t kModuleScopes[] = {header::kScope1, header::kScope3, header::kScope4, header::kScope2};

}  // namespace

// Besides module scope 1, the classes of scope 3 and the containers of scope
// 4 are rebuilt with the procedures they hold: the classes this system adds
// (and their members and locals) live there, and their hash tables must
// match their chains as much as those of module-level procedures do.
namespace {

void RebuildAll(SymbolView symbols, CHeader& header, ScopeHashes& hashes) {
  for (size_t scope : kModuleScopes) hashes.Rebuild(header.MutableData().data() + scope);
  for (size_t scope : kModuleScopes) {
    symbols.WalkSymbols(header.U16(scope + kScopeFirst), 0, false, [&](const SymbolVisit& v) {
      hashes.RebuildEntry(v.handle, 0);
      return true;
    });
  }
}

// Parse itself writes the owner of every procedure held by a container of
// module scope 4 (LinkProcedureOwners): those writes must fit too.
void PlanOwnerLinks(SymbolView symbols, const CHeader& header, HashWritePlan& plan) {
  if (header.Holds(header::kScope4 + kScopeFirst, 2)) {
    symbols.WalkSymbols(header.U16(header::kScope4 + kScopeFirst), 0, false, [&](const SymbolVisit& container) {
      const uint16_t kind = container.kind;
      if (kind != kContainer16 && kind != kClass && kind != kContainer10 && !IsProcedureKind(kind)) return true;
      const uint32_t first = symbols.Field16(container.handle, kMemberScope + kScopeFirst);
      symbols.WalkSymbols(
          first, container.handle, false,
          [&](const SymbolVisit& member) {
            const uint64_t at = symbols.Resolve(member.handle);
            if (at < CSymbolTable::kChecksumBytes) plan.insideChecksum = true;
            KeepEntry(plan, at, member.kind);
            if (IsProcedureKind(member.kind))
              plan.writes.push_back({at + kOwner, at + kOwner + 2, HashWritePlan::EntryOwner(at)});
            return true;
          },
          true);
      return true;
    });
  }
}

}  // namespace

void RebuildScopeHashes(SymbolView symbols, CHeader& header, const CStringTable& strings) {
  if (symbols.symbols == nullptr || !HeaderUsable(header)) return;
  ScopeHashes hashes(symbols, strings);
  RebuildAll(symbols, header, hashes);
}

bool ScopeHashesFitEntries(SymbolView symbols, CHeader& header, const CStringTable& strings, uint64_t* conflict) {
  if (symbols.symbols == nullptr || !HeaderUsable(header)) return true;
  HashWritePlan plan(symbols.symbols->Data().size());
  ScopeHashes hashes(symbols, strings, &plan);
  RebuildAll(symbols, header, hashes);
  PlanOwnerLinks(symbols, header, plan);
  uint64_t at = 0;
  const bool fits = plan.Fits(at);
  if (conflict != nullptr) *conflict = at;
  return fits;
}

bool RebuildScopeHashesIfFit(SymbolView symbols, CHeader& header, const CStringTable& strings) {
  if (symbols.symbols == nullptr || !HeaderUsable(header)) return true;
  HashWritePlan plan(symbols.symbols->Data().size());
  ScopeHashes hashes(symbols, strings, &plan, true);
  RebuildAll(symbols, header, hashes);
  PlanOwnerLinks(symbols, header, plan);
  uint64_t at = 0;
  if (!plan.Fits(at)) return false;
  if (plan.WritesRead()) {
    RebuildScopeHashes(symbols, header, strings);
  } else {
    hashes.WriteGathered();
  }
  return true;
}

void SymbolView::LinkProcedureOwners(const CHeader& header) const {
  if (!header.Holds(header::kScope4 + kScopeFirst, 2)) return;
  WalkSymbols(header.U16(header::kScope4 + kScopeFirst), 0, false, [&](const SymbolVisit& container) {
    const uint16_t kind = container.kind;
    if (kind != kContainer16 && kind != kClass && kind != kContainer10 && !IsProcedureKind(kind)) return true;
    const uint32_t first = Field16(container.handle, kMemberScope + kScopeFirst);
    WalkSymbols(first, container.handle, false, [&](const SymbolVisit& member) {
      if (IsProcedureKind(member.kind)) SetField16(member.handle, kOwner, static_cast<uint16_t>(container.handle));
      return true;
    });
    return true;
  });
}

}  // namespace quillet
