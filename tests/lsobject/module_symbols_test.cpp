// Tests of the module's symbol operations on realistic modules: adding
// classes, Subs, declarations and variables, listing and moving procedures,
// and the consistency of what Serialize writes afterwards.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string_view>
#include <vector>

#include "bytecode/opcodes.h"
#include "lsobject/ls_script_module.h"
#include "lsobject/symbol_entries.h"
#include "support/module_checker.h"
#include "support/symbol_kit.h"

namespace quillet {
namespace {

using kit::KitClass;
using kit::KitModule;
using kit::KitProcedure;

// Two module procedures with locals and a label, one class with a member,
// constructor and method.
KitModule Typical() {
  KitModule m;
  m.procedures = {
      {.name = "INITIALIZE", .kind = 8, .variables = {{.name = "X"}}},
      {.name = "COMPUTE", .kind = 7, .lines = 4,
       .variables = {{.name = "A", .parameter = true}, {.name = "T"}, {.name = "U"}},
       .labels = {{.name = "DONE", .at = 6}}},
  };
  m.classes = {{.name = "ACCOUNT",
                .members = {{.name = "BALANCE"}},
                .procedures = {{.name = "NEW", .variables = {{.name = "START", .parameter = true}}},
                               {.name = "DEPOSIT", .variables = {{.name = "AMOUNT", .parameter = true}}}}}};
  return m;
}

struct Loaded {
  kit::KitImage kit;
  std::unique_ptr<CLSScriptModule> module = std::make_unique<CLSScriptModule>();
};

Loaded Load(const KitModule& m) {
  Loaded l;
  l.kit = kit::BuildKitModule(m);
  EXPECT_TRUE(kit::CheckModuleImage(l.kit.image).empty()) << "the kit wrote an inconsistent module";
  EXPECT_TRUE(l.module->Parse(l.kit.image));
  return l;
}

InstructionList Lines(size_t count) {
  InstructionList list;
  for (size_t i = 0; i < count; ++i) list.push_back(std::make_unique<OpLine>(7));
  return list;
}

std::string Problems(const std::vector<std::string>& problems) {
  std::string all;
  for (const std::string& p : problems) all += p + "; ";
  return all;
}

TEST(ModuleSymbols, AddingSymbolsAndSerializingGivesAConsistentModule) {
  for (bool beyond : {false, true}) {
    KitModule m = Typical();
    m.entriesBeyond64K = beyond;
    m.filler = beyond ? 65000 : 0;
    Loaded l = Load(m);
    CLSScriptModule& module = *l.module;
    const uint32_t timer = module.FindOrAddClass("CKVXTIMERMANAGER");
    ASSERT_NE(timer, 0u);
    EXPECT_NE(module.AddMemberVariable(timer, "START"), 0u);
    const uint32_t params[] = {0x0409, 0x0001, 0x0002};
    EXPECT_NE(module.FindOrAddDeclaration("KVXFUNCTIONTIMER", "KVXFunctionTimer", "nquillet", params), 0u);
    EXPECT_NE(module.FindOrAddSub("TERMINATE"), 0u);
    std::vector<ProcedureDescriptor> procedures;
    module.ListProcedures(procedures);
    for (const ProcedureDescriptor& p : procedures)
      EXPECT_NE(module.AddLocalVariable(p.symbol, "KVXTIMERMGR", timer), 0u);

    const std::vector<uint8_t> image = module.Serialize();
    EXPECT_EQ(Problems(kit::CheckModuleImage(image)), "") << (beyond ? "beyond 64 KiB" : "first segment");
    // Read back, everything added is found again.
    CLSScriptModule again;
    ASSERT_TRUE(again.Parse(image));
    EXPECT_EQ(again.FindOrAddClass("CKVXTIMERMANAGER"), timer);
    EXPECT_EQ(again.Serialize(), image);
  }
}

TEST(ModuleSymbols, FindOrAddFindsWhatIsThereAndAddsOnlyOnce) {
  Loaded l = Load(Typical());
  CLSScriptModule& module = *l.module;
  EXPECT_EQ(module.FindOrAddClass("ACCOUNT"), l.kit.handle.at("ACCOUNT"));
  EXPECT_EQ(module.FindOrAddSub("INITIALIZE"), l.kit.handle.at("INITIALIZE"));
  const int32_t before = module.SymbolTable().Length();
  const uint32_t sub = module.FindOrAddSub("PROFILE");
  EXPECT_EQ(module.SymbolTable().Length(), before + 152);
  EXPECT_EQ(module.FindOrAddSub("PROFILE"), sub);
  EXPECT_EQ(module.SymbolTable().Length(), before + 152);
  // A Function of that name is no Sub.
  EXPECT_NE(module.FindOrAddSub("COMPUTE"), l.kit.handle.at("COMPUTE"));
}

// The look-up index kept across additions answers as a walk of the module
// read back would: an addition whose name is there already (the second
// declaration's library name, a declaration put in front of one of the same
// name) must not leave the older entry as the answer where the walk now
// meets the new one first, nor stop the other names being served.
TEST(ModuleSymbols, LookUpsAfterAddingANameTwiceAnswerAsAWalkOfTheModuleReadBack) {
  Loaded l = Load(Typical());
  CLSScriptModule& module = *l.module;
  uint32_t found = 0;
  ASSERT_FALSE(module.Symbols().FindModuleSymbol(module.Header(), module.StringTable(), symbol::kClass, "CKVX", found));
  const uint32_t params[] = {0x0801, 0x0801};
  const uint32_t first = module.FindOrAddDeclaration("KVXFUNCTIONTIMER", "KVXFunctionTimer", "nquillet", params);
  const uint32_t second = module.FindOrAddDeclaration("KVXLINETIMER", "KVXLineTimer", "nquillet", params);
  ASSERT_NE(first, 0u);
  ASSERT_NE(second, 0u);
  // Declarations go to the front of scope 1: this one is met before `first`.
  const uint32_t again = module.Symbols().AddExternalDeclaration(module.Header(), module.StringTable(),
                                                                 "KVXFUNCTIONTIMER", "Other", "other", params);
  ASSERT_NE(again, 0u);
  const uint32_t timer = module.FindOrAddClass("CKVX");
  ASSERT_NE(timer, 0u);

  CLSScriptModule readBack;
  ASSERT_TRUE(readBack.Parse(module.Serialize()));
  struct Name {
    uint16_t kind;
    const char* text;
  };
  for (const Name& n : {Name{symbol::kDeclaration, "KVXFUNCTIONTIMER"}, Name{symbol::kDeclaration, "KVXLINETIMER"},
                        Name{symbol::kLibrary, "nquillet"}, Name{symbol::kLibrary, "other"}, Name{symbol::kClass, "CKVX"},
                        Name{symbol::kClass, "ACCOUNT"}, Name{symbol::kSub, "INITIALIZE"}}) {
    uint32_t kept = 0, walked = 0;
    const bool inKept = module.Symbols().FindModuleSymbol(module.Header(), module.StringTable(), n.kind, n.text, kept);
    const bool inWalked =
        readBack.Symbols().FindModuleSymbol(readBack.Header(), readBack.StringTable(), n.kind, n.text, walked);
    EXPECT_TRUE(inKept) << n.text;
    EXPECT_EQ(inKept, inWalked) << n.text;
    EXPECT_EQ(kept, walked) << n.text;
  }
  uint32_t declaration = 0;
  ASSERT_TRUE(
      module.Symbols().FindModuleSymbol(module.Header(), module.StringTable(), symbol::kDeclaration, "KVXFUNCTIONTIMER",
                                        declaration));
  EXPECT_EQ(declaration, again);
}

TEST(ModuleSymbols, ClassIsAddedFirstOrSecondOfScopeThreeAndCounted) {
  // Empty scope 3: the class becomes its only entry.
  KitModule none = Typical();
  none.classes.clear();
  Loaded empty = Load(none);
  CHeader& h0 = empty.module->Header();
  const uint32_t first = empty.module->FindOrAddClass("CKVXTIMERMANAGER");
  EXPECT_EQ(h0.U16(header::kScope3 + symbol::kScopeFirst), first);
  EXPECT_EQ(h0.U16(header::kScope3 + symbol::kScopeLast), first);
  EXPECT_EQ(h0.U16(header::kScope3), 1);

  // Two classes already: the new one goes right after the first.
  KitModule two = Typical();
  two.classes.push_back(KitClass{.name = "LEDGER"});
  Loaded l = Load(two);
  CLSScriptModule& module = *l.module;
  const SymbolView symbols = module.Symbols();
  const uint32_t added = module.FindOrAddClass("CKVXTIMERMANAGER");
  CHeader& h = module.Header();
  EXPECT_EQ(h.U16(header::kScope3 + symbol::kScopeFirst), l.kit.handle.at("ACCOUNT"));
  EXPECT_EQ(symbols.NextSibling(l.kit.handle.at("ACCOUNT")), added);
  EXPECT_EQ(symbols.NextSibling(added), l.kit.handle.at("LEDGER"));
  EXPECT_EQ(h.U16(header::kScope3 + symbol::kScopeLast), l.kit.handle.at("LEDGER"));
  EXPECT_EQ(h.U16(header::kScope3), 3);

  // Constructor and destructor: system procedures owned by the class.
  const uint32_t constructor = symbols.Field16(added, symbol::kConstructor);
  const uint32_t destructor = symbols.Field16(added, symbol::kDestructor);
  EXPECT_EQ(symbols.Field16(added, symbol::kMemberScope + symbol::kScopeFirst), constructor);
  EXPECT_EQ(symbols.NextSibling(constructor), destructor);
  EXPECT_EQ(symbols.Flags(constructor), 0x0013);
  EXPECT_EQ(symbols.Owner(destructor), added);
  EXPECT_EQ(symbols.Field16(added, symbol::kClassMarker), 25);
  EXPECT_EQ(module.StringTable().GetText(symbols.NameHandle(destructor)), "DELETE");
  EXPECT_LT(symbols.CodeOffset(constructor), symbols.CodeOffset(destructor));
}

TEST(ModuleSymbols, TerminateSubIsRecordedAtTwentyEightOnly) {
  Loaded l = Load(Typical());
  CHeader& h = l.module->Header();
  const uint16_t initialize = h.U16(header::kInitializeSub);
  const uint32_t code = static_cast<uint32_t>(l.module->ByteCode().Length());
  const uint32_t sub = l.module->FindOrAddSub("TERMINATE");
  EXPECT_EQ(h.U16(header::kTerminateSub), sub);
  EXPECT_EQ(h.U16(header::kInitializeSub), initialize);
  EXPECT_EQ(l.module->Symbols().CodeOffset(sub), code);
  EXPECT_EQ(l.module->Symbols().Flags(sub), 0x0012);
  // The empty body: a synthetic line, then the end of the procedure.
  EXPECT_EQ(std::vector<uint8_t>(l.module->ByteCode().Data().begin() + code, l.module->ByteCode().Data().end()),
            (std::vector<uint8_t>{26, 0xFF, 0xFF, 0x1D}));
}

TEST(ModuleSymbols, LocalsTakeTheNextFrameSlots) {
  Loaded l = Load(Typical());
  const uint32_t compute = l.kit.handle.at("COMPUTE");
  const SymbolView symbols = l.module->Symbols();
  const uint16_t f = symbols.Field16(compute, symbol::kFrameSize);
  ASSERT_EQ(f, 8);  // T and U
  const uint32_t a = l.module->AddLocalVariable(compute, "KVXTIMERMGR", 0x1234);
  const uint32_t b = l.module->AddLocalVariable(compute, "KVXOTHER", 0x1234);
  EXPECT_EQ(symbols.Field16(a, symbol::kSlot), f);
  EXPECT_EQ(symbols.Field16(b, symbol::kSlot), f + 4);
  EXPECT_EQ(symbols.Field16(compute, symbol::kFrameSize), f + 8);
  EXPECT_EQ(symbols.Field16(a, symbol::kDataType), 0x0409);
  EXPECT_EQ(symbols.Field16(a, symbol::kTypeArgument), 0x1234);
  EXPECT_EQ(symbols.Field16(compute, symbol::kLocalScope + symbol::kScopeLast), b);
  EXPECT_EQ(symbols.NextSibling(a), b);
  EXPECT_EQ(symbols.Field16(compute, symbol::kLocalScope), 5);
  EXPECT_EQ(l.module->AddLocalVariable(l.kit.handle.at("ACCOUNT"), "X", 0), 0u);  // no procedure
}

TEST(ModuleSymbols, ConstructorParametersAddedTogetherAsOneByOne) {
  // Names already there (exactly, or only ignoring case: a new parameter
  // sharing the string), repeated in the list, and new ones; the NEW of the
  // kit's class, of a class added here, and procedures that are no NEW.
  const std::vector<std::string_view> names = {"KVXA", "START", "start", "KVXB", "KVXA", "Amount", "KVXC"};
  auto handlesOf = [](uint32_t procedure, Loaded& l) {
    const SymbolView symbols = l.module->Symbols();
    const uint32_t added = l.module->FindOrAddClass("CKVXTIMERMANAGER");
    return std::array<uint32_t, 4>{l.kit.handle.at(std::string("ACCOUNT::") + (procedure == 0 ? "NEW" : "DEPOSIT")),
                                   symbols.Field16(added, symbol::kConstructor),
                                   symbols.Field16(added, symbol::kDestructor), l.kit.handle.at("COMPUTE")};
  };
  for (uint32_t variant : {0u, 1u}) {
    Loaded together = Load(Typical());
    Loaded alone = Load(Typical());
    const auto targets = handlesOf(variant, together);
    ASSERT_EQ(targets, handlesOf(variant, alone));
    for (uint32_t procedure : targets) {
      std::vector<uint32_t> got(names.size(), 99);
      together.module->AddConstructorParameters(procedure, names, got);
      std::vector<uint32_t> expected;
      for (std::string_view name : names) expected.push_back(alone.module->AddConstructorParameter(procedure, name));
      EXPECT_EQ(got, expected) << "procedure " << procedure;
    }
    EXPECT_EQ(together.module->Serialize(), alone.module->Serialize()) << "variant " << variant;
  }
}

TEST(ModuleSymbols, ConstructorParametersOnlyForNewAndOnlyOnce) {
  Loaded l = Load(Typical());
  CLSScriptModule& module = *l.module;
  const SymbolView symbols = module.Symbols();
  const uint32_t account = l.kit.handle.at("ACCOUNT");
  const uint32_t constructor = l.kit.handle.at("ACCOUNT::NEW");
  const uint32_t p = module.AddConstructorParameter(constructor, "KVXCONTEXT");
  ASSERT_NE(p, 0u);
  EXPECT_EQ(symbols.Field16(p, symbol::kSlot), 1);  // after START
  EXPECT_EQ(symbols.Flags(p), 1);
  EXPECT_EQ(symbols.Field16(constructor, symbol::kParameterCount), 2);
  EXPECT_EQ(symbols.Field16(account, symbol::kConstructorParameters), 2);
  EXPECT_EQ(module.AddConstructorParameter(constructor, "KVXCONTEXT"), p);
  EXPECT_EQ(symbols.Field16(constructor, symbol::kParameterCount), 2);
  EXPECT_EQ(module.AddConstructorParameter(l.kit.handle.at("ACCOUNT::DEPOSIT"), "KVXCONTEXT"), 0u);
  EXPECT_EQ(module.AddConstructorParameter(l.kit.handle.at("COMPUTE"), "KVXCONTEXT"), 0u);  // no class

  const uint32_t timer = module.FindOrAddClass("CKVXTIMERMANAGER");
  EXPECT_EQ(module.AddConstructorParameter(symbols.Field16(timer, symbol::kDestructor), "X"), 0u);
  const uint32_t member = module.AddMemberVariable(timer, "NAME");
  EXPECT_EQ(module.StringTable().GetText(symbols.NameHandle(member)), "m_NAME");
  EXPECT_EQ(symbols.Field16(timer, symbol::kInstanceSize), 4);
  EXPECT_EQ(symbols.Field16(timer, symbol::kMemberCount), 1);
}

TEST(ModuleSymbols, InsertAtProcedureStartMovesOnlyLaterProcedures) {
  Loaded l = Load(Typical());
  CLSScriptModule& module = *l.module;
  const SymbolView symbols = module.Symbols();
  const uint32_t compute = l.kit.handle.at("COMPUTE");
  const uint32_t c = symbols.CodeOffset(compute);
  // A second entry sharing COMPUTE's code stays with it.
  const uint32_t twin = l.kit.handle.at("ACCOUNT::DEPOSIT");
  symbols.SetU32(symbols.Resolve(twin) + symbol::kCodeOffset, c);
  const uint32_t before = symbols.CodeOffset(l.kit.handle.at("INITIALIZE"));
  const uint32_t later = symbols.CodeOffset(l.kit.handle.at("ACCOUNT::NEW"));
  ASSERT_LT(before, c);
  ASSERT_GT(later, c);

  ASSERT_TRUE(module.InsertAtProcedureStart(compute, Lines(2)));  // 6 bytes
  EXPECT_EQ(symbols.CodeOffset(compute), c);
  EXPECT_EQ(symbols.CodeOffset(twin), c);
  EXPECT_EQ(symbols.CodeOffset(l.kit.handle.at("INITIALIZE")), before);
  EXPECT_EQ(symbols.CodeOffset(l.kit.handle.at("ACCOUNT::NEW")), later + 6);
  EXPECT_EQ(module.ByteCode().Data()[c], 26);

  // Procedures added afterwards are relocated as well.
  const uint32_t sub = module.FindOrAddSub("PROFILE");
  const uint32_t subCode = symbols.CodeOffset(sub);
  ASSERT_TRUE(module.InsertAtProcedureStart(compute, Lines(1)));
  EXPECT_EQ(symbols.CodeOffset(sub), subCode + 3);
  EXPECT_FALSE(module.InsertAtProcedureStart(l.kit.handle.at("ACCOUNT"), Lines(1)));
}

// Code inserted at a procedure's start moves the labels at or after that
// point through the label-offset table, the procedure's own first-instruction
// label included; labels before it stay.
TEST(ModuleSymbols, InsertAtProcedureStartMovesTheLabelsBehindIt) {
  KitModule m = Typical();
  m.procedures[0].labels = {{.name = "TOP", .at = 0}};
  Loaded l = Load(m);
  CLSScriptModule& module = *l.module;
  const SymbolView symbols = module.Symbols();
  const uint32_t initialize = l.kit.handle.at("INITIALIZE");
  const uint32_t compute = l.kit.handle.at("COMPUTE");
  const uint32_t init = symbols.CodeOffset(initialize);
  const uint32_t c = symbols.CodeOffset(compute);
  ASSERT_LT(init, c);
  const auto labelAt = [&](uint32_t procedure, uint32_t position) {
    return symbols.FindLabel(module.LabelOffsets(), procedure, position) != 0;
  };
  ASSERT_TRUE(labelAt(initialize, init));
  ASSERT_TRUE(labelAt(compute, c + 6));

  ASSERT_TRUE(module.InsertAtProcedureStart(compute, Lines(2)));  // 6 bytes
  EXPECT_TRUE(labelAt(initialize, init));
  EXPECT_TRUE(labelAt(compute, c + 12));
  ASSERT_TRUE(module.InsertAtProcedureStart(initialize, Lines(1)));  // 3 bytes
  EXPECT_TRUE(labelAt(initialize, init + 3));
  EXPECT_TRUE(labelAt(compute, c + 15));
  EXPECT_EQ(module.LabelOffsets().EntryCount(), 2);

  // Every position is read before any is written: a move onto another
  // label's old position does not move that one twice.
  ASSERT_TRUE(module.RelocateLabels([&](uint32_t p) { return p == init + 3 ? c + 15 : p + 1; }));
  EXPECT_TRUE(labelAt(initialize, c + 15));
  EXPECT_TRUE(labelAt(compute, c + 16));
  EXPECT_EQ(Problems(kit::CheckModuleImage(module.Serialize())), "");
}

TEST(ModuleSymbols, ListingIncludesEventsAndNeverProceduresWithoutCode) {
  KitModule m = Typical();
  m.procedures.push_back({.name = "QueryOpen", .kind = 8});
  m.procedures.push_back({.name = "EXTERNALLY", .kind = 8, .flags = 0x0040});
  m.procedures.push_back({.name = "BALANCE", .kind = 9, .setAccessor = true});
  Loaded l = Load(m);
  std::vector<ProcedureDescriptor> list;
  l.module->ItemInfo().Title = "Agent";
  const int32_t count = l.module->ListProcedures(list);
  std::set<std::string> names;
  for (const ProcedureDescriptor& p : list) {
    names.insert(l.module->Symbols().ProcedureName(l.module->StringTable(), p.symbol, p.owner, p.flags));
    EXPECT_EQ(p.title, "Agent");
  }
  EXPECT_EQ(count, static_cast<int32_t>(list.size()));
  EXPECT_EQ(names, (std::set<std::string>{"INITIALIZE", "COMPUTE", "QueryOpen", "GET_BALANCE", "SET_BALANCE",
                                          "ACCOUNT::NEW", "ACCOUNT::DEPOSIT"}));

  // Without the event bit, module-level event procedures drop out; with the
  // bit for procedures without code, those come in.
  std::vector<ProcedureDescriptor> filtered;
  l.module->ListProcedures(filtered, {.bits = ProcedureFilter::kSystemListing & ~ProcedureFilter::kEvents});
  for (const ProcedureDescriptor& p : filtered) EXPECT_NE(p.symbol, l.kit.handle.at("QueryOpen"));
  EXPECT_EQ(filtered.size(), list.size() - 1);
  std::vector<ProcedureDescriptor> all;
  l.module->ListProcedures(all, {.bits = 0xFF});
  EXPECT_EQ(all.size(), list.size() + 1);
  std::vector<ProcedureDescriptor> members;
  l.module->ListProcedures(members, {.className = "ACCOUNT"});
  EXPECT_EQ(members.size(), 2u);
  // Listing again adds nothing already listed.
  EXPECT_EQ(l.module->ListProcedures(members, {.className = "ACCOUNT"}), 0);
}

TEST(ModuleSymbols, ParseLinksOwnersThroughScopeFour) {
  KitModule m = Typical();
  m.classesInScope4 = true;
  Loaded l = Load(m);
  const SymbolView symbols = l.module->Symbols();
  EXPECT_EQ(symbols.Owner(l.kit.handle.at("ACCOUNT::NEW")), l.kit.handle.at("ACCOUNT"));
  EXPECT_EQ(symbols.Owner(l.kit.handle.at("ACCOUNT::DEPOSIT")), l.kit.handle.at("ACCOUNT"));
  EXPECT_EQ(symbols.Owner(l.kit.handle.at("COMPUTE")), 0u);
  // Members are no procedures and keep their fields.
  EXPECT_EQ(symbols.Field16(l.kit.handle.at("ACCOUNT/BALANCE"), symbol::kOwner), 0);
}

TEST(ModuleSymbols, DeclarationsPadOddParameterWordCounts) {
  Loaded l = Load(Typical());
  CLSScriptModule& module = *l.module;
  const SymbolView symbols = module.Symbols();
  const uint16_t count = module.Header().U16(header::kDeclarationCount);
  const uint32_t three[] = {0x10409, 1, 2};
  const uint32_t two[] = {1, 2};
  const int32_t before = module.SymbolTable().Length();
  const uint32_t odd = module.FindOrAddDeclaration("KVXLINETIMER", "KVXLineTimer", "nquillet", three);
  EXPECT_EQ(module.SymbolTable().Length(), before + 12 + 40 + 6 + 2);
  const std::span<const uint8_t> e = symbols.EntryAt(odd, 48);
  ASSERT_EQ(e.size(), 48u);
  EXPECT_EQ(LoadU16(&e[symbol::kWordCountPlusOne]), 4);
  EXPECT_EQ(LoadU16(&e[symbol::kWordCount]), 3);
  EXPECT_EQ(LoadU16(&e[40]), 0x0409);  // low 16 bits only
  EXPECT_EQ(LoadU16(&e[46]), 25);
  EXPECT_EQ(module.Header().U16(header::kDeclarationCount), count + 2);
  EXPECT_EQ(module.Header().U16(header::kScope1 + symbol::kScopeFirst), odd);
  EXPECT_EQ(symbols.Kind(LoadU16(&e[symbol::kLibraryEntry])), symbol::kLibrary);

  const int32_t middle = module.SymbolTable().Length();
  module.FindOrAddDeclaration("KVXFUNCTIONTIMER", "KVXFunctionTimer", "nquillet", two);
  EXPECT_EQ(module.SymbolTable().Length(), middle + 12 + 40 + 4);
  EXPECT_EQ(module.FindOrAddDeclaration("KVXLINETIMER", "x", "y", two), odd);
}

TEST(ModuleSymbols, CorruptSymbolWordsNeverLeadOutsideTheTables) {
  // Every symbol and scope word of a realistic module in turn set to values
  // that point nowhere or back at the word itself.
  KitModule m = Typical();
  m.procedures.push_back({.name = "BALANCE", .kind = 9, .setAccessor = true});
  const kit::KitImage built = kit::BuildKitModule(m);
  CLSScriptModule clean;
  ASSERT_TRUE(clean.Parse(built.image));
  const size_t symbolLength = static_cast<size_t>(clean.SymbolTable().Length());
  for (size_t at = 4; at + 2 <= symbolLength; at += 2) {
    for (uint16_t value : {uint16_t{0xFFFF}, static_cast<uint16_t>(at)}) {
      CLSScriptModule module;
      ASSERT_TRUE(module.Parse(built.image));
      StoreU16(module.SymbolTable().MutableData().data() + at, value);
      std::vector<ProcedureDescriptor> list;
      module.ListProcedures(list);
      for (const ProcedureDescriptor& p : list) {
        (void)module.AddLocalVariable(p.symbol, "KVXTIMERMGR", 1);
        (void)module.InsertAtProcedureStart(p.symbol, Lines(1));
      }
      (void)module.FindOrAddClass("CKVXTIMERMANAGER");
      (void)module.FindOrAddSub("TERMINATE");
      EXPECT_FALSE(module.Serialize().empty());
    }
  }
}

}  // namespace
}  // namespace quillet
