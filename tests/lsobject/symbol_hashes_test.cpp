// The scope hash rebuild on a damaged chain: a sibling link back into the
// scope makes the walk meet entries twice before it stops, and each entry
// must still be hashed once, so that no bucket list loops.
#include "lsobject/symbol_hashes.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "lsobject/ls_script_module.h"
#include "lsobject/name_hash.h"
#include "lsobject/symbol_entries.h"
#include "support/symbol_kit.h"

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

}  // namespace
}  // namespace quillet
