// One compiled LotusScript module: its sections, parsed from and serialised
// to the flat record image the Notes runtime keeps in a design note.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "config/notes_api.h"
#include "lsobject/action_prefix.h"
#include "lsobject/code_tables.h"
#include "lsobject/header.h"
#include "lsobject/product_macros.h"
#include "lsobject/script_item_info.h"
#include "lsobject/section.h"
#include "lsobject/string_table.h"
#include "lsobject/symbol_table.h"

namespace quillet {

class CLSScriptModule {
 public:
  // A module whose strings convert and compare without a host.
  CLSScriptModule() = default;
  // A module whose strings convert and compare through `text`, which must
  // outlive the module.
  explicit CLSScriptModule(const ModuleText& text) { stringTable_.SetText(text); }
  CLSScriptModule(const CLSScriptModule&) = delete;
  CLSScriptModule& operator=(const CLSScriptModule&) = delete;
  virtual ~CLSScriptModule() = default;

  virtual CHeader& Header() { return header_; }
  virtual std::span<uint8_t> HeaderBytes() { return header_.MutableData(); }
  virtual CFunctionLineNumbers& LineNumbers() { return lineNumbers_; }
  virtual CSymbolTable& SymbolTable() { return symbolTable_; }
  virtual CExtendedSymbolTable& ExtendedSymbolTable() { return extendedSymbolTable_; }
  virtual CStringTable& StringTable() { return stringTable_; }
  virtual SymbolView Symbols() { return SymbolView{&symbolTable_, &extendedSymbolTable_}; }
  virtual CByteCode& ByteCode() { return byteCode_; }
  virtual CLabelOffsetTable& LabelOffsets() { return labelOffsets_; }
  virtual CJumpTable& JumpTable() { return jumpTable_; }
  virtual CProductMacros& ProductMacros() { return productMacros_; }
  // The prefix the module was read with, or null for a bare module.
  virtual const ActionPrefix* Prefix() const { return prefix_ ? &*prefix_ : nullptr; }

  ScriptItemInfo& ItemInfo() { return itemInfo_; }
  const ScriptItemInfo& ItemInfo() const { return itemInfo_; }
  const std::vector<std::unique_ptr<CUnknownSection>>& UnknownSections() const { return unknownSections_; }

  // The module's checksum as it was loaded or last serialised: the first
  // word of the symbol data, 0 when there is none.
  uint32_t StoredChecksum() const;

  // Forgets the action prefix, so that the next image is a bare module.
  void DropPrefix() { prefix_.reset(); }

  // --- Script items (script_items.cpp) ------------------------------------------
  // Loads the module from the note's item `itemName` (data type 20 or text):
  // the data of every instance of that name in stored order, each without
  // its type word, as one image; "$AssistAction_Ex" from its first instance
  // only. Then fills ItemInfo: the item name, the note's "$TITLE" (with
  // " (Globals)" for "$$Script_O"), note ID and design kind. False when the
  // item is absent, of another type, or does not parse (the module is then
  // partly filled). Throws nothing.
  [[nodiscard]] bool LoadFromNote(NoteHandle note, std::string_view itemName);

  // Serialises the module and stores it in the note in place of the item
  // `itemName`, in pieces of at most 61310 bytes, with a marker item naming
  // the new checksum and holding the old one. An agent whose image is longer
  // goes to "$AgentHScript_O" without its action prefix, and
  // "$AssistAction_Ex" gets the empty script action. The item's flags and
  // type are kept; a note without the item gets kNewScriptItemFlags and
  // kNewScriptItemType. Then the note's signature is removed
  // (`leaveUnsigned`) or, for a signed item, the note is signed again.
  // Returns the first failing status; when storing fails, the items it
  // touched are put back with their old flags, types and values, after the
  // note's other items (the module itself stays serialised). A failure to
  // sign comes after the items are stored and leaves them stored. Throws
  // nothing.
  [[nodiscard]] Status32 SaveToNote(NoteHandle note, std::string_view itemName, bool leaveUnsigned);

  // Frees the data of every section and forgets the unknown sections, the
  // prefix and the item information; the section objects stay.
  void Reset();

  // Builds the sections from `image`. Returns false for an image shorter
  // than 300 bytes, a "BOSL" module, a missing, repeated or short (under 300
  // bytes) header, a refused record type, a record running past the end, or
  // chunks a multi-section refuses. On false the module is partly filled and
  // is to be discarded or Reset. Never reads outside `image`. On false
  // `error` holds the byte offset and name of the refused field.
  [[nodiscard]] bool Parse(std::span<const uint8_t> image, ParseError& error);
  [[nodiscard]] bool Parse(std::span<const uint8_t> image) {
    ParseError ignored;
    return Parse(image, ignored);
  }

  // Updates the header and writes a new image: header, string and symbol
  // tables with their segment lists and extended tables, byte code and the
  // smaller tables, unknown sections in their places, the prefix in front.
  std::vector<uint8_t> Serialize();

  // The running CRC over header, string table, symbol table (from byte 4),
  // byte code and product macros, in that order.
  uint32_t ComputeChecksum() const;

  // Makes the header consistent with the sections, in this order:
  //   1. format level 4 and flag 0x0400 when the label-offset or jump table is
  //      used or the byte code reaches 0xFC00 bytes;
  //   2. RebuildStringChains();
  //   3-9. string-, symbol- and byte-code sizes and counts;
  //   10. RebuildScopeHashes();
  //   11. ComputeChecksum() stored as the first word of the symbol data;
  //   12. label-offset and jump-table counts (beyond the checksummed bytes).
  // REQUIRES: a header of at least 300 bytes (as Parse guarantees).
  void UpdateHeader();

  // Whether the scope-hash rebuild writes only into the fields it rebuilds
  // (ScopeHashesFitEntries); when it does, the rebuild is made now, from the
  // same walk. UpdateHeader still makes it again: in a damaged module the
  // header's sizes and the string chains it fixes first can change the result.
  [[nodiscard]] bool RebuildScopeHashesIfFit();
  // The same decision as RebuildScopeHashesIfFit, writing nothing: for a
  // module that is serialised (and so rebuilt) later anyway.
  [[nodiscard]] bool ScopeHashesFit();

  // --- Symbols (module_symbols.cpp) -------------------------------------------
  // Each returns the handle it found or made, 0 when it could not add.
  //
  // The module-level class, Sub or external declaration of this exact name,
  // added (class with constructor NEW and destructor DELETE, Sub with an
  // empty body) when there is none.
  uint32_t FindOrAddClass(std::string_view name);
  uint32_t FindOrAddSub(std::string_view name);
  uint32_t FindOrAddDeclaration(std::string_view name, std::string_view alias, std::string_view library,
                                std::span<const uint32_t> parameterWords);
  // A local object variable of class `classHandle` in `procedure`'s frame.
  uint32_t AddLocalVariable(uint32_t procedure, std::string_view name, uint32_t classHandle);
  // The parameter `name` of a class constructor: the existing one, or a new
  // Variant parameter (NEW only).
  uint32_t AddConstructorParameter(uint32_t procedure, std::string_view name);
  // AddConstructorParameter of each name in turn, into `handles` (as many
  // as `names`), with the constructor's name read and compared once.
  void AddConstructorParameters(uint32_t procedure, std::span<const std::string_view> names,
                                std::span<uint32_t> handles);
  // A Variant member "m_" + `name` of the class.
  uint32_t AddMemberVariable(uint32_t classHandle, std::string_view name);
  // The procedures `filter` selects (by default every one with code).
  int32_t ListProcedures(std::vector<ProcedureDescriptor>& list, const ProcedureFilter& filter = {});
  // Inserts `instructions` at the start of `procedure`'s code; procedures
  // whose code lies after that point move by the inserted length, labels at
  // or after it too (a label at the start stays on its instruction). False,
  // with nothing changed, for an entry that is no procedure with code inside
  // the byte code, or when the labels cannot be moved (RelocateLabels).
  [[nodiscard]] bool InsertAtProcedureStart(uint32_t procedure, const InstructionList& instructions);
  // The same with the instructions already encoded.
  [[nodiscard]] bool InsertAtProcedureStart(uint32_t procedure, std::span<const uint8_t> encoded);
  // Adds `delta` to the code offset of every procedure whose code starts
  // after `after`.
  bool RelocateProcedures(uint32_t after, int32_t delta);
  // Moves every label of every procedure with code from its byte-code
  // position p to moved(p): the label-offset entry it resolves through, or
  // its own 16-bit position. When a position kept in the label entry no
  // longer fits 16 bits, every such label moves into the label-offset table.
  // All positions are read before any is written. False, with nothing
  // changed, when the table would need an index beyond 16 bits.
  [[nodiscard]] bool RelocateLabels(const std::function<uint32_t(uint32_t)>& moved);

 protected:
  // Extension points of the header update and of Parse.
  //
  // Step 2 of UpdateHeader: the seven string hash chains and their heads
  // (CStringTable::RebuildStringChains).
  virtual void RebuildStringChains();
  // Step 10 of UpdateHeader: the name hash tables of the module scopes and
  // of the classes and procedures in them (RebuildScopeHashes in
  // symbol_hashes.h).
  virtual void RebuildScopeHashes();
  // Last step of Parse: owner handles of the procedures of the containers in
  // module scope 4.
  virtual void LinkProcedureOwners();

 private:
  bool ReadRecords(std::span<const uint8_t> image, size_t position, ParseError& error);
  void WriteType11(ByteWriter& out);

  ScriptItemInfo itemInfo_;
  CHeader header_;
  CExtendedSymbolTable extendedSymbolTable_;
  CSymbolTable symbolTable_;
  CStringTable stringTable_;
  CByteCode byteCode_;
  CLabelOffsetTable labelOffsets_;
  CProductMacros productMacros_;
  CFunctionLineNumbers lineNumbers_;
  CJumpTable jumpTable_;
  std::optional<ActionPrefix> prefix_;
  std::vector<std::unique_ptr<CUnknownSection>> unknownSections_;
};

}  // namespace quillet
