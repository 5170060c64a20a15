// Tests of the string hash chains: the linking rule, and that the compiler's
// string pool, the test kit's table builder and the module's own rebuild
// chain the same strings into the same bytes.
#include "lsobject/string_chains.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "lsobject/header.h"
#include "lsobject/module_text.h"
#include "lsobject/string_table.h"
#include "sim/lsc/string_pool.h"
#include "sim/scoped_sim_host.h"
#include "sim/string_table_builder.h"
#include "support/forwarding_text.h"

namespace quillet {
namespace {

TEST(StringChainsLink, EachBucketKeepsTableOrderAndEndsTheChain) {
  // Hashes 0, 7 and 14 share bucket 0; 1 and 8 share bucket 1.
  const std::vector<strings::ChainEntry> entries = {
      {100, 10, 0}, {200, 20, 1}, {300, 30, 7}, {400, 40, 8}, {500, 50, 14}};
  std::map<uint32_t, std::vector<uint16_t>> stored;
  const strings::ChainHeads heads =
      strings::LinkChains(entries, [&](uint32_t position, uint16_t link) { stored[position].push_back(link); });
  EXPECT_EQ(heads, (strings::ChainHeads{10, 20, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}));
  const std::map<uint32_t, std::vector<uint16_t>> expected = {
      {100, {30}}, {300, {50}}, {500, {0xFFFF}}, {200, {40}}, {400, {0xFFFF}}};
  EXPECT_EQ(stored, expected);  // each entry's link written exactly once

  stored.clear();
  EXPECT_EQ(strings::LinkChains({}, [&](uint32_t position, uint16_t link) { stored[position].push_back(link); }),
            (strings::ChainHeads{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}));
  EXPECT_TRUE(stored.empty());
}

// Follows every chain from its head through the link words of `table`:
// each string must be met once, in its own bucket, in table order.
void ExpectChainsCoverTheTable(const CStringTable& table, const strings::ChainHeads& heads) {
  std::map<uint32_t, size_t> bucketOf;  // position -> bucket by its hash
  std::vector<std::vector<uint32_t>> inOrder(kStringChainCount);
  table.ForEachString([&](uint32_t position, uint16_t, const std::string&) {
    const size_t bucket = NameHash(table.GetStringAt(position + strings::kEntryHeaderSize)) % kStringChainCount;
    bucketOf[position] = bucket;
    inOrder[bucket].push_back(position);
    return true;
  });
  ASSERT_FALSE(bucketOf.empty());
  const std::span<const uint8_t> data = table.Data();
  for (size_t b = 0; b < kStringChainCount; ++b) {
    std::vector<uint32_t> walked;
    for (uint16_t word = heads[b]; word != strings::kEndOfChain && walked.size() <= bucketOf.size();) {
      const uint32_t position = table.Resolve(static_cast<uint16_t>(word + strings::kEntryHeaderSize)) -
                                strings::kEntryHeaderSize;
      ASSERT_LT(position + 2u, data.size() + 1) << "bucket " << b;
      walked.push_back(position);
      word = LoadU16(data.data() + position);
    }
    EXPECT_EQ(walked, inOrder[b]) << "bucket " << b;
  }
}

// A zeroed header, read as the record it would be in an image.
CHeader BlankHeader() {
  constexpr uint16_t kLength = 512;
  std::vector<uint8_t> record(record::kRecordHeaderSize + kLength, 0);
  StoreU16(&record[0], record::kHeader);
  StoreU16(&record[2], kLength);
  CHeader header;
  EXPECT_TRUE(header.Read(record, 0));
  return header;
}

TEST(StringChainsAgree, CompilerPoolLinksAsTheModuleRebuilds) {
  lsc::StringPool pool;
  for (const char* text : {"Initialize", "Terminate", "x", "Counter", "Hello, world", "caf\xC3\xA9", "ÄÖÜ", "Counter"})
    pool.FindOrAdd(text);
  for (int i = 0; i < 60; ++i) pool.FindOrAdd("Name" + std::to_string(i));
  const std::vector<uint16_t> poolHeads = pool.LinkChains();
  ASSERT_EQ(poolHeads.size(), size_t{kStringChainCount});

  CStringTable table;
  ASSERT_TRUE(table.SetData(pool.bytes()));
  strings::ChainHeads heads;
  std::copy(poolHeads.begin(), poolHeads.end(), heads.begin());
  ExpectChainsCoverTheTable(table, heads);

  // The module's rebuild of the same table writes the same bytes and heads.
  CStringTable rebuilt = table;
  CHeader header = BlankHeader();
  rebuilt.RebuildStringChains(header);
  EXPECT_TRUE(std::equal(rebuilt.Data().begin(), rebuilt.Data().end(), pool.bytes().begin(), pool.bytes().end()));
  for (size_t b = 0; b < kStringChainCount; ++b)
    EXPECT_EQ(header.U16(header::kStringChainHeads + 2 * b), poolHeads[b]) << "bucket " << b;
}

TEST(StringChainsAgree, KitTablesBeyond64KiBLinkAsTheModuleRebuilds) {
  const sim::StringTableImage image = sim::NumberedStrings(140000, "Chain").Build();
  ASSERT_FALSE(image.extendedStrings.empty());  // extended handles in the links
  CStringTable table;
  for (const sim::Bytes& segment : image.strings) table.AppendData(segment);
  for (const sim::Bytes& segment : image.extendedStrings) table.Extended().AppendData(segment);
  ExpectChainsCoverTheTable(table, image.heads);

  const std::vector<uint8_t> built(table.Data().begin(), table.Data().end());
  CHeader header = BlankHeader();
  table.RebuildStringChains(header);
  EXPECT_TRUE(std::equal(table.Data().begin(), table.Data().end(), built.begin(), built.end()));
  for (size_t b = 0; b < kStringChainCount; ++b)
    EXPECT_EQ(header.U16(header::kStringChainHeads + 2 * b), image.heads[b]) << "bucket " << b;
}

// The host's services without the shortcut: every string makes the round
// through the host before it is hashed.
using FullRoundText = kit::ForwardingText;

TEST(StringChainsAgree, NamesThatNeedNoRoundThroughTheHostLinkAsWithTheRound) {
  sim::ScopedSimHost host;
  const NotesModuleText text(host.host());
  const FullRoundText full(text);
  sim::StringTableBuilder builder = sim::NumberedStrings(2000, "Mixed");
  // An unpaired surrogate comes back from the host as U+FFFD, so its bucket
  // is that of the text read back, not of its own units.
  const std::u16string lone = std::u16string(u"lone") + char16_t{0xD800};
  for (const std::u16string& units : {std::u16string(u"Caf\u00E9"), lone, std::u16string(u"tab\there"),
                                      std::u16string(u"x\U0001F600"), std::u16string(u"\u007F")})
    builder.AddUnits(units);
  const sim::StringTableImage image = builder.Build();
  ASSERT_NE(NameHash(lone) % kStringChainCount, NameHash(u"lone\uFFFD") % kStringChainCount);

  CStringTable shortcut;
  shortcut.SetText(text);
  for (const sim::Bytes& segment : image.strings) shortcut.AppendData(segment);
  CStringTable round = shortcut;
  round.SetText(full);
  CHeader shortcutHeader = BlankHeader();
  CHeader roundHeader = BlankHeader();
  shortcut.RebuildStringChains(shortcutHeader);
  round.RebuildStringChains(roundHeader);
  EXPECT_TRUE(std::equal(shortcut.Data().begin(), shortcut.Data().end(), round.Data().begin(), round.Data().end()));
  for (size_t b = 0; b < kStringChainCount; ++b)
    EXPECT_EQ(shortcutHeader.U16(header::kStringChainHeads + 2 * b), roundHeader.U16(header::kStringChainHeads + 2 * b))
        << "bucket " << b;
  // The surrogate's entry differs from the kit's own chains, which hash the units as stored.
  EXPECT_FALSE(std::equal(shortcut.Data().begin(), shortcut.Data().end(), image.strings[0].begin(),
                          image.strings[0].end()));
}

}  // namespace
}  // namespace quillet
