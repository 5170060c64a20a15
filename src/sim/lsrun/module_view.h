// Bounded reading of the symbol and string tables of a parsed module: the
// procedures, classes, variables and external declarations the runtime needs,
// each entry checked to lie inside the symbol data before it is read.
//
// Entry fields read here (offsets from the entry start):
// | entry             | fields                                                    |
// |-------------------|-----------------------------------------------------------|
// | any (not 26)      | 0 kind, 2 flags, 4 sibling, 8 name                        |
// | 3 variable (16)   | 2 flags (bit 0 parameter), 10 type, 12 slot, 14 type arg  |
// | 7/8/9 proc (152)  | 12 owner class, 20 first local, 76 parameters,            |
// |                   | 84 u32 code offset, 88 frame bytes; a Property's Set      |
// |                   | (9, flags 0x0600) may lie right after its Get (9, 0x0400) |
// |                   | outside the sibling chain                                 |
// | 11 class (92)     | 20 first member, 76 instance bytes, 84 New, 86 Delete     |
// | 15 declare (40+)  | 20 alias, 24 library entry, 34 n, 36 result type, 40 n    |
// |                   | parameter words (0x0800 | type)                           |
// | 26 library (12)   | 4 name                                                    |
// | label             | 12 position, through the label-offset table               |
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "lsobject/ls_script_module.h"
#include "lsobject/symbol_entries.h"
#include "sim/lsrun/arrays.h"
#include "sim/lsrun/value.h"

namespace quillet::lsrun {

// Symbol kinds, as the module model names them.
namespace kind {
using symbol::kClass;
using symbol::kDeclaration;
using symbol::kFunction;
using symbol::kLibrary;
using symbol::kProperty;
using symbol::kSub;
using symbol::kVariable;
}  // namespace kind

// A variable's storage as its entry describes it.
struct VariableInfo {
  uint32_t offset = 0;
  uint16_t flags = 0;
  uint16_t slot = 0;  // frame/instance/module byte offset, or parameter index
  SlotType type = SlotType::kVariant;
  bool isArray = false;
  bool isList = false;
  int32_t lower = 0;
  uint16_t count = 0;  // array elements
  std::vector<ArrayBound> bounds;  // arrays whose entry carries a bounds text
  int32_t record = -1;             // the Type's index, for kRecord
};

struct ProcedureInfo {
  uint32_t offset = 0;
  uint16_t kind = 0;
  bool isSetAccessor = false;  // kind 9 with flag 0x0200
  bool returnsValue = false;   // a Function or a Property's Get
  std::string name;
  uint32_t ownerClass = 0;  // class entry offset, 0 at module level
  uint16_t paramCount = 0;
  uint32_t codeOffset = 0;
  bool hasCode = true;
  uint16_t frameSlots = 0;  // 4-byte slots of the local frame
  SlotType resultType = SlotType::kVariant;
  std::vector<SlotType> paramTypes;  // by parameter index
  std::vector<VariableInfo> locals;  // non-parameter variables of the frame
};

// Deeper chains of base classes than this only come from a damaged module.
inline constexpr size_t kMaxClassChain = 64;

struct ClassInfo {
  uint32_t offset = 0;
  std::string name;
  uint16_t slots = 0;  // 4-byte member slots of an instance
  uint32_t ctor = 0;   // procedure entry offsets, 0 when absent
  uint32_t dtor = 0;
  std::vector<VariableInfo> members;
  bool isRecord = false;  // a user-defined Type
  uint32_t base = 0;      // base class entry offset, 0 when none
  std::vector<uint32_t> methods;  // procedure entries among the members, Set accessors after their Get
};

struct DeclarationInfo {
  uint32_t offset = 0;
  std::string name;  // the entry point: alias, or the declared name
  std::string library;
  bool isFunction = false;
  SlotType resultType = SlotType::kVariant;
  std::vector<SlotType> paramTypes;
};

class ModuleView {
 public:
  explicit ModuleView(CLSScriptModule& module);

  // The entry offset of a symbol handle (through the extended table when it
  // holds the handle).
  uint32_t Resolve(uint16_t handle) const;
  // Kind of the entry at `offset`; 0 when fewer than 2 bytes lie there.
  uint16_t KindAt(uint32_t offset) const;
  // The byte-code position a label entry stands for: its word at 12,
  // resolved through the label-offset table. False when the entry does not
  // fit the symbol data.
  [[nodiscard]] bool LabelPosition(uint16_t label, uint32_t& position) const;
  // Text of a string handle; false for a handle that names no valid string.
  [[nodiscard]] bool Text(uint16_t handle, std::string& out) const;
  // The name of the entry at `offset` ("" when unreadable).
  std::string NameAt(uint32_t offset) const;
  // Flags of the entry at `offset`; 0 when they do not fit the data.
  uint16_t FlagsAt(uint32_t offset) const;
  // The Set accessor lying directly after the Get accessor at `offset`, or 0.
  uint32_t SetAfterGet(uint32_t offset) const;

  [[nodiscard]] bool ReadVariable(uint32_t offset, VariableInfo& out) const;
  [[nodiscard]] bool ReadProcedure(uint32_t offset, ProcedureInfo& out) const;
  [[nodiscard]] bool ReadClass(uint32_t offset, ClassInfo& out) const;
  [[nodiscard]] bool ReadDeclaration(uint32_t offset, DeclarationInfo& out) const;

  // Entry offsets of the sibling chain starting at handle `first`; stops at
  // an entry that does not fit, and after as many entries as the data could
  // hold, so a cyclic chain ends too.
  std::vector<uint32_t> Chain(uint16_t first) const;
  // Module scope 1: module variables, declarations and procedures.
  std::vector<uint32_t> ModuleScope() const;
  std::vector<uint32_t> ClassScope() const;
  uint16_t HeaderU16(size_t offset) const;

  std::span<const uint8_t> ByteCode() const { return code_; }

 private:
  // The entry's bytes, or an empty span when `size` bytes do not fit.
  std::span<const uint8_t> Entry(uint32_t offset, size_t size) const;
  std::vector<VariableInfo> Variables(uint16_t first) const;

  CLSScriptModule& module_;
  std::span<const uint8_t> symbols_;
  std::span<const uint8_t> code_;
};

// ASCII case-insensitive equality, as the runtime compares names.
bool SameName(std::string_view a, std::string_view b);

}  // namespace quillet::lsrun
