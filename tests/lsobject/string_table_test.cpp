// Tests of reading strings: offset checks and their messages, the walk, the hash.
#include "lsobject/string_table.h"

#include <gtest/gtest.h>

#include "bytecode/module_errors.h"
#include "lsobject/name_hash.h"
#include "sim/string_table_builder.h"

namespace quillet {
namespace {

using sim::Bytes;

CStringTable TableOf(const Bytes& bytes) {
  CStringTable table;
  EXPECT_TRUE(table.SetData(bytes));
  return table;
}

CStringTable TableOf(const sim::StringTableImage& image) {
  CStringTable table;
  for (const Bytes& segment : image.strings) table.AppendData(segment);
  for (const Bytes& segment : image.extendedStrings) table.Extended().AppendData(segment);
  return table;
}

// The message GetStringAt throws for `offset`, or "" when it returns.
std::string FailureAt(const CStringTable& table, uint32_t offset) {
  try {
    table.GetStringAt(offset);
  } catch (const CAssertionError& e) {
    return e.Message();
  }
  return "";
}

TEST(StringTableGetStringAt, EachMalformedOffsetThrowsItsMessage) {
  Bytes bytes = {
      0xFF, 0xFF, 2, 0,  // link, two units
      'A', 0, 'B', 0,    // "AB"
      0, 0, 0, 0,        // terminator, pad
      0xFF, 0xFF, 1, 0,  // link, one unit
      'C', 0, 7, 0,      // "C", then a word where the terminator belongs
      0xFF, 0xFF, 9, 0,  // link, nine units running past the end
      'D', 0, 'E', 0,    // all there is of them
  };
  const CStringTable table = TableOf(bytes);
  EXPECT_EQ(table.GetStringAt(4), u"AB");
  EXPECT_EQ(FailureAt(table, 0), "Bad String Offset : 0 - Bad boundry");
  EXPECT_EQ(FailureAt(table, 6), "Bad String Offset : 6 - Bad boundry");
  EXPECT_EQ(FailureAt(table, 28), "Bad String Offset : 28 - out of bounds");  // the end of the data
  EXPECT_EQ(FailureAt(table, 32), "Bad String Offset : 32 - out of bounds");
  EXPECT_EQ(FailureAt(table, 0xFFFFFFF0u), "Bad String Offset : -16 - out of bounds");
  EXPECT_EQ(FailureAt(table, 24), "Bad String Offset : 24 - Too short");
  EXPECT_EQ(FailureAt(table, 16), "Bad String Offset : 16 - No NULL terminator");
  EXPECT_EQ(Bytes(table.Data().begin(), table.Data().end()), bytes);  // nothing changed

  bytes.resize(26);  // offset 24 now points two bytes before the end: only the count fits
  EXPECT_EQ(FailureAt(TableOf(bytes), 24), "Bad String Offset : 24 - Too short");
  EXPECT_EQ(FailureAt(CStringTable(), 4), "Bad String Offset : 4 - out of bounds");
}

TEST(StringTableWalk, VisitsEverySegmentAndStopsAtTheFirstBrokenEntry) {
  sim::StringTableBuilder builder = sim::NumberedStrings(70000);
  builder.Add("");
  const sim::StringTableImage image = builder.Build();
  ASSERT_EQ(image.strings.size(), 2u);
  const CStringTable table = TableOf(image);

  std::vector<uint32_t> positions;
  std::vector<std::string> texts;
  const int32_t count = table.ForEachString([&](uint32_t position, uint16_t, const std::string& text) {
    positions.push_back(position);
    texts.push_back(text);
    return true;
  });
  ASSERT_EQ(count, static_cast<int32_t>(image.offsets.size()));
  for (size_t i = 0; i < image.offsets.size(); ++i) ASSERT_EQ(positions[i] + 4, image.offsets[i]) << i;
  EXPECT_EQ(texts.front(), "S0");
  EXPECT_EQ(texts.back(), "");

  // The visitor stops the walk.
  EXPECT_EQ(table.ForEachString([](uint32_t, uint16_t, const std::string&) { return false; }), 0);

  // A count running past the end ends the walk with what was visited.
  CStringTable broken = table;
  StoreU16(broken.MutableData().data() + positions[3] + 2, 0x7FFF);
  EXPECT_EQ(broken.ForEachString([](uint32_t, uint16_t, const std::string&) { return true; }), 3);
}

TEST(StringTableWalk, AFullSixtyFourKilobyteSegmentIsLeftAtItsEnd) {
  // One entry of 0x7FFD units fills a whole 64 KiB segment (4 + 2n + 2 bytes);
  // a short and a long segment follow. Measuring the end of a segment by the
  // low 16 bits of the position would miss the first one and then read the
  // padding after the second as strings.
  Bytes full(0x10000, 0);
  StoreU16(&full[0], 0xFFFF);
  StoreU16(&full[2], 0x7FFD);
  const Bytes shortEntry = {0xFF, 0xFF, 1, 0, 'Z', 0, 0, 0};
  CStringTable table;
  table.AppendData(full);
  table.AppendData(shortEntry);
  Bytes longEntry(0xFFF4, 0);
  StoreU16(&longEntry[0], 0xFFFF);
  StoreU16(&longEntry[2], 0x7FF7);
  table.AppendData(longEntry);
  ASSERT_EQ(table.SegmentSizes(), (std::vector<int32_t>{0x10000, 8, 0xFFF4}));
  std::vector<uint32_t> positions;
  table.ForEachString([&](uint32_t position, uint16_t, const std::string&) {
    positions.push_back(position);
    return true;
  });
  EXPECT_EQ(positions, (std::vector<uint32_t>{0, 0x10000, 0x20000}));
}

// "Alpha" then "Beta".
sim::StringTableImage AlphaBeta() {
  sim::StringTableBuilder builder;
  builder.Add("Alpha");
  builder.Add("Beta");
  return builder.Build();
}

TEST(StringTableHandles, EmptyHandleAndOffsetsInsideAStringReadAsEmpty) {
  const sim::StringTableImage image = AlphaBeta();
  CStringTable table = TableOf(image);
  EXPECT_EQ(table.GetString(strings::kEmptyHandle), u"");
  EXPECT_EQ(table.GetText(strings::kEmptyHandle), "");
  EXPECT_EQ(table.GetText(image.handles[1]), "Beta");
  EXPECT_EQ(table.GetString(image.handles[0]), u"Alpha");
  EXPECT_EQ(table.GetText(static_cast<uint16_t>(image.offsets[0] + 4)), "");  // inside "Alpha"
  EXPECT_THROW(table.GetString(2), CAssertionError);
}

TEST(NameHash, RotatesLeftAndXorsEachUnit) {
  EXPECT_EQ(NameHash(u"A"), 0x41);
  EXPECT_EQ(NameHash(u"AB"), 0xC0);
  EXPECT_EQ(NameHash(u""), 0);
  // Long and high units exercise the rotation through bit 15.
  for (const std::u16string& s : {std::u16string(u"INITIALIZE_A_VERY_LONG_NAME"), std::u16string(u"\xFFFF\x8000\x0001"),
                                  std::u16string(40, u'\xABCD')})
    EXPECT_EQ(NameHash(s), sim::KitNameHash(s));
}


TEST(StringTableHandles, HashInPlaceAgreesWithTheReadStringAndRefusesWhereItThrows) {
  sim::StringTableBuilder builder = sim::NumberedStrings(70000, "Hash");
  builder.AddUnits(u"Caf\u00E9\uFFFF\u8001");  // units through bit 15
  builder.Add("");
  const sim::StringTableImage image = builder.Build();
  ASSERT_FALSE(image.extendedStrings.empty());  // handles through the extended table too
  const CStringTable table = TableOf(image);
  for (uint16_t handle : image.handles) {
    uint16_t hash = 1;
    ASSERT_TRUE(table.NameHashOf(handle, hash)) << handle;
    ASSERT_EQ(hash, NameHash(table.GetString(handle))) << handle;
  }
  uint16_t hash = 1;
  EXPECT_TRUE(table.NameHashOf(strings::kEmptyHandle, hash));
  EXPECT_EQ(hash, 0);

  // Every offset GetString refuses: boundary, inside "Alpha" (a count too
  // large for the data), past the end.
  const CStringTable smallTable = TableOf(AlphaBeta());
  for (uint16_t bad : {uint16_t{0}, uint16_t{6}, uint16_t{8}, uint16_t{0x100}}) {
    EXPECT_THROW(smallTable.GetString(bad), CAssertionError) << bad;
    EXPECT_FALSE(smallTable.NameHashOf(bad, hash)) << bad;
  }
}

TEST(StringTableHandles, WalkedTextSeesOnlyStringsTheWalkReaches) {
  const sim::StringTableImage image = AlphaBeta();
  CStringTable table = TableOf(image);
  EXPECT_EQ(table.WalkedText(image.handles[1]), "Beta");
  EXPECT_EQ(table.WalkedText(image.handles[0]), "Alpha");
  EXPECT_EQ(table.WalkedText(strings::kEmptyHandle), "");
  EXPECT_EQ(table.WalkedText(static_cast<uint16_t>(image.offsets[0] + 4)), "");  // inside "Alpha"
  EXPECT_EQ(table.WalkedText(0x7FF0), "");                                        // past the end

  // "Beta" broken (no terminator): a string appended behind it is known to
  // the maps the append keeps, but a walk of the bytes stops before it.
  StoreU16(table.MutableData().data() + image.offsets[1] + 8, 7);
  ASSERT_EQ(table.GetText(image.handles[0]), "Alpha");  // maps built by a walk that stops at "Beta"
  const uint32_t added = table.AppendString("CKVXTimerManager");
  EXPECT_EQ(table.GetText(static_cast<uint16_t>(added)), "CKVXTimerManager");
  EXPECT_EQ(table.WalkedText(static_cast<uint16_t>(added)), "");
  EXPECT_EQ(table.WalkedText(image.handles[0]), "Alpha");
}

}  // namespace
}  // namespace quillet
