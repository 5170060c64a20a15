// The scope hash rebuild on a damaged chain: a sibling link back into the
// scope makes the walk meet entries twice before it stops, and each entry
// must still be hashed once, so that no bucket list loops.
#include "lsobject/symbol_hashes.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "lsobject/ls_script_module.h"
#include "lsobject/name_hash.h"
#include "lsobject/symbol_entries.h"
#include "support/symbol_kit.h"
#include "util/bytes.h"

namespace quillet {
namespace {

using namespace symbol;

TEST(ScopeHashRebuild, AnEntryMetTwiceInAChainIsHashedOnce) {
  kit::KitModule m;
  kit::KitProcedure compute{.name = "COMPUTE", .kind = 7};
  for (const char* name : {"A", "B", "C", "D", "E", "F", "G", "H", "N", "O", "AB", "BA"})
    compute.variables.push_back({.name = name});
  m.procedures = {compute};
  const kit::KitImage image = kit::BuildKitModule(m);
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(image.image));
  const SymbolView view = module.Symbols();

  // The last local links back to the second: B..BA come round again.
  const uint32_t second = image.handle.at("COMPUTE/B");
  view.SetField16(image.handle.at("COMPUTE/BA"), kSibling, static_cast<uint16_t>(second));
  std::vector<uint32_t> walked;
  const uint64_t scope = view.Resolve(image.handle.at("COMPUTE")) + kLocalScope;
  view.WalkSymbols(view.U16(scope + kScopeFirst), 0, false, [&](const SymbolVisit& v) {
    walked.push_back(v.handle);
    return true;
  });
  const std::set<uint32_t> entries(walked.begin(), walked.end());
  ASSERT_EQ(entries.size(), compute.variables.size());
  ASSERT_GT(walked.size(), entries.size());  // the walk did meet some twice

  RebuildScopeHashes(view, module.Header(), module.StringTable());

  std::set<uint32_t> linked;
  for (size_t b = 0; b < kBucketCount; ++b) {
    const uint64_t pair = scope + kScopeBuckets + 4 * b;
    uint32_t last = 0;
    for (uint32_t h = view.U16(pair); h != 0; h = view.Field16(h, kHashLink)) {
      ASSERT_TRUE(entries.contains(h)) << "bucket " << b;
      ASSERT_TRUE(linked.insert(h).second) << "bucket " << b << " meets " << h << " twice";
      EXPECT_EQ(NameHash(module.StringTable().GetString(view.NameHandle(h))) % kBucketCount, b);
      last = h;
    }
    EXPECT_EQ(view.U16(pair + 2), last) << "bucket " << b;
  }
  EXPECT_EQ(linked, entries);
}

// Modules with many names per scope (every bucket shared), classes in
// scope 3 or 4, a Property with its Set accessor, and entries beyond 64 KiB.
std::vector<kit::KitModule> ManyScopes() {
  kit::KitProcedure compute{.name = "COMPUTE", .kind = 7, .lines = 4};
  for (int i = 0; i < 40; ++i) compute.variables.push_back({.name = "V" + std::to_string(i), .parameter = i < 3});
  compute.labels = {{.name = "DONE", .at = 6}, {.name = "AGAIN", .at = 2}};
  kit::KitProcedure property{.name = "TOTAL", .kind = 9, .variables = {{.name = "T"}}, .setAccessor = true};
  kit::KitClass account{.name = "ACCOUNT", .members = {{.name = "BALANCE"}, {.name = "OWNER"}},
                        .procedures = {{.name = "NEW", .variables = {{.name = "START", .parameter = true}}},
                                       {.name = "DEPOSIT", .variables = {{.name = "AMOUNT", .parameter = true}}}}};
  kit::KitModule m;
  for (int i = 0; i < 30; ++i) m.procedures.push_back({.name = "SUB" + std::to_string(i)});
  m.procedures.push_back(compute);
  m.procedures.push_back(property);
  m.classes = {account, {.name = "LEDGER", .members = {{.name = "ROWS"}}}};
  std::vector<kit::KitModule> all = {m};
  m.classesInScope4 = true;
  all.push_back(m);
  m.classesInScope4 = false;
  m.entriesBeyond64K = true;
  m.filler = 65000;  // the first segment nearly full
  all.push_back(m);
  return all;
}

// Additions that change hash tables of every level.
void Extend(CLSScriptModule& module, const kit::KitImage& image) {
  const uint32_t timer = module.FindOrAddClass("CKVXTimerManager");
  for (const char* name : {"dwA", "dwB", "dwC"}) EXPECT_NE(module.AddMemberVariable(timer, name), 0u);
  EXPECT_NE(module.FindOrAddSub("Terminate"), 0u);
  for (const char* procedure : {"COMPUTE", "SUB3", "ACCOUNT::DEPOSIT"})
    EXPECT_NE(module.AddLocalVariable(image.handle.at(procedure), "KVXTimerMgr", timer), 0u);
}

// Parses `image` into each module and makes additions that change hash
// tables of every level; false when one does not parse.
bool LoadExtended(const kit::KitImage& image, std::initializer_list<CLSScriptModule*> modules) {
  for (CLSScriptModule* module : modules) {
    if (!module->Parse(image.image)) return false;
    Extend(*module, image);
  }
  return true;
}

std::vector<uint8_t> Bytes(std::span<const uint8_t> data) { return {data.begin(), data.end()}; }

TEST(ScopeHashRebuild, OneWalkChecksAndRebuildsAsTheCheckThenTheRebuild) {
  for (const kit::KitModule& m : ManyScopes()) {
    const kit::KitImage image = kit::BuildKitModule(m);
    CLSScriptModule together, apart, serialisedOnly;
    ASSERT_TRUE(LoadExtended(image, {&together, &apart, &serialisedOnly}));

    ASSERT_TRUE(RebuildScopeHashesIfFit(together.Symbols(), together.Header(), together.StringTable()));
    ASSERT_TRUE(ScopeHashesFitEntries(apart.Symbols(), apart.Header(), apart.StringTable()));
    EXPECT_EQ(Bytes(apart.SymbolTable().Data()), Bytes(serialisedOnly.SymbolTable().Data())) << "the check writes";
    RebuildScopeHashes(apart.Symbols(), apart.Header(), apart.StringTable());
    EXPECT_EQ(Bytes(together.SymbolTable().Data()), Bytes(apart.SymbolTable().Data()));
    EXPECT_EQ(Bytes(together.Header().Data()), Bytes(apart.Header().Data()));
    EXPECT_NE(Bytes(together.SymbolTable().Data()), Bytes(serialisedOnly.SymbolTable().Data()));

    // The module's own check keeps the rebuild for Serialize, which then
    // writes what a rebuild of its own would.
    CLSScriptModule kept, plain, checkedOnly;
    ASSERT_TRUE(LoadExtended(image, {&kept, &plain, &checkedOnly}));
    ASSERT_TRUE(kept.RebuildScopeHashesIfFit());
    ASSERT_TRUE(checkedOnly.ScopeHashesFit());
    EXPECT_EQ(Bytes(checkedOnly.SymbolTable().Data()), Bytes(plain.SymbolTable().Data())) << "the check writes";
    EXPECT_EQ(kept.Serialize(), plain.Serialize());
    EXPECT_EQ(checkedOnly.Serialize(), plain.Serialize());
  }
}

TEST(ScopeHashRebuild, AChangeAfterTheCheckIsRebuiltBySerialize) {
  const kit::KitImage image = kit::BuildKitModule(ManyScopes()[0]);
  CLSScriptModule checked, plain;
  ASSERT_TRUE(LoadExtended(image, {&checked, &plain}));
  ASSERT_TRUE(checked.RebuildScopeHashesIfFit());
  // Each of what the rebuild reads: a scope's chain, a name's text, a new entry.
  for (CLSScriptModule* module : {&checked, &plain}) {
    const SymbolView view = module->Symbols();
    const uint32_t compute = image.handle.at("COMPUTE");
    view.SetField16(compute, kLocalScope + kScopeFirst, static_cast<uint16_t>(image.handle.at("COMPUTE/V5")));
    EXPECT_NE(module->FindOrAddSub("Extra"), 0u);
  }
  EXPECT_EQ(checked.Serialize(), plain.Serialize());

  CLSScriptModule renamed, renamedPlain;
  ASSERT_TRUE(LoadExtended(image, {&renamed, &renamedPlain}));
  ASSERT_TRUE(renamed.RebuildScopeHashesIfFit());
  for (CLSScriptModule* module : {&renamed, &renamedPlain}) {
    // The same length, another hash: only the string data tells.
    const uint32_t at = module->StringTable().Resolve(module->Symbols().NameHandle(image.handle.at("COMPUTE/V7")));
    StoreU16(module->StringTable().MutableData().data() + at + 2, u'9');
  }
  EXPECT_EQ(renamed.Serialize(), renamedPlain.Serialize());
}

TEST(ScopeHashRebuild, ACheckThatFailsWritesNothing) {
  const kit::KitImage image = kit::BuildKitModule(ManyScopes()[0]);
  CLSScriptModule module;
  ASSERT_TRUE(LoadExtended(image, {&module}));
  // The locals' last link points into the middle of a local: linking after
  // it would write over that local's hash link.
  const SymbolView view = module.Symbols();
  const uint32_t compute = image.handle.at("COMPUTE");
  view.SetField16(compute, kLocalScope + kScopeLast, static_cast<uint16_t>(image.handle.at("COMPUTE/V9") + 2));
  const std::vector<uint8_t> symbols = Bytes(module.SymbolTable().Data());
  const std::vector<uint8_t> header = Bytes(module.Header().Data());
  ASSERT_FALSE(ScopeHashesFitEntries(view, module.Header(), module.StringTable()));
  EXPECT_FALSE(RebuildScopeHashesIfFit(view, module.Header(), module.StringTable()));
  EXPECT_FALSE(module.RebuildScopeHashesIfFit());
  EXPECT_FALSE(module.ScopeHashesFit());
  EXPECT_EQ(Bytes(module.SymbolTable().Data()), symbols);
  EXPECT_EQ(Bytes(module.Header().Data()), header);
}

}  // namespace
}  // namespace quillet
