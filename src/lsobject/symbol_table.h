// The symbol table (type 5), its extended handle table (type 14) and the
// view over both through which symbol handles are resolved, walked, looked
// up and added to. Entry layouts are in symbol_entries.h.
//
// A symbol handle is 16 bits: when the extended table holds index h, entry h
// lies at the offset stored there, otherwise at offset h itself. Handles are
// passed as uint32_t; an offset beyond 0xFFFF that has no index stands for
// itself (Resolve of an index outside the extended table is the index).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "lsobject/header.h"
#include "lsobject/script_item_info.h"
#include "lsobject/symbol_index.h"
#include "lsobject/table_extention.h"

namespace quillet {

class CByteCode;
class CLabelOffsetTable;
class CStringTable;

// 16-bit symbol handle -> 32-bit entry offset, for tables beyond 64 KiB.
class CExtendedSymbolTable : public CTableExtention {
 public:
  uint8_t Type() const override { return record::kExtendedSymbolTable; }
};

// Symbol entries in 64 KiB segments. The first four bytes hold the module
// checksum, so they are left out of it. The table keeps the lookup index of
// its view beside the data; clearing the data clears the index.
class CSymbolTable : public CMultiSection {
 public:
  static constexpr size_t kChecksumBytes = 4;
  uint8_t Type() const override { return record::kSymbolTable; }
  uint32_t UpdateChecksum(uint32_t crc) const override { return ChecksumSegments(crc, kChecksumBytes); }
  void Clear() override {
    CMultiSection::Clear();
    index_.Clear();
  }

  SymbolIndex& Index() { return index_; }

 private:
  SymbolIndex index_;
};

// What a walk hands its visitor for each entry.
struct SymbolVisit {
  uint32_t handle = 0;
  uint16_t kind = 0;
  uint32_t parent = 0;  // the entry whose scope or list is walked; 0 at module level
  uint32_t next = 0;    // next sibling handle, 0 at the end
  int32_t value = -1;   // kinds 3 and 4: u16 at 10; kind 2: u16 at 16; else -1
  uint16_t flags = 0;
  uint16_t name = 0;    // string handle
};
// The visitor of one walk; returns false to stop it. It refers to the
// callable it is made from, without a copy or an allocation: that callable
// must outlive the walk, as a lambda written in the call does.
class SymbolVisitor {
 public:
  template <typename F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, SymbolVisitor> &&
             std::is_invocable_r_v<bool, F&, const SymbolVisit&>)
  SymbolVisitor(F&& visit)  // NOLINT: made implicitly from the lambda of a call
      : callable_(const_cast<void*>(static_cast<const void*>(std::addressof(visit)))),
        call_([](void* callable, const SymbolVisit& v) {
          return static_cast<bool>((*static_cast<std::remove_reference_t<F>*>(callable))(v));
        }) {}

  bool operator()(const SymbolVisit& v) const { return call_(callable_, v); }

 private:
  void* callable_;
  bool (*call_)(void*, const SymbolVisit&);
};

// One procedure as ListProcedures reports it.
struct ProcedureDescriptor {
  uint32_t symbol = 0;
  uint32_t codeOffset = 0;
  uint32_t name = 0;
  uint32_t owner = 0;
  uint16_t flags = 0;
  std::string title;     // ScriptItemInfo::Title
  std::string itemName;  // ScriptItemInfo::ItemName
};

// Which procedures ListProcedures reports.
struct ProcedureFilter {
  static constexpr uint8_t kFunctions = 0x01;
  static constexpr uint8_t kSubs = 0x02;
  static constexpr uint8_t kClassMembers = 0x04;
  static constexpr uint8_t kProperties = 0x08;
  static constexpr uint8_t kWithoutCode = 0x10;
  static constexpr uint8_t kEvents = 0x20;
  static constexpr uint8_t kFlagged = 0x40;  // procedures with flag 0x0010
  static constexpr uint8_t kPlain = 0x80;    // procedures without it
  static constexpr uint8_t kSystemListing = 0xEF;

  std::string className{};  // non-empty: only members of the class of this name
  uint8_t bits = kSystemListing;
};

// The pair of tables every symbol handle needs; handed out by value. Every
// read is checked against the symbol data: a field outside it reads as 0 and
// a write outside it is dropped, so a corrupt module yields "not found", never
// a read or write out of bounds. Walks stop on cycles in sibling chains and
// are bounded in depth and steps.
struct SymbolView {
  CSymbolTable* symbols = nullptr;
  CExtendedSymbolTable* extended = nullptr;

  // --- Handles (symbol_view.cpp) ---------------------------------------------
  // Inline: every walk step and field read resolves a handle.
  uint32_t Resolve(uint32_t handle) const {
    if (extended == nullptr || extended->Empty()) return handle;
    return ResolveExtended(handle);
  }
  // The handle of a new entry at `offset`: the offset itself below 0xFFFF,
  // otherwise a new extended-table index that is never 0 and never a
  // position of the symbol data that looks like an entry (such indices are
  // set to themselves and skipped).
  uint32_t EncodeSymbolOffset(uint32_t offset) const;
  // The existing handle of `offset`, without adding an index: the offset
  // below 0xFFFF, else the index Find gives, else the offset itself.
  uint32_t HandleOf(uint32_t offset) const;

  // --- Raw access at data offsets --------------------------------------------
  bool Holds(uint64_t offset, size_t width) const {
    if (symbols == nullptr) return false;
    const size_t length = symbols->Data().size();
    return width <= length && offset <= length - width;
  }
  uint16_t U16(uint64_t offset) const { return Holds(offset, 2) ? LoadU16(symbols->Data().data() + offset) : 0; }
  uint32_t U32(uint64_t offset) const;
  void SetU16(uint64_t offset, uint16_t value) const;
  void SetU32(uint64_t offset, uint32_t value) const;

  // --- Entry readers (every handle is resolved first) -------------------------
  uint16_t Kind(uint32_t handle) const;
  uint16_t Flags(uint32_t handle) const;  // 0 for kinds without flags
  uint32_t NextSibling(uint32_t handle) const;  // 0 for kind 22
  void SetNextSibling(uint32_t handle, uint32_t next) const;
  uint32_t Owner(uint32_t handle) const;
  uint16_t NameHandle(uint32_t handle) const;
  // The code offset of a procedure; 0 with flag 0x0040 or for kinds 24, 26.
  uint32_t CodeOffset(uint32_t handle) const;
  int32_t WalkValue(uint32_t handle) const;
  // The `size` bytes of the entry, or empty when they do not fit the data.
  std::span<const uint8_t> EntryAt(uint32_t handle, size_t size) const;
  // What a walk reports of the entry `handle`, which lies at `at` (its
  // Resolve), met in the scope or list of `parent`.
  SymbolVisit Describe(uint32_t handle, uint32_t at, uint32_t parent) const;
  uint16_t Field16(uint32_t handle, size_t field) const { return U16(uint64_t{Resolve(handle)} + field); }
  void SetField16(uint32_t handle, size_t field, uint16_t v) const { SetU16(uint64_t{Resolve(handle)} + field, v); }

  // --- Walks (symbol_walk.cpp) ------------------------------------------------
  // Visits the chain starting at `first` (and, with `recurse`, the scopes and
  // lists below its entries). Returns the number of entries visited.
  // With `visitKindZero`, entries whose kind word is 0 (stepped over, never
  // visited otherwise) are visited too.
  int32_t WalkSymbols(uint32_t first, uint32_t parent, bool recurse, const SymbolVisitor& visit,
                      bool visitKindZero = false) const;
  // WalkSymbols over the module chains headed at header offsets 30, 32, 64,
  // 184, 36, 124 and 244, in that order.
  int32_t WalkModule(const CHeader& header, bool recurse, const SymbolVisitor& visit) const;

  // --- Look-ups (symbol_lookup.cpp) -------------------------------------------
  // The first module-level entry of `kind` named exactly `name`. Served from
  // the table's index after the first call.
  [[nodiscard]] bool FindModuleSymbol(const CHeader& header, CStringTable& strings, uint16_t kind,
                                      std::string_view name, uint32_t& handle) const;
  // The first variable named exactly `name` in the chain starting at `first`.
  [[nodiscard]] bool FindVariable(CStringTable& strings, uint32_t first, std::string_view name,
                                  uint32_t& handle) const;
  // The label of `procedure` whose label-offset entry is `codeOffset`, or 0.
  uint32_t FindLabel(const CLabelOffsetTable& labels, uint32_t procedure, uint32_t codeOffset) const;

  // --- Procedures (symbol_procedures.cpp) -------------------------------------
  // Appends the procedures `filter` selects, each once; returns the count added.
  int32_t ListProcedures(const CHeader& header, CStringTable& strings, const ScriptItemInfo& info,
                         std::vector<ProcedureDescriptor>& list, const ProcedureFilter& filter = {}) const;
  // "Owner::Name" for a class member, "Name" at module level; Property
  // accessors carry "GET_" or "SET_" in front of the procedure's own name
  // ("Owner::GET_Name"). At most 1023 bytes.
  std::string ProcedureName(CStringTable& strings, uint32_t handle, uint32_t owner, uint16_t flags) const;
  // The entry offsets of every procedure with code the listing reaches, each
  // once; kept by the table's index while the symbol data keeps its length
  // (entries are only appended). Flags may have changed since: check them.
  const std::vector<uint32_t>& ProcedureEntries(const CHeader& header) const;
  // Adds `delta` to the code offset of every procedure with code whose
  // offset is greater than `after`. Returns the number moved.
  int32_t RelocateProcedures(const CHeader& header, uint32_t after, int32_t delta) const;

  // --- Adding entries (symbol_add.cpp, symbol_add_procedures.cpp) ------------
  // Each returns the new entry's handle, or 0 when the owner or procedure it
  // is given is not an entry of the right kind.
  uint32_t AddVariable(CHeader& header, CStringTable& strings, uint32_t owner, uint16_t dataType,
                       uint16_t typeArgument, uint16_t flags, std::string_view name) const;
  // Only for NEW of a class (compared ignoring case); DELETE and other
  // procedures get nothing (0).
  uint32_t AddConstructorParameter(CHeader& header, CStringTable& strings, uint32_t procedure,
                                   std::string_view name) const;
  // What AddConstructorParameter checks before it adds: the class owning
  // `procedure` when that is its NEW, else 0.
  uint32_t ConstructorClass(CStringTable& strings, uint32_t procedure) const;
  // AddConstructorParameter once ConstructorClass gave `owner`.
  uint32_t AddParameterOf(CHeader& header, CStringTable& strings, uint32_t procedure, uint32_t owner,
                          std::string_view name) const;
  uint32_t AddSub(CHeader& header, CStringTable& strings, CByteCode& code, std::string_view name) const;
  uint32_t AddClass(CHeader& header, CStringTable& strings, CByteCode& code, std::string_view name) const;
  uint32_t AddLibraryEntry(CHeader& header, CStringTable& strings, std::string_view library) const;
  uint32_t AddExternalDeclaration(CHeader& header, CStringTable& strings, std::string_view name,
                                  std::string_view alias, std::string_view library,
                                  std::span<const uint32_t> parameterWords) const;

  // --- After Parse (symbol_hashes.cpp) ----------------------------------------
  // Stores each container's handle in the owner field of the Functions, Subs
  // and Properties of its child scope, for the containers in module scope 4.
  void LinkProcedureOwners(const CHeader& header) const;

  // Appends `bytes` as new entries; returns the offset of the first, or
  // UINT32_MAX when the table cannot grow. Refreshes the header size fields.
  uint32_t AppendEntries(CHeader& header, std::span<const uint8_t> bytes) const;

 private:
  // Resolve with an extended table that holds indices.
  uint32_t ResolveExtended(uint32_t handle) const;
};

}  // namespace quillet
