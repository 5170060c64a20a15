// Writer of compiled module images.
#include "sim/lsc/module_writer.h"

#include <map>

#include "lsobject/symbol_entries.h"
#include "sim/lsc/string_pool.h"
#include "sim/lsrun/value.h"
#include "sim/module_builder.h"
#include "util/bytes.h"

namespace quillet::lsc {
namespace {

// Header fields this writer sets; sizes, counts and the checksum are filled in
// by the image builder as the module model computes them.
constexpr size_t kHeaderSize = 512;
constexpr size_t kInitializeHandle = 26, kTerminateHandle = 28, kLibraryChain = 32, kStringHeads = 40;
constexpr size_t kModuleScope = 60, kClassScope = 180, kDeclarationCount = 14;
constexpr size_t kVariableSize = 16, kProcSize = 152, kClassSize = 92, kLibrarySize = 12, kDeclareSize = 40;
constexpr uint16_t kFormatLevel = 3;

uint16_t TypeWord(const Symbol& s) {
  uint16_t w = 4;
  switch (s.type.kind) {
    case TypeKind::kInteger: w = 1; break;
    case TypeKind::kLong: w = 2; break;
    case TypeKind::kString: w = 3; break;
    case TypeKind::kVariant: w = 4; break;
    case TypeKind::kObject: w = 0x0409; break;
    case TypeKind::kDouble: w = 5; break;
    case TypeKind::kSingle: w = 6; break;
    case TypeKind::kCurrency: w = 7; break;
    case TypeKind::kBoolean: w = 8; break;
    case TypeKind::kByte: w = 9; break;
    case TypeKind::kRecord:
      w = static_cast<uint16_t>(lsrun::type_word::kRecordBase | (s.classType ? s.classType->recordIndex : 0));
      break;
  }
  if (s.isList) return static_cast<uint16_t>(w | 0x4000);
  return s.isArray ? static_cast<uint16_t>(w | 0x2000) : w;
}

// The Set entry placed directly after the Get `p` (its own class's), or null.
const Symbol* FollowingSet(const Symbol& p) {
  return p.isProperty && !p.isSetter && p.setter != nullptr && p.setter->owner == p.owner ? p.setter : nullptr;
}

// Whether `p` is a Set entry that lies after its class's Get (a Set without
// one stands in the sibling chain like any method).
bool FollowsGet(const Symbol& p) { return p.isSetter && p.getter != nullptr && p.getter->owner == p.owner; }

}  // namespace

uint16_t ElementTypeWord(const Symbol& s) { return static_cast<uint16_t>(TypeWord(s) & ~0x2000); }

namespace {

class ModuleWriter : public HandleSource {
 public:
  ModuleWriter(const ModuleSymbols& syms, std::vector<CompileError>& errors) : syms_(syms), errors_(errors) {}

  uint16_t SymbolHandle(const Symbol& s) override { return static_cast<uint16_t>(offsets_.at(&s)); }
  uint16_t StringHandle(const std::string& text) override { return strings_.FindOrAdd(text); }

  bool Write(const std::vector<CompiledProcedure>& procs, std::vector<uint8_t>& image);

 private:
  size_t Place(const Symbol* s, size_t size) {
    const size_t at = next_;
    if (s) offsets_[s] = at;
    next_ += size;
    return at;
  }
  void PlaceProcedure(const Symbol* p);
  void PlaceVariables(const Symbol* p);
  uint8_t* Entry(const Symbol* s) { return symbols_.data() + offsets_.at(s); }
  void PutCommon(const Symbol* s, uint16_t kind, uint16_t flags);
  void PutScope(uint8_t* scope, const std::vector<const Symbol*>& chain);
  void WriteVariable(const Symbol* s, uint16_t flags);
  void WriteProcedure(const Symbol* p);
  void WriteClass(const Symbol* c);
  void WriteExternal(const Symbol* e, size_t library);
  bool PlaceCode(const std::vector<CompiledProcedure>& procs);
  std::vector<uint8_t> LineNumbers();

  const ModuleSymbols& syms_;
  std::vector<CompileError>& errors_;
  StringPool strings_;
  std::map<const Symbol*, size_t> offsets_;
  std::vector<size_t> libraries_;  // offset of each declaration's library entry
  size_t next_ = 4;                // the checksum comes first
  std::vector<uint8_t> header_ = std::vector<uint8_t>(kHeaderSize, 0);
  std::vector<uint8_t> symbols_;
  std::vector<uint8_t> code_;
  std::vector<uint8_t> labelTable_;
};

// A Property's Set entry lies directly after its Get entry, so the two
// entries come first and the variables of both after them.
void ModuleWriter::PlaceProcedure(const Symbol* p) {
  Place(p, kProcSize);
  const Symbol* set = FollowingSet(*p);
  if (set != nullptr) Place(set, kProcSize);
  PlaceVariables(p);
  if (set != nullptr) PlaceVariables(set);
}

void ModuleWriter::PlaceVariables(const Symbol* p) {
  for (const Symbol* s : p->params) Place(s, kVariableSize);
  for (const Symbol* s : p->locals) Place(s, kVariableSize);
  for (const Symbol* s : p->labels) Place(s, kVariableSize);
}

void ModuleWriter::PutCommon(const Symbol* s, uint16_t kind, uint16_t flags) {
  uint8_t* e = Entry(s);
  StoreU16(e, kind);
  StoreU16(e + 2, flags);
  StoreU16(e + 8, strings_.FindOrAdd(s->name));
}

// A scope record: count, first, last, then 13 buckets (first, last) of the
// chains through the entries' hash links; entries are linked by siblings.
void ModuleWriter::PutScope(uint8_t* scope, const std::vector<const Symbol*>& chain) {
  StoreU16(scope, static_cast<uint16_t>(chain.size()));
  if (chain.empty()) return;
  StoreU16(scope + 4, SymbolHandle(*chain.front()));
  StoreU16(scope + 6, SymbolHandle(*chain.back()));
  for (size_t i = 0; i + 1 < chain.size(); ++i) StoreU16(Entry(chain[i]) + 4, SymbolHandle(*chain[i + 1]));
  const Symbol* lastIn[13] = {};
  for (const Symbol* s : chain) {
    const unsigned bucket = NameHash(Utf8ToUtf16(s->name)) % 13;
    uint8_t* pair = scope + 8 + 4 * bucket;
    const uint16_t h = SymbolHandle(*s);
    if (lastIn[bucket] == nullptr) {
      StoreU16(pair, h);
    } else {
      StoreU16(Entry(lastIn[bucket]) + 6, h);
    }
    StoreU16(pair + 2, h);
    lastIn[bucket] = s;
  }
}

void ModuleWriter::WriteVariable(const Symbol* s, uint16_t flags) {
  PutCommon(s, 3, flags);
  uint8_t* e = Entry(s);
  StoreU16(e + 10, TypeWord(*s));
  StoreU16(e + 12, static_cast<uint16_t>(s->slot));
  if (s->classType) StoreU16(e + 14, SymbolHandle(*s->classType));
  if (!s->isArray) return;
  if (s->bounds.size() > 1 || (s->lower != 0 && s->lower != 1)) {
    // Bounds a count and a lower bound of 0 or 1 cannot say: their text.
    std::string text;
    for (const auto& [lower, upper] : s->bounds) {
      if (!text.empty()) text += ',';
      text += std::to_string(lower) + ':' + std::to_string(upper);
    }
    StoreU16(e + 10, static_cast<uint16_t>(TypeWord(*s) | lsrun::type_word::kBoundsFlag));
    StoreU16(e + 14, strings_.FindOrAdd(text));
    return;
  }
  StoreU16(e + 14, static_cast<uint16_t>(s->count | (s->lower == 1 ? 0x8000 : 0)));
}

void ModuleWriter::WriteProcedure(const Symbol* p) {
  if (p->isProperty) {
    PutCommon(p, symbol::kProperty, p->isSetter ? symbol::kAccessor | symbol::kSetAccessor : symbol::kAccessor);
  } else {
    PutCommon(p, p->isFunction ? 7 : 8, 0);
  }
  uint8_t* e = Entry(p);
  if (p->isFunction) StoreU16(e + 10, TypeWord(*p));
  if (p->owner) StoreU16(e + 12, SymbolHandle(*p->owner));
  if (p->classType) StoreU16(e + 14, SymbolHandle(*p->classType));
  std::vector<const Symbol*> locals;
  for (const Symbol* s : p->params) {
    WriteVariable(s, 1);
    locals.push_back(s);
  }
  for (const Symbol* s : p->locals) {
    WriteVariable(s, 2);
    locals.push_back(s);
  }
  PutScope(e + 16, locals);
  StoreU16(e + 76, static_cast<uint16_t>(p->params.size()));
  StoreU16(e + 88, static_cast<uint16_t>(p->frameSize));
  std::vector<const Symbol*> labels;
  for (const Symbol* s : p->labels) {
    PutCommon(s, 6, 0);
    labels.push_back(s);
  }
  PutScope(e + 92, labels);
}

void ModuleWriter::WriteClass(const Symbol* c) {
  PutCommon(c, 11, c->cls && c->cls->isType ? lsrun::type_word::kRecordClassFlag : 0);
  uint8_t* e = Entry(c);
  std::vector<const Symbol*> members;
  uint16_t variables = 0;
  for (const Symbol* m : c->members) {
    if (m->kind == SymKind::kMember) {
      WriteVariable(m, 3);
      ++variables;
      members.push_back(m);
    } else {
      WriteProcedure(m);
      // A Set that follows its Get is reached by its position, not by links.
      if (!FollowsGet(*m)) members.push_back(m);
    }
  }
  StoreU16(e + 10, variables);
  PutScope(e + 16, members);
  if (c->base) StoreU16(e + 12, SymbolHandle(*c->base));
  StoreU16(e + 76, static_cast<uint16_t>(c->instanceSize));
  if (c->ctor) StoreU16(e + 84, SymbolHandle(*c->ctor));
  if (c->dtor) StoreU16(e + 86, SymbolHandle(*c->dtor));
  if (c->ctor) StoreU16(e + 88, static_cast<uint16_t>(c->ctor->params.size()));
  StoreU16(e + 90, 25);
}

void ModuleWriter::WriteExternal(const Symbol* x, size_t library) {
  uint8_t* lib = symbols_.data() + library;
  StoreU16(lib, 26);
  StoreU16(lib + 4, strings_.FindOrAdd(x->ext->library));
  StoreU16(lib + 6, 0xFFFF);
  PutCommon(x, 15, 0);
  uint8_t* e = Entry(x);
  const size_t n = x->params.size();
  StoreU16(e + 10, 10);
  // The entry point's own name: the alias, or the declared name.
  StoreU16(e + 20, strings_.FindOrAdd(x->ext->alias.empty() ? x->name : x->ext->alias));
  StoreU16(e + 24, static_cast<uint16_t>(library));
  StoreU16(e + 32, static_cast<uint16_t>(n + 1));
  StoreU16(e + 34, static_cast<uint16_t>(n));
  if (x->isFunction) StoreU16(e + 36, TypeWord(*x));
  StoreU16(e + 38, 10);
  for (size_t i = 0; i < n; ++i) StoreU16(e + 40 + 2 * i, static_cast<uint16_t>(0x0800 | TypeWord(*x->params[i])));
  if (n % 2 != 0) StoreU16(e + 40 + 2 * n, 25);
}

// Procedures follow one another in the byte code; labels get their code
// offsets, through the label-offset table once any offset needs 32 bits.
bool ModuleWriter::PlaceCode(const std::vector<CompiledProcedure>& procs) {
  std::vector<std::pair<const Symbol*, uint32_t>> labelOffsets;
  for (const CompiledProcedure& cp : procs) {
    std::vector<uint8_t> bytes;
    std::vector<int> at;
    std::string error;
    if (!Assemble(cp.code, *this, bytes, at, error)) {
      errors_.push_back({cp.sym->line, cp.sym->column, "in '" + cp.sym->name + "': " + error});
      return false;
    }
    const uint32_t base = static_cast<uint32_t>(code_.size());
    StoreU32(Entry(cp.sym) + 84, base);
    for (size_t i = 0; i < cp.sym->labels.size(); ++i) {
      labelOffsets.emplace_back(cp.sym->labels[i], base + at[cp.labelIndex[i]]);
    }
    code_.insert(code_.end(), bytes.begin(), bytes.end());
  }
  bool wide = false;
  for (const auto& [label, offset] : labelOffsets) wide = wide || offset >= 0xFFFF;
  for (size_t i = 0; i < labelOffsets.size(); ++i) {
    const auto& [label, offset] = labelOffsets[i];
    if (wide) {
      ByteWriter(labelTable_).PutU32(offset);
      StoreU16(Entry(label) + 12, static_cast<uint16_t>(i));
    } else {
      StoreU16(Entry(label) + 12, static_cast<uint16_t>(offset));
    }
  }
  return true;
}

// Four bytes not interpreted, then (name handle, line) pairs: each
// module-level procedure counts its lines from its Sub or Function line;
// key 0 gives class methods their absolute lines.
std::vector<uint8_t> ModuleWriter::LineNumbers() {
  std::vector<uint8_t> data(4, 0);
  ByteWriter out(data);
  for (const Symbol* p : syms_.procs) {
    out.PutU16(strings_.FindOrAdd(p->name));
    out.PutU16(static_cast<uint16_t>(p->line));
  }
  if (!syms_.classes.empty()) {
    out.PutU16(0);
    out.PutU16(0);
  }
  return data;
}

bool ModuleWriter::Write(const std::vector<CompiledProcedure>& procs, std::vector<uint8_t>& image) {
  for (const Symbol* v : syms_.variables) Place(v, kVariableSize);
  for (const Symbol* x : syms_.externals) {
    libraries_.push_back(Place(nullptr, kLibrarySize));
    Place(x, kDeclareSize + 2 * x->params.size() + (x->params.size() % 2 ? 2 : 0));
  }
  for (const Symbol* p : syms_.procs) PlaceProcedure(p);
  for (const Symbol* c : syms_.classes) {
    Place(c, kClassSize);
    for (const Symbol* m : c->members) {
      if (m->kind == SymKind::kMember) {
        Place(m, kVariableSize);
      } else if (!FollowsGet(*m)) {
        PlaceProcedure(m);  // a Set with a Get is placed with it
      }
    }
  }
  if (next_ > StringPool::kMaxBytes) {
    errors_.push_back({1, 1, "module too large: its symbol table exceeds 64 KiB"});
    return false;
  }
  symbols_.assign(next_, 0);

  std::vector<const Symbol*> scope1;
  for (const Symbol* v : syms_.variables) {
    WriteVariable(v, 2);
    scope1.push_back(v);
  }
  for (size_t i = 0; i < syms_.externals.size(); ++i) {
    WriteExternal(syms_.externals[i], libraries_[i]);
    scope1.push_back(syms_.externals[i]);
    if (i + 1 < libraries_.size()) StoreU16(symbols_.data() + libraries_[i] + 2, static_cast<uint16_t>(libraries_[i + 1]));
  }
  for (const Symbol* p : syms_.procs) {
    WriteProcedure(p);
    scope1.push_back(p);
  }
  std::vector<const Symbol*> scope3;
  for (const Symbol* c : syms_.classes) {
    WriteClass(c);
    scope3.push_back(c);
  }
  PutScope(header_.data() + kModuleScope, scope1);
  PutScope(header_.data() + kClassScope, scope3);
  if (!PlaceCode(procs)) return false;

  sim::ModuleDescription d;
  d.lineNumbers = {LineNumbers()};
  const std::vector<uint16_t> heads = strings_.LinkChains();
  if (strings_.overflowed()) {
    errors_.push_back({1, 1, "module too large: its string table exceeds 64 KiB"});
    return false;
  }
  uint8_t* h = header_.data();
  StoreU16(h + 4, kFormatLevel);
  StoreU16(h + kDeclarationCount, static_cast<uint16_t>(2 * syms_.externals.size()));
  if (syms_.initialize) StoreU16(h + kInitializeHandle, SymbolHandle(*syms_.initialize));
  if (syms_.terminate) StoreU16(h + kTerminateHandle, SymbolHandle(*syms_.terminate));
  if (!libraries_.empty()) StoreU16(h + kLibraryChain, static_cast<uint16_t>(libraries_.front()));
  for (size_t b = 0; b < heads.size(); ++b) StoreU16(h + kStringHeads + 2 * b, heads[b]);

  d.header = header_;
  // An empty table has no segment at all, as a reader counts it.
  if (!strings_.bytes().empty()) d.strings = {strings_.bytes()};
  d.symbols = {symbols_};
  d.byteCode = code_;
  if (!labelTable_.empty()) d.labelOffsets = {labelTable_};
  image = sim::BuildModuleImage(d);
  return true;
}

}  // namespace

bool WriteModuleImage(const ModuleSymbols& syms, const std::vector<CompiledProcedure>& procs,
                      std::vector<uint8_t>& image, std::vector<CompileError>& errors) {
  return ModuleWriter(syms, errors).Write(procs, image);
}

}  // namespace quillet::lsc
