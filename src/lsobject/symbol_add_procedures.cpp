// Adding module-level Subs and classes with their constructor and destructor,
// each with an empty body at the end of the byte code.
#include <memory>
#include <vector>

#include "bytecode/opcodes.h"
#include "lsobject/code_tables.h"
#include "lsobject/string_table.h"
#include "lsobject/symbol_add_common.h"
#include "lsobject/symbol_entries.h"
#include "lsobject/symbol_table.h"

namespace quillet {
namespace {

using namespace symbol;

// Appends an empty procedure body (a synthetic line, then the end of the
// procedure) and returns the code offset it starts at.
uint32_t AppendEmptyBody(CByteCode& code) {
  // The same bytes every time: encoded once.
  static const std::vector<uint8_t> kBody = [] {
    InstructionList body;
    body.push_back(std::make_unique<OpLine>(OpLine::kSyntheticLine));
    body.push_back(std::make_unique<OpEndSub>());
    return EncodeInstructions(body);
  }();
  const auto start = static_cast<uint32_t>(code.Length());
  (void)code.InsertBytes(-1, kBody);  // appending cannot fall outside the data
  return start;
}

// A 152-byte system procedure entry: `flags`, name, code offset.
void PutProcedure(uint8_t* e, uint16_t flags, uint16_t name, uint32_t codeOffset) {
  StoreU16(e + kKind, kSub);
  StoreU16(e + kFlags, flags);
  StoreU16(e + kName, name);
  StoreU32(e + kCodeOffset, codeOffset);
}

}  // namespace

uint32_t SymbolView::AddSub(CHeader& header, CStringTable& strings, CByteCode& code, std::string_view name) const {
  if (!HeaderUsable(header) || symbols == nullptr) return 0;
  const uint16_t nameHandle = strings.FindOrAddString(name);
  uint8_t entry[kProcedureSize] = {};
  PutProcedure(entry, kSystemSubFlags, nameHandle, AppendEmptyBody(code));
  const uint32_t at = AppendEntries(header, entry);
  if (at == kNoOffset) return 0;
  const uint32_t handle = EncodeSymbolOffset(at);

  LinkAfterFirst(*this, header, header::kScope1, handle);
  // LotusScript names ignore case: a Sub added as "Terminate" is the
  // module's Terminate, which the runtime calls through the header.
  const ModuleText& text = strings.Text();
  if (text.Compare(name, "TERMINATE", kCompareNoCase) == 0)
    header.SetU16(header::kTerminateSub, static_cast<uint16_t>(handle));
  else if (text.Compare(name, "INITIALIZE", kCompareNoCase) == 0)
    header.SetU16(header::kInitializeSub, static_cast<uint16_t>(handle));

  SymbolIndex& index = symbols->Index();
  index.NoteAddedName(kSub, strings.TextOf(nameHandle), handle);
  index.NoteAddedProcedures({at});
  return handle;
}

uint32_t SymbolView::AddClass(CHeader& header, CStringTable& strings, CByteCode& code, std::string_view name) const {
  if (!HeaderUsable(header) || symbols == nullptr) return 0;
  const uint16_t nameHandle = strings.FindOrAddString(name);
  const uint16_t newHandle = strings.FindOrAddString("NEW");
  const uint16_t deleteHandle = strings.FindOrAddString("DELETE");

  // Constructor, destructor and class, appended in one step.
  constexpr size_t kDestructorAt = kProcedureSize;
  constexpr size_t kClassAt = 2 * kProcedureSize;
  uint8_t entries[kClassAt + kClassSize] = {};
  PutProcedure(entries, kSystemConstructorFlags, newHandle, AppendEmptyBody(code));
  StoreU16(entries + kSystemMarker, kSystemMarkerValue);
  PutProcedure(entries + kDestructorAt, kSystemConstructorFlags, deleteHandle, AppendEmptyBody(code));
  StoreU16(entries + kDestructorAt + kSystemMarker, kSystemMarkerValue);
  uint8_t* c = entries + kClassAt;
  StoreU16(c + kKind, kClass);
  StoreU16(c + kName, nameHandle);
  StoreU16(c + kMemberScope + kScopeCount, 2);
  StoreU16(c + kClassMarker, kClassMarkerValue);

  const uint32_t at = AppendEntries(header, entries);
  if (at == kNoOffset) return 0;
  const uint32_t constructor = EncodeSymbolOffset(at);
  const uint32_t destructor = EncodeSymbolOffset(at + kDestructorAt);
  const uint32_t handle = EncodeSymbolOffset(at + kClassAt);
  const auto ctor16 = static_cast<uint16_t>(constructor);
  const auto dtor16 = static_cast<uint16_t>(destructor);
  SetU16(uint64_t{at} + kSibling, dtor16);
  SetU16(uint64_t{at} + kOwner, static_cast<uint16_t>(handle));
  SetU16(uint64_t{at} + kDestructorAt + kOwner, static_cast<uint16_t>(handle));
  const uint64_t classAt = uint64_t{at} + kClassAt;
  SetU16(classAt + kMemberScope + kScopeFirst, ctor16);
  SetU16(classAt + kMemberScope + kScopeLast, dtor16);
  SetU16(classAt + kConstructor, ctor16);
  SetU16(classAt + kDestructor, dtor16);

  // Classes live in module scope 3, whose count is the module's class count.
  LinkAfterFirst(*this, header, header::kScope3, handle);

  SymbolIndex& index = symbols->Index();
  index.NoteAddedName(kClass, strings.TextOf(nameHandle), handle);
  index.NoteAddedProcedures({at, at + static_cast<uint32_t>(kDestructorAt)});
  return handle;
}

}  // namespace quillet
