// Tests of the u32 array operations of extended and offset tables.
#include "lsobject/table_extention.h"

#include <gtest/gtest.h>

#include "lsobject/symbol_table.h"

namespace quillet {
namespace {

CExtendedSymbolTable TableOf(std::initializer_list<uint32_t> values) {
  std::vector<uint8_t> bytes;
  ByteWriter w(bytes);
  for (uint32_t v : values) w.PutU32(v);
  CExtendedSymbolTable table;
  EXPECT_TRUE(table.SetData(bytes));
  return table;
}

TEST(TableExtention, FindPrefersAnIndexAboveFourElseTheLastLowOne) {
  uint32_t handle = 99;
  const CExtendedSymbolTable both = TableOf({0, 0, 0x20000, 0, 0, 0, 0, 0, 0, 0x20000});
  EXPECT_TRUE(both.Find(0x20000, handle));
  EXPECT_EQ(handle, 9u);
  const CExtendedSymbolTable low = TableOf({0, 0x20000, 0, 0x20000, 0, 0});
  EXPECT_TRUE(low.Find(0x20000, handle));
  EXPECT_EQ(handle, 3u);
  EXPECT_FALSE(low.Find(0x30000, handle));
  EXPECT_EQ(handle, 0u);
}

TEST(TableExtention, GetSetContainsStayInsideTheTable) {
  CExtendedSymbolTable table = TableOf({7, 8});
  EXPECT_TRUE(table.Contains(1));
  EXPECT_FALSE(table.Contains(2));
  EXPECT_EQ(table.Get(1), 8u);
  EXPECT_EQ(table.Get(2), 0u);
  table.Set(1, 0x12345);
  table.Set(2, 1);  // outside: ignored
  EXPECT_EQ(table.Get(1), 0x12345u);
  EXPECT_EQ(table.Length(), 8);
  EXPECT_FALSE(CExtendedSymbolTable().Contains(0));
}

TEST(TableExtention, EncodeAppendsLargeValuesAndResolveMapsThemBack) {
  CExtendedSymbolTable table = TableOf({0, 0, 0});
  EXPECT_EQ(table.Encode(0xFFFE), 0xFFFEu);  // small values are their own handle
  EXPECT_EQ(table.Length(), 12);
  const uint32_t h = table.Encode(0xFFFF);
  EXPECT_EQ(h, 3u);
  EXPECT_EQ(table.Resolve(h), 0xFFFFu);
  EXPECT_EQ(table.Encode(0x10000), 4u);
  EXPECT_EQ(table.Resolve(4), 0x10000u);
  EXPECT_EQ(table.Resolve(5), 5u);  // beyond the table: the handle itself
  EXPECT_EQ(CExtendedSymbolTable().Resolve(2), 2u);
}

}  // namespace
}  // namespace quillet
