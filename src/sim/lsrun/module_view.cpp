// Bounded symbol-entry and string reading for the runtime.
#include "sim/lsrun/module_view.h"

#include "platform/platform.h"
#include "util/bytes.h"
#include "util/ascii.h"

namespace quillet::lsrun {
namespace {

using namespace symbol;

constexpr uint16_t kNoString = 0xFFFF;
constexpr size_t kBaseClass = 12;  // class entry: the handle of the class it derives from

// The first entry of the scope record at `scope` inside an entry.
constexpr size_t FirstOf(size_t scope) { return scope + kScopeFirst; }

}  // namespace

bool SameName(std::string_view a, std::string_view b) { return AsciiEqualNoCase(a, b); }

ModuleView::ModuleView(CLSScriptModule& module)
    : module_(module), symbols_(module.SymbolTable().Data()), code_(module.ByteCode().Data()) {}

uint32_t ModuleView::Resolve(uint16_t handle) const {
  const CExtendedSymbolTable& extended = module_.ExtendedSymbolTable();
  if (!extended.Empty() && extended.Contains(handle)) return extended.Get(handle);
  return handle;
}

std::span<const uint8_t> ModuleView::Entry(uint32_t offset, size_t size) const {
  if (size > symbols_.size() || offset > symbols_.size() - size) return {};
  return symbols_.subspan(offset, size);
}

uint16_t ModuleView::KindAt(uint32_t offset) const {
  auto e = Entry(offset, 2);
  return e.empty() ? 0 : LoadU16(e.data());
}

bool ModuleView::LabelPosition(uint16_t label, uint32_t& position) const {
  auto e = Entry(Resolve(label), symbol::kLabelTarget + 2);
  if (label == 0 || e.empty()) return false;
  position = module_.LabelOffsets().Resolve(LoadU16(e.data() + symbol::kLabelTarget));
  return true;
}

uint16_t ModuleView::HeaderU16(size_t offset) const {
  const CHeader& h = module_.Header();
  return h.Holds(offset, 2) ? h.U16(offset) : 0;
}

bool ModuleView::Text(uint16_t handle, std::string& out) const {
  if (handle == kNoString) {
    out.clear();
    return true;
  }
  CStringTable& table = module_.StringTable();
  uint32_t offset = handle;
  if (!table.Extended().Empty() && table.Extended().Contains(handle)) offset = table.Extended().Get(handle);
  // A string is a u16 count before its first unit, the units, and a 0 unit.
  std::span<const uint8_t> data = table.Data();
  if (data.size() < 2 || offset < 4 || offset % 4 != 0 || offset > data.size() - 2) return false;
  const uint32_t n = LoadU16(data.data() + offset - 2);
  if (data.size() < offset + 2 * n + 2) return false;
  if (LoadU16(data.data() + offset + 2 * n) != 0) return false;
  out = platform::Utf16ToUtf8(LoadUtf16Le(data.data() + offset, n));
  return true;
}

std::string ModuleView::NameAt(uint32_t offset) const {
  const uint16_t k = KindAt(offset);
  const size_t nameAt = k == kind::kLibrary ? kLibraryName : kName;
  auto e = Entry(offset, nameAt + 2);
  std::string name;
  if (e.empty() || !Text(LoadU16(e.data() + nameAt), name)) return "";
  return name;
}

uint16_t ModuleView::FlagsAt(uint32_t offset) const {
  auto e = Entry(offset, kFlags + 2);
  return e.empty() ? 0 : LoadU16(e.data() + kFlags);
}

uint32_t ModuleView::SetAfterGet(uint32_t offset) const {
  if (KindAt(offset) != kind::kProperty || (FlagsAt(offset) & kSetAccessor) != 0) return 0;
  const uint64_t set = uint64_t{offset} + kProcedureSize;
  if (set >= symbols_.size()) return 0;
  return KindAt(static_cast<uint32_t>(set)) == kind::kProperty ? static_cast<uint32_t>(set) : 0;
}

std::vector<uint32_t> ModuleView::Chain(uint16_t first) const {
  std::vector<uint32_t> out;
  const size_t limit = symbols_.size() / kLibrarySize + 1;
  uint16_t handle = first;
  while (handle != 0 && out.size() < limit) {
    const uint32_t offset = Resolve(handle);
    const uint16_t k = KindAt(offset);
    if (k == 0 || k == kTerminator) break;
    const size_t linkAt = (k == kEntry2 || k == kind::kLibrary) ? kLibrarySibling : kSibling;
    auto e = Entry(offset, linkAt + 2);
    if (e.empty()) break;
    out.push_back(offset);
    handle = LoadU16(e.data() + linkAt);
  }
  return out;
}

std::vector<uint32_t> ModuleView::ModuleScope() const { return Chain(HeaderU16(header::kScope1 + 4)); }
std::vector<uint32_t> ModuleView::ClassScope() const { return Chain(HeaderU16(header::kScope3 + 4)); }

bool ModuleView::ReadVariable(uint32_t offset, VariableInfo& out) const {
  auto e = Entry(offset, kVariableSize);
  if (e.empty() || LoadU16(e.data()) != kind::kVariable) return false;
  const uint16_t typeWord = LoadU16(e.data() + kDataType);
  const uint16_t typeArg = LoadU16(e.data() + kTypeArgument);
  out.offset = offset;
  out.flags = LoadU16(e.data() + kFlags);
  out.slot = LoadU16(e.data() + kSlot);
  out.type = SlotTypeOf(typeWord);
  out.isArray = (typeWord & type_word::kArrayFlag) != 0;
  out.isList = (typeWord & type_word::kListFlag) != 0;
  out.record = out.type == SlotType::kRecord ? (typeWord & type_word::kRecordIndexMask) : -1;
  out.count = out.isArray ? static_cast<uint16_t>(typeArg & 0x7FFF) : 0;
  out.lower = out.isArray && (typeArg & 0x8000) ? 1 : 0;
  out.bounds.clear();
  if (out.isArray && (typeWord & type_word::kBoundsFlag) != 0) {
    std::string text;
    if (!Text(typeArg, text) || !ParseArrayBounds(text, kMaxDeclaredElements, out.bounds)) return false;
    out.count = 0;
    out.lower = out.bounds[0].lower;
  }
  return true;
}

std::vector<VariableInfo> ModuleView::Variables(uint16_t first) const {
  std::vector<VariableInfo> vars;
  for (uint32_t offset : Chain(first)) {
    VariableInfo v;
    if (ReadVariable(offset, v)) vars.push_back(v);
  }
  return vars;
}

bool ModuleView::ReadProcedure(uint32_t offset, ProcedureInfo& out) const {
  auto e = Entry(offset, kProcedureSize);
  if (e.empty()) return false;
  const uint16_t k = LoadU16(e.data());
  if (k != kind::kFunction && k != kind::kSub && k != kind::kProperty) return false;
  const uint16_t flags = LoadU16(e.data() + kFlags);
  out.offset = offset;
  out.kind = k;
  out.isSetAccessor = k == kind::kProperty && (flags & kSetAccessor) != 0;
  out.returnsValue = k == kind::kFunction || (k == kind::kProperty && !out.isSetAccessor);
  out.name = NameAt(offset);
  const uint16_t owner = LoadU16(e.data() + kOwner);
  out.ownerClass = owner ? Resolve(owner) : 0;
  out.paramCount = LoadU16(e.data() + kParameterCount);
  out.hasCode = (flags & kNoCode) == 0;
  out.codeOffset = LoadU32(e.data() + kCodeOffset);
  out.frameSlots = static_cast<uint16_t>((LoadU16(e.data() + kFrameSize) + 3) / 4);
  out.resultType = SlotTypeOf(LoadU16(e.data() + kDataType));
  out.paramTypes.assign(out.paramCount, SlotType::kVariant);
  out.locals.clear();
  for (const VariableInfo& v : Variables(LoadU16(e.data() + FirstOf(kLocalScope)))) {
    if (v.flags & kParameterFlag) {
      if (v.slot < out.paramCount) out.paramTypes[v.slot] = v.type;
    } else {
      out.locals.push_back(v);
    }
  }
  return true;
}

bool ModuleView::ReadClass(uint32_t offset, ClassInfo& out) const {
  auto e = Entry(offset, kClassSize);
  if (e.empty() || LoadU16(e.data()) != kind::kClass) return false;
  out.offset = offset;
  out.name = NameAt(offset);
  out.slots = static_cast<uint16_t>((LoadU16(e.data() + kInstanceSize) + 3) / 4);
  const uint16_t ctor = LoadU16(e.data() + kConstructor);
  const uint16_t dtor = LoadU16(e.data() + kDestructor);
  out.ctor = ctor ? Resolve(ctor) : 0;
  out.dtor = dtor ? Resolve(dtor) : 0;
  out.members = Variables(LoadU16(e.data() + FirstOf(kMemberScope)));
  out.isRecord = (LoadU16(e.data() + kFlags) & type_word::kRecordClassFlag) != 0;
  const uint16_t base = LoadU16(e.data() + kBaseClass);
  out.base = base ? Resolve(base) : 0;
  if (out.base != 0 && KindAt(out.base) != kind::kClass) return false;
  out.methods.clear();
  for (uint32_t m : Chain(LoadU16(e.data() + FirstOf(kMemberScope)))) {
    const uint16_t k = KindAt(m);
    if (k == kind::kFunction || k == kind::kSub || k == kind::kProperty) out.methods.push_back(m);
    if (const uint32_t set = SetAfterGet(m); set != 0) out.methods.push_back(set);
  }
  return true;
}

bool ModuleView::ReadDeclaration(uint32_t offset, DeclarationInfo& out) const {
  auto e = Entry(offset, kDeclarationSize);
  if (e.empty() || LoadU16(e.data()) != kind::kDeclaration) return false;
  const uint16_t n = LoadU16(e.data() + kWordCount);
  auto all = Entry(offset, kDeclarationSize + 2u * n);
  if (all.empty()) return false;
  out.offset = offset;
  const uint16_t alias = LoadU16(e.data() + kAlias);
  if (alias == 0 || alias == kNoString || !Text(alias, out.name) || out.name.empty()) out.name = NameAt(offset);
  const uint16_t library = LoadU16(e.data() + kLibraryEntry);
  const uint32_t libraryOffset = Resolve(library);
  out.library = library != 0 && KindAt(libraryOffset) == kind::kLibrary ? NameAt(libraryOffset) : "";
  const uint16_t result = LoadU16(e.data() + kResultType);
  out.isFunction = result != 0;
  out.resultType = SlotTypeOf(result);
  out.paramTypes.clear();
  for (uint16_t i = 0; i < n; ++i) {
    out.paramTypes.push_back(SlotTypeOf(static_cast<uint16_t>(LoadU16(all.data() + kParameterWords + 2 * i) & ~kByValueWord)));
  }
  return true;
}

}  // namespace quillet::lsrun
