// Listing, naming and relocating the module's procedures.
#include <algorithm>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "lsobject/string_table.h"
#include "lsobject/symbol_entries.h"
#include "lsobject/symbol_table.h"

namespace quillet {
namespace {

using namespace symbol;

// Module-level procedures the runtime calls for events; names compare exactly.
bool IsEventName(std::string_view name) {
  static const std::unordered_set<std::string_view> kEvents = {
      "bindevents",        "click",             "initialize",     "terminate",       "Onintervalchange",
      "Entering",          "Exiting",           "onBlur",         "onChange",        "onFocus",
      "Click",             "ObjectExecute",     "RegionDoubleClick", "QueryOpenDocument", "QueryAddToFolder",
      "QueryPaste",        "PostPaste",         "QueryDragDrop",  "PostDragDrop",    "QueryEntryResize",
      "InViewEdit",        "onHelp",            "onLoad",         "onUnload",        "onSubmit",
      "QueryOpen",         "PostOpen",          "QueryModeChange", "PostModeChange", "QueryRecalc",
      "PostRecalc",        "QueryClose",        "QuerySend",      "PostSend",        "PostSave",
      "QuerySave"};
  return kEvents.contains(name);
}

bool IsProcedure(uint16_t kind) { return kind == kFunction || kind == kSub || kind == kProperty; }

// The entry offsets a listing has reported. Most modules hold a few
// procedures: those are searched in a short array, a hash set takes over
// beyond.
class OffsetSet {
 public:
  bool contains(uint32_t offset) const {
    if (!many_.empty()) return many_.contains(offset);
    return std::find(few_.begin(), few_.end(), offset) != few_.end();
  }
  void insert(uint32_t offset) {
    if (!many_.empty()) {
      many_.insert(offset);
    } else if (std::find(few_.begin(), few_.end(), offset) == few_.end()) {
      few_.push_back(offset);
      if (few_.size() > kFew) many_.insert(few_.begin(), few_.end());
    }
  }

 private:
  static constexpr size_t kFew = 32;
  std::vector<uint32_t> few_;
  std::unordered_set<uint32_t> many_;
};

// The longest name the listing forms, as the 1024-byte buffer it was made
// for holds it with its terminator.
constexpr size_t kMaxNameBytes = 1023;

}  // namespace

int32_t SymbolView::ListProcedures(const CHeader& header, CStringTable& strings, const ScriptItemInfo& info,
                                   std::vector<ProcedureDescriptor>& list, const ProcedureFilter& filter) const {
  const uint8_t bits = filter.bits;
  OffsetSet listed;  // entry offsets, so two handles of one entry count once
  for (const ProcedureDescriptor& d : list) listed.insert(Resolve(d.symbol));
  int32_t added = 0;

  WalkModule(header, true, [&](const SymbolVisit& v) {
    if (!IsProcedure(v.kind)) return true;
    if ((v.flags & kNoCode) != 0 && (bits & ProcedureFilter::kWithoutCode) == 0) return true;
    const uint8_t plainBit = (v.flags & kFilter40) != 0 ? ProcedureFilter::kFlagged : ProcedureFilter::kPlain;
    if ((bits & plainBit) == 0) return true;
    const uint32_t offset = Resolve(v.handle);
    if (listed.contains(offset)) return true;

    const uint32_t owner = Owner(v.handle);
    if (!filter.className.empty() && (owner == 0 || strings.TextOf(NameHandle(owner)) != filter.className))
      return true;
    if (owner == 0) {
      if ((bits & ProcedureFilter::kEvents) == 0 && IsEventName(strings.TextOf(v.name))) return true;
    } else if ((bits & ProcedureFilter::kClassMembers) == 0) {
      return true;
    }
    const uint8_t kindBit = v.kind == kFunction ? ProcedureFilter::kFunctions
                            : v.kind == kSub   ? ProcedureFilter::kSubs
                                               : ProcedureFilter::kProperties;
    if ((bits & kindBit) == 0) return true;

    listed.insert(offset);
    ProcedureDescriptor d;
    d.symbol = v.handle;
    d.codeOffset = CodeOffset(v.handle);
    d.name = v.name;
    d.owner = owner;
    d.flags = v.flags;
    d.title = info.Title;
    d.itemName = info.ItemName;
    list.push_back(std::move(d));
    ++added;
    return true;
  });
  return added;
}

// Property accessors show which side they are: the prefix stands in front of
// the procedure's own name, after any owner ("Account::GET_Balance"), so that
// names of one class still sort together.
std::string SymbolView::ProcedureName(CStringTable& strings, uint32_t handle, uint32_t owner, uint16_t flags) const {
  std::string name;
  if (owner != 0) {
    name = strings.GetText(NameHandle(owner));
    name += "::";
  }
  if ((flags & kAccessor) != 0) name += (flags & kSetAccessor) != 0 ? "SET_" : "GET_";
  name += strings.GetText(NameHandle(handle));
  if (name.size() > kMaxNameBytes) name.resize(kMaxNameBytes);
  return name;
}

const std::vector<uint32_t>& SymbolView::ProcedureEntries(const CHeader& header) const {
  static const std::vector<uint32_t> kNone;
  if (symbols == nullptr) return kNone;
  SymbolIndex& index = symbols->Index();
  const size_t length = symbols->Data().size();
  if (!index.ProceduresValid(length)) {
    // Every procedure with code that the listing reaches, each entry once.
    std::vector<uint32_t> offsets;
    OffsetSet seen;
    WalkModule(header, true, [&](const SymbolVisit& v) {
      if (!IsProcedure(v.kind) || (v.flags & kNoCode) != 0) return true;
      const uint32_t offset = Resolve(v.handle);
      if (!seen.contains(offset)) {
        seen.insert(offset);
        offsets.push_back(offset);
      }
      return true;
    });
    index.SetProcedures(length, std::move(offsets));
  }
  return index.Procedures();
}

int32_t SymbolView::RelocateProcedures(const CHeader& header, uint32_t after, int32_t delta) const {
  int32_t moved = 0;
  for (uint32_t offset : ProcedureEntries(header)) {
    // Entries are only ever appended, but their flags may have changed.
    if (!IsProcedure(U16(offset)) || (U16(uint64_t{offset} + kFlags) & kNoCode) != 0) continue;
    const uint32_t code = U32(uint64_t{offset} + kCodeOffset);
    if (code <= after) continue;
    SetU32(uint64_t{offset} + kCodeOffset, code + static_cast<uint32_t>(delta));
    ++moved;
  }
  return moved;
}

}  // namespace quillet
