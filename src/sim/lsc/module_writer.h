// Assembly of a compiled module image: header, string table, symbol table,
// byte code and function line numbers, laid out as the module model reads
// them.
//
// Symbol entries written (offsets from the entry start; handles are entry
// offsets in the symbol data, which starts with the 4-byte checksum):
// | kind | entry       | size   | fields beyond kind/flags/sibling/hash/name (0,2,4,6,8) |
// |------|-------------|--------|---------------------------------------------------------|
// | 3    | variable    | 16     | 10 type word, 12 slot, 14 type argument                 |
// | 6    | label       | 16     | 12 code offset (or its label-offset-table index)        |
// | 7/8/9| Function/   | 152    | 10 result type word, 12 owner class, 14 result class,   |
// |      | Sub/Property|        | 16 locals scope, 76 parameters, 84 u32 code offset,     |
// |      | accessor    |        | 88 frame size, 92 labels scope                          |
// | 11   | class       | 92     | 10 member variables, 12 base class, 16 members scope,   |
// |      |             |        | 76 instance size (the base's members first),            |
// |      |             |        | 84 New, 86 Delete, 88 New's parameters, 90 25           |
// | 15   | Declare     | 40+2n  | 10 10, 20 alias, 24 library entry, 32 n+1, 34 n,        |
// |      |             |        | 36 result type word (0: Sub), 38 10, 40 parameter words |
// | 26   | library     | 12     | 2 sibling, 4 name, 6 0xFFFF                             |
//
// Type words: 1 Integer, 2 Long, 3 String, 4 Variant, 0x0409 object (type
// argument: the class), 0x0600 + n the n-th Type (a class entry with flags
// 1); arrays add 0x2000 and carry the element count in bits 0-14 of the type
// argument, bit 15 set for lower bound 1, or add 0x1000 too and carry the
// string handle of their bounds text ("1:3,0:4"). Parameter words of
// declarations: 0x0800 | type word. Variable flags: 1 parameter, 2 module
// variable or local, 3 member.
//
// Property accessors carry flags 0x0400, the Set 0x0600. A Set whose class
// also has the Get lies directly after the Get's entry (the variables of both
// follow the two entries) and is in no sibling or hash chain: readers reach
// it by position. A Set without a Get is an ordinary member of the chain.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/lsc/code.h"
#include "sim/lsc/compiler.h"
#include "sim/lsc/symbols.h"

namespace quillet::lsc {

// The type word of a variable without its array flag: what ReDim's operand
// names as the element type.
uint16_t ElementTypeWord(const Symbol& s);

// One procedure's generated code, ready for assembly.
struct CompiledProcedure {
  const Symbol* sym = nullptr;
  CodeBuffer code;
  std::vector<int> labelIndex;  // instruction index of each of sym->labels
};

// Writes the image of a resolved module whose procedures (module-level
// first, then class methods) were generated into `procs`. Fails with errors
// (line and column of the module or procedure) when a table outgrows its
// 16-bit handles or a jump its 16-bit distance.
[[nodiscard]] bool WriteModuleImage(const ModuleSymbols& syms, const std::vector<CompiledProcedure>& procs,
                                    std::vector<uint8_t>& image, std::vector<CompileError>& errors);

}  // namespace quillet::lsc
