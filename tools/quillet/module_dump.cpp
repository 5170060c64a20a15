// Builds the dump document of a module: header, sections, checksum, strings,
// symbols, classes and declarations (the disassembly is module_disasm.cpp).
#include "tools/quillet/module_dump.h"

#include <exception>
#include <string>
#include <vector>

#include "lsobject/header.h"
#include "lsobject/symbol_entries.h"
#include "tools/quillet/module_disasm.h"

namespace quillet::tool {
namespace {

using Json = nlohmann::ordered_json;

Json HeaderJson(const CHeader& h) {
  Json out;
  const size_t length = static_cast<size_t>(h.Length());
  out["length"] = length;
  auto u16 = [&](const char* name, size_t offset) {
    if (h.Holds(offset, 2)) out[name] = h.U16(offset);
  };
  auto u32 = [&](const char* name, size_t offset) {
    if (h.Holds(offset, 4)) out[name] = h.U32(offset);
  };
  u16("format_level", header::kFormatLevel);
  u16("flags", header::kFlags);
  u16("declaration_count", header::kDeclarationCount);
  u16("byte_code_length16", header::kByteCodeLength16);
  u16("type11_value", header::kType11Value);
  u16("symbol_length16", header::kSymbolLength16);
  u16("string_length16", header::kStringLength16);
  u16("initialize_sub", header::kInitializeSub);
  u16("terminate_sub", header::kTerminateSub);
  u16("library_chain", symbol::kLibraryChain);
  Json heads = Json::array();
  for (size_t i = 0; i < 7; ++i)
    if (h.Holds(header::kStringChainHeads + 2 * i, 2)) heads.push_back(h.U16(header::kStringChainHeads + 2 * i));
  out["string_chain_heads"] = heads;
  Json scopes = Json::array();
  for (size_t scope : {header::kScope1, header::kScope2, header::kScope3, header::kScope4}) {
    if (!h.Holds(scope, symbol::kScopeSize)) continue;
    scopes.push_back({{"count", h.U16(scope + symbol::kScopeCount)},
                      {"first", h.U16(scope + symbol::kScopeFirst)},
                      {"last", h.U16(scope + symbol::kScopeLast)}});
  }
  out["scopes"] = scopes;
  if (length >= header::kWideBlockMinLength) {
    u32("byte_code_length32", header::kByteCodeLength32);
    u32("symbol_length32", header::kSymbolLength32);
    u32("string_length32", header::kStringLength32);
    u32("extended_string_count", header::kExtendedStringCount);
    u32("string_segment_count", header::kStringSegmentCount);
    u32("extended_symbol_count", header::kExtendedSymbolCount);
    u32("symbol_segment_count", header::kSymbolSegmentCount);
  }
  if (length > header::kMinLength) {
    u32("label_offset_count", header::kLabelOffsetCount);
    u32("jump_count", header::kJumpCount);
  }
  return out;
}

Json SectionJson(const char* name, const CSection& section) {
  Json out;
  out["type"] = section.Type();
  out["name"] = name;
  out["length"] = section.Length();
  if (const auto* multi = dynamic_cast<const CMultiSection*>(&section)) out["segments"] = multi->SegmentSizes();
  return out;
}

Json SectionsJson(CLSScriptModule& m) {
  Json out = Json::array();
  out.push_back(SectionJson("header", m.Header()));
  out.push_back(SectionJson("string table", m.StringTable()));
  out.push_back(SectionJson("extended string table", m.StringTable().Extended()));
  out.push_back(SectionJson("symbol table", m.SymbolTable()));
  out.push_back(SectionJson("extended symbol table", m.ExtendedSymbolTable()));
  out.push_back(SectionJson("byte code", m.ByteCode()));
  out.push_back(SectionJson("label offsets", m.LabelOffsets()));
  out.push_back(SectionJson("jump table", m.JumpTable()));
  out.push_back(SectionJson("function line numbers", m.LineNumbers()));
  out.push_back(SectionJson("product macros", m.ProductMacros()));
  for (const auto& unknown : m.UnknownSections()) out.push_back(SectionJson("unknown", *unknown));
  return out;
}

Json StringsJson(const CStringTable& strings) {
  Json out = Json::array();
  strings.ForEachString([&](uint32_t position, uint16_t, const std::string& text) {
    out.push_back({{"offset", position + strings::kEntryHeaderSize}, {"text", text}});
    return true;
  });
  return out;
}

// A Property's two accessors share kind and name: the flags tell the side.
const char* KindName(uint16_t kind, uint16_t flags) {
  switch (kind) {
    case symbol::kVariable: return "variable";
    case symbol::kFunction: return "function";
    case symbol::kSub: return "sub";
    case symbol::kProperty: return (flags & symbol::kSetAccessor) != 0 ? "property set" : "property get";
    case symbol::kClass: return "class";
    case symbol::kDeclaration: return "declaration";
    case symbol::kTerminator: return "end";
    case symbol::kLibrary: return "library";
    default: return "entry";
  }
}

// Symbols by scope, and from the same walk the classes and declarations.
void SymbolsJson(CLSScriptModule& m, Json& symbols, Json& classes, Json& declarations) {
  symbols = Json::array();
  classes = Json::array();
  declarations = Json::array();
  SymbolView view = m.Symbols();
  CStringTable& strings = m.StringTable();
  std::vector<std::pair<uint32_t, size_t>> classIndex;  // class handle -> position in `classes`
  view.WalkModule(m.Header(), true, [&](const SymbolVisit& v) {
    const std::string name = v.name == strings::kEmptyHandle ? std::string() : strings.GetText(v.name);
    symbols.push_back({{"handle", v.handle},
                       {"kind", v.kind},
                       {"kind_name", KindName(v.kind, v.flags)},
                       {"parent", v.parent},
                       {"flags", v.flags},
                       {"name", name}});
    if (v.kind == symbol::kClass) {
      classIndex.emplace_back(v.handle, classes.size());
      classes.push_back({{"name", name}, {"handle", v.handle}, {"members", Json::array()}, {"methods", Json::array()}});
    } else if (v.kind == symbol::kDeclaration) {
      const uint16_t alias = view.Field16(v.handle, symbol::kAlias);
      const uint16_t library = view.Field16(v.handle, symbol::kLibraryEntry);
      const std::string libraryName =
          view.Kind(library) == symbol::kLibrary ? strings.GetText(view.NameHandle(library)) : std::string();
      declarations.push_back({{"name", name},
                              {"handle", v.handle},
                              {"alias", alias == strings::kEmptyHandle ? std::string() : strings.GetText(alias)},
                              {"library", libraryName}});
    }
    for (const auto& [handle, position] : classIndex) {
      if (handle != v.parent) continue;
      const bool method = v.kind == symbol::kFunction || v.kind == symbol::kSub || v.kind == symbol::kProperty;
      if (v.kind == symbol::kProperty) {
        // Named as profiles name them (GET_Value, SET_Value): both share a name.
        classes[position]["methods"].push_back(view.ProcedureName(strings, v.handle, 0, v.flags));
      } else if (method || v.kind == symbol::kVariable) {
        classes[position][method ? "methods" : "members"].push_back(name);
      }
    }
    return true;
  });
}

}  // namespace

Json DumpModule(CLSScriptModule& m) {
  Json out;
  out["header"] = HeaderJson(m.Header());
  if (const ActionPrefix* prefix = m.Prefix()) {
    out["prefix"] = {{"action_flags", LoadU32(prefix->bytes.data() + 6)},
                     {"script_length", LoadU32(prefix->bytes.data() + ActionPrefix::kScriptLength)}};
  } else {
    out["prefix"] = nullptr;
  }
  out["sections"] = SectionsJson(m);
  const auto symbolData = m.SymbolTable().Data();
  Json checksum;
  checksum["stored"] = symbolData.size() >= 4 ? Json(LoadU32(symbolData.data())) : Json(nullptr);
  checksum["computed"] = m.ComputeChecksum();
  checksum["matches"] = symbolData.size() >= 4 && LoadU32(symbolData.data()) == m.ComputeChecksum();
  out["checksum"] = checksum;
  out["strings"] = StringsJson(m.StringTable());
  Json symbols, classes, declarations;
  SymbolsJson(m, symbols, classes, declarations);
  out["symbols"] = std::move(symbols);
  out["procedures"] = DisassembleProcedures(m);
  out["classes"] = std::move(classes);
  out["declarations"] = std::move(declarations);
  return out;
}

}  // namespace quillet::tool
