// Tests of symbol handles, entry readers and walks, on hand-made tables and
// on corrupt ones.
#include <gtest/gtest.h>

#include "lsobject/code_tables.h"
#include "lsobject/symbol_entries.h"
#include "lsobject/symbol_table.h"

namespace quillet {
namespace {

using namespace symbol;

struct Tables {
  CSymbolTable symbols;
  CExtendedSymbolTable extended;
  SymbolView View() { return SymbolView{&symbols, &extended}; }
};

void SetWords(CTableExtention& table, std::initializer_list<uint32_t> values) {
  std::vector<uint8_t> bytes;
  ByteWriter w(bytes);
  for (uint32_t v : values) w.PutU32(v);
  ASSERT_TRUE(table.SetData(bytes));
}

// `size` bytes of `fill`, entries written into it by the test.
std::vector<uint8_t> Data(size_t size, uint8_t fill = 0) { return std::vector<uint8_t>(size, fill); }

void Entry(std::vector<uint8_t>& d, size_t at, uint16_t kind, uint16_t sibling, uint16_t flags = 0) {
  StoreU16(&d[at], kind);
  StoreU16(&d[at + kFlags], flags);
  StoreU16(&d[at + kSibling], sibling);
}

std::vector<uint32_t> Visited(const SymbolView& view, uint32_t first, bool recurse) {
  std::vector<uint32_t> handles;
  view.WalkSymbols(first, 0, recurse, [&](const SymbolVisit& v) {
    handles.push_back(v.handle);
    return true;
  });
  return handles;
}

TEST(SymbolHandles, ExtendedTableFindPrefersIndicesAboveFour) {
  Tables t;
  ASSERT_TRUE(t.symbols.SetData(Data(64)));
  SetWords(t.extended, {0, 0, 0x12345, 0, 0, 0, 0, 0, 0, 0x12345});
  EXPECT_EQ(t.View().HandleOf(0x12345), 9u);
  SetWords(t.extended, {0, 0x12345, 0, 0x12345, 0, 0});
  EXPECT_EQ(t.View().HandleOf(0x12345), 3u);
  EXPECT_EQ(t.View().Resolve(3), 0x12345u);
  EXPECT_EQ(t.View().Resolve(6), 6u);        // beyond the table: the handle itself
  EXPECT_EQ(t.View().HandleOf(0x30000), 0x30000u);  // no index: the offset stands for itself
  EXPECT_EQ(t.View().HandleOf(0x40), 0x40u);
}

TEST(SymbolHandles, EncodingSkipsIndicesThatLookLikeEntries) {
  Tables t;
  std::vector<uint8_t> d = Data(0x100, 0xFF);
  StoreU16(&d[6], 3);  // an entry starts at 6 ...
  d[8] = 0;            // ... and the word at 7 (0) looks like one too
  ASSERT_TRUE(t.symbols.SetData(d));
  SetWords(t.extended, {0, 1, 2, 3, 4, 5});
  const SymbolView view = t.View();
  EXPECT_EQ(view.EncodeSymbolOffset(0x1234), 0x1234u);
  EXPECT_EQ(t.extended.Length(), 24);
  const uint32_t h = view.EncodeSymbolOffset(0x10010);
  EXPECT_EQ(h, 8u);
  EXPECT_EQ(view.Resolve(6), 6u);  // still the entry at 6
  EXPECT_EQ(view.Resolve(7), 7u);
  EXPECT_EQ(view.Resolve(8), 0x10010u);

  // An empty table never hands out 0, the end of every chain.
  Tables empty;
  ASSERT_TRUE(empty.symbols.SetData(Data(0x100, 0xFF)));
  const uint32_t first = empty.View().EncodeSymbolOffset(0x10000);
  EXPECT_NE(first, 0u);
  EXPECT_EQ(empty.View().Resolve(first), 0x10000u);
}

TEST(SymbolReaders, CommonFieldsFollowTheKind) {
  Tables t;
  std::vector<uint8_t> d = Data(400);
  StoreU16(&d[20], kEntry2); StoreU16(&d[22], 0x66); StoreU16(&d[28], 0x77); StoreU16(&d[36], 5);
  StoreU16(&d[40], kLibrary); StoreU16(&d[42], 0x11); StoreU16(&d[44], 0x22);
  StoreU16(&d[60], kTerminator); StoreU16(&d[62], 0x0040); StoreU16(&d[64], 0x33);
  StoreU16(&d[80], kEntry24); StoreU16(&d[82], 0x0040); StoreU16(&d[84], 0x44); StoreU16(&d[86], 0x55);
  Entry(d, 100, kSub, 0x88, kNoCode);
  StoreU32(&d[100 + kCodeOffset], 500);
  Entry(d, 260, kVariable, 0);
  StoreU16(&d[260 + kDataType], 9);
  ASSERT_TRUE(t.symbols.SetData(d));
  const SymbolView v = t.View();

  EXPECT_EQ(v.NextSibling(20), 0x66u); EXPECT_EQ(v.NameHandle(20), 0x77); EXPECT_EQ(v.WalkValue(20), 5);
  EXPECT_EQ(v.Flags(20), 0);
  EXPECT_EQ(v.NextSibling(40), 0x11u); EXPECT_EQ(v.NameHandle(40), 0x22); EXPECT_EQ(v.CodeOffset(40), 0u);
  EXPECT_EQ(v.NextSibling(60), 0u); EXPECT_EQ(v.NameHandle(60), 0x33); EXPECT_EQ(v.Flags(60), 0x0040);
  EXPECT_EQ(v.NextSibling(80), 0x44u); EXPECT_EQ(v.NameHandle(80), 0x55); EXPECT_EQ(v.Flags(80), 0);
  EXPECT_EQ(v.CodeOffset(100), 0u);  // no code in this module
  EXPECT_EQ(v.WalkValue(100), -1);
  EXPECT_EQ(v.WalkValue(260), 9);
  // Outside the data everything reads as absent.
  EXPECT_EQ(v.Kind(399), 0);
  EXPECT_EQ(v.NextSibling(0xFFF0), 0u);
  EXPECT_TRUE(v.EntryAt(300, 152).empty());
  v.SetNextSibling(399, 1);  // dropped
  EXPECT_EQ(t.symbols.Data()[399], 0);
}

TEST(SymbolWalk, RecursesIntoScopesAccessorsAndContainerLists) {
  Tables t;
  std::vector<uint8_t> d = Data(1200);
  // Module chain: Get accessor at 8 (Set accessor at 160), class at 320.
  Entry(d, 8, kProperty, 320, kAccessor);
  StoreU16(&d[8 + kLocalScope + kScopeFirst], 600);   // a local
  StoreU16(&d[8 + kLabelScope + kScopeFirst], 620);   // a label
  Entry(d, 160, kProperty, 0, kAccessor | kSetAccessor);
  Entry(d, 320, kClass, 420);
  StoreU16(&d[320 + kMemberScope + kScopeFirst], 640);
  // Kind-16 container at 420: child 660, list entry 680, item chain 700 -> 720.
  Entry(d, 420, kContainer16, 0);
  StoreU16(&d[420 + kMemberScope + kScopeFirst], 660);
  StoreU16(&d[420 + kListEntry], 680);
  StoreU16(&d[420 + kListChain], 700);
  for (size_t at : {600, 620, 640, 660, 680}) Entry(d, at, kVariable, 0);
  StoreU16(&d[700], 12); StoreU16(&d[702], 720); StoreU16(&d[704], 0x99);
  StoreU16(&d[720], 13); StoreU16(&d[722], 0);
  ASSERT_TRUE(t.symbols.SetData(d));
  const SymbolView v = t.View();

  EXPECT_EQ(Visited(v, 8, false), (std::vector<uint32_t>{8, 320, 420}));
  EXPECT_EQ(Visited(v, 8, true), (std::vector<uint32_t>{8, 620, 600, 160, 320, 640, 420, 660, 680, 700, 720}));
  std::vector<SymbolVisit> items;
  v.WalkSymbols(8, 0, true, [&](const SymbolVisit& s) {
    if (s.handle >= 700) items.push_back(s);
    return true;
  });
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].kind, 12);    // the chain's first kind
  EXPECT_EQ(items[0].parent, 680u);  // the list entry
  EXPECT_EQ(items[0].name, 0x99);
  // A visitor that stops ends the whole walk.
  int seen = 0;
  EXPECT_EQ(v.WalkSymbols(8, 0, true, [&](const SymbolVisit&) { return ++seen < 3; }), 3);
}

// A Get accessor ending the first 64 KiB puts its Set accessor at 0x10000,
// which no link names: the walk encodes the position as any handle is, so
// the Set accessor is reported under a 16-bit handle that resolves to it.
TEST(SymbolWalk, SetAccessorPastSixtyFourKilobytesGetsASixteenBitHandle) {
  Tables t;
  constexpr size_t kGet = 0x10000 - kProcedureSize;
  constexpr size_t kSet = 0x10000;
  std::vector<uint8_t> d = Data(kSet + kProcedureSize + 16, 0xFF);
  std::fill(d.begin() + kGet, d.begin() + kSet + kProcedureSize, 0);
  Entry(d, kGet, kProperty, 0, kAccessor);
  Entry(d, kSet, kProperty, 0, kAccessor | kSetAccessor);
  ASSERT_TRUE(t.symbols.SetData(d));
  const SymbolView v = t.View();

  const std::vector<uint32_t> visited = Visited(v, kGet, true);
  ASSERT_EQ(visited.size(), 2u);
  EXPECT_EQ(visited[0], kGet);
  EXPECT_LE(visited[1], 0xFFFFu);
  EXPECT_EQ(v.Resolve(visited[1]), kSet);
  // A second walk finds the index the first one made.
  EXPECT_EQ(Visited(v, kGet, true), visited);
}

TEST(SymbolWalk, CorruptChainsEndInsteadOfHanging) {
  Tables t;
  std::vector<uint8_t> d = Data(4096);
  Entry(d, 8, kVariable, 24);
  Entry(d, 24, kVariable, 40);
  Entry(d, 40, kVariable, 8);       // back to the start
  Entry(d, 100, kClass, 0);
  StoreU16(&d[100 + kMemberScope + kScopeFirst], 100);  // a class containing itself
  Entry(d, 300, kVariable, 0xF000);  // a link far outside the data
  ASSERT_TRUE(t.symbols.SetData(d));
  const SymbolView v = t.View();

  const std::vector<uint32_t> cycle = Visited(v, 8, true);
  EXPECT_GE(cycle.size(), 3u);
  EXPECT_LE(cycle.size(), 6u);
  EXPECT_LT(Visited(v, 100, true).size(), 100u);
  EXPECT_EQ(Visited(v, 300, true), (std::vector<uint32_t>{300}));

  // A class whose scope holds two copies of a container nesting itself
  // would double per level; the walk stays bounded by the data size.
  Entry(d, 500, kClass, 0);
  StoreU16(&d[500 + kMemberScope + kScopeFirst], 600);
  Entry(d, 600, kClass, 700);
  StoreU16(&d[600 + kMemberScope + kScopeFirst], 500);
  Entry(d, 700, kClass, 0);
  StoreU16(&d[700 + kMemberScope + kScopeFirst], 500);
  ASSERT_TRUE(t.symbols.SetData(d));
  EXPECT_LE(Visited(t.View(), 500, true).size(), 4096u + 64);
}

TEST(SymbolLookup, LabelsResolveThroughTheLabelOffsetTable) {
  Tables t;
  std::vector<uint8_t> d = Data(400);
  Entry(d, 8, kSub, 0);
  StoreU16(&d[8 + kLabelScope + kScopeFirst], 200);
  Entry(d, 200, 5, 216); StoreU16(&d[200 + kLabelTarget], 1);
  Entry(d, 216, 5, 0); StoreU16(&d[216 + kLabelTarget], 2);
  ASSERT_TRUE(t.symbols.SetData(d));
  CLabelOffsetTable labels;
  SetWords(labels, {10, 320, 0x10400});
  EXPECT_EQ(t.View().FindLabel(labels, 8, 320), 200u);
  EXPECT_EQ(t.View().FindLabel(labels, 8, 0x10400), 216u);
  EXPECT_EQ(t.View().FindLabel(labels, 8, 10), 0u);
  EXPECT_EQ(t.View().FindLabel(labels, 200, 320), 0u);  // no procedure
}

}  // namespace
}  // namespace quillet
