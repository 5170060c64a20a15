// Tests of finding and adding strings, their handles and the lookup maps.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "bytecode/module_errors.h"
#include "lsobject/string_table.h"
#include "sim/string_table_builder.h"
#include "support/forwarding_text.h"

namespace quillet {
namespace {

using sim::Bytes;

Bytes DataOf(const CMultiSection& s) { return Bytes(s.Data().begin(), s.Data().end()); }

// Host text services that count the strings converted for the host.
class CountingText : public ModuleText {
 public:
  mutable int toHost = 0;
  std::string ToHost(std::u16string_view units) const override {
    ++toHost;
    return PlainModuleText().ToHost(units);
  }
  std::u16string ToUnicode(std::string_view text) const override { return PlainModuleText().ToUnicode(text); }
  int Compare(std::string_view a, std::string_view b, uint16_t option) const override {
    return PlainModuleText().Compare(a, b, option);
  }
};

TEST(StringAppend, EntriesAreCountedTerminatedAndPaddedToFourBytes) {
  CStringTable table;
  sim::StringTableBuilder builder;
  for (const char* text : {"S0", "S1", "S2", "S3", "S4", "WXYZ", "wxyz", ""}) builder.Add(text);
  for (const Bytes& s : builder.Build().strings) table.AppendData(s);
  ASSERT_EQ(table.Length(), 100);  // five entries of 12 bytes, two of 16, one of 8

  EXPECT_EQ(table.AppendString("NEW"), 104u);  // 4 + 6 + 2 = 12, already a multiple of 4
  EXPECT_EQ(table.Length(), 112);
  EXPECT_EQ(table.AppendString("AB"), 116u);  // 4 + 4 + 2 + 2 = 12
  EXPECT_EQ(table.Length(), 124);
  EXPECT_EQ(table.AppendString("ABCD"), 128u);  // 4 + 8 + 2 + 2 = 16
  EXPECT_EQ(table.Length(), 140);
  const Bytes tail(table.Data().begin() + 100, table.Data().begin() + 112);
  EXPECT_EQ(tail, (Bytes{0xFF, 0xFF, 3, 0, 'N', 0, 'E', 0, 'W', 0, 0, 0}));
  EXPECT_EQ(table.GetStringAt(128), u"ABCD");
  EXPECT_THROW(table.AppendString(std::string(strings::kMaxUnits + 1, 'x')), CAssertionError);
  EXPECT_EQ(table.Length(), 140);
}

// Services that spell every letter as a capital: printable ASCII does not
// stay itself, so nothing may skip them.
class CapitalText : public ModuleText {
 public:
  std::string ToHost(std::u16string_view units) const override { return PlainModuleText().ToHost(units); }
  std::u16string ToUnicode(std::string_view text) const override {
    std::u16string units = PlainModuleText().ToUnicode(text);
    for (char16_t& u : units)
      if (u >= u'a' && u <= u'z') u = static_cast<char16_t>(u - 0x20);
    return units;
  }
  int Compare(std::string_view a, std::string_view b, uint16_t option) const override {
    return PlainModuleText().Compare(a, b, option);
  }
};

TEST(StringAppend, PrintableAsciiSkipsTheServicesOnlyWhereTheyKeepItAsItself) {
  // Services that keep printable ASCII: the same entries as their own round
  // (each text widened, padded, its link ending the chain), in both tables.
  CStringTable plain;
  CStringTable forwarded;
  const kit::ForwardingText forwarding(PlainModuleText());
  forwarded.SetText(forwarding);
  ASSERT_TRUE(PlainModuleText().KeepsPrintableAscii());
  ASSERT_FALSE(forwarding.KeepsPrintableAscii());
  for (const char* text : {"dwFnName_low", "KVXTimerMgr", "", "a b~", "caf\xc3\xa9", "Tab\there"}) {
    EXPECT_EQ(plain.AppendString(text), forwarded.AppendString(text)) << text;
  }
  EXPECT_EQ(DataOf(plain), DataOf(forwarded));
  EXPECT_EQ(plain.GetStringAt(4), u"dwFnName_low");

  // Services that change ASCII are never skipped, maps built or not.
  const CapitalText capitals;
  CStringTable table;
  table.SetText(capitals);
  const uint32_t before = table.AppendString("lower");
  EXPECT_EQ(table.GetStringAt(before), u"LOWER");
  table.FindOrAddString("Warm");  // the maps are built; appends now enter them
  const uint16_t added = table.FindOrAddString("mixed Case");
  EXPECT_EQ(table.GetString(added), u"MIXED CASE");
  EXPECT_EQ(table.GetText(added), "MIXED CASE") << "the text as the host reads it back";
}

TEST(StringFindOrAdd, FindsExistingTextIgnoringCaseWithoutGrowing) {
  sim::StringTableBuilder builder;
  builder.Add("Initialize");
  builder.Add("KVXTimerMgr");
  const sim::StringTableImage image = builder.Build();
  CStringTable table;
  table.AppendData(image.strings[0]);

  EXPECT_EQ(table.FindOrAddString("KVXTimerMgr"), image.handles[1]);
  EXPECT_EQ(table.FindOrAddString("INITIALIZE"), image.handles[0]);
  EXPECT_EQ(DataOf(table), image.strings[0]);

  uint16_t handle = 1;
  EXPECT_FALSE(table.FindString("Terminate", handle));
  EXPECT_EQ(handle, 0);
  const uint16_t added = table.FindOrAddString("Terminate");
  EXPECT_EQ(added, image.strings[0].size() + 4);
  EXPECT_TRUE(table.FindString("terminate", handle));
  EXPECT_EQ(handle, added);
  EXPECT_EQ(table.GetText(added), "Terminate");

  // Clearing the table empties the maps with it.
  table.Clear();
  EXPECT_FALSE(table.FindString("Initialize", handle));
  EXPECT_EQ(table.GetText(4), "");
}

TEST(StringFindOrAdd, MapsFollowDataInstalledBehindTheirBack) {
  CStringTable table;
  EXPECT_EQ(table.FindOrAddString("First"), 4);
  sim::StringTableBuilder builder;
  builder.Add("Other");
  builder.Add("Second");
  ASSERT_TRUE(table.SetData(builder.Build().strings[0]));  // e.g. a restored copy
  uint16_t handle = 0;
  EXPECT_FALSE(table.FindString("First", handle));
  EXPECT_TRUE(table.FindString("Second", handle));
  EXPECT_EQ(table.GetString(handle), u"Second");
}

TEST(StringFindOrAdd, TheFirstOfTextsEqualIgnoringCaseAnswersEveryLaterLookUp) {
  sim::StringTableBuilder builder;
  builder.Add("Timer");
  builder.Add("TIMER");
  builder.Add("Other");
  const sim::StringTableImage image = builder.Build();
  CStringTable table;
  table.AppendData(image.strings[0]);
  // Asked again (the exact text of the later string, then other cases), and
  // after strings were appended: always the first one.
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(table.FindOrAddString("TIMER"), image.handles[0]);
    EXPECT_EQ(table.FindOrAddString("timer"), image.handles[0]);
    table.FindOrAddString("Appended" + std::to_string(round));
  }
  EXPECT_EQ(table.FindOrAddString("TIMER"), image.handles[0]);
  // A table rebuilt with other data answers from that data, not from before.
  sim::StringTableBuilder other;
  other.Add("Timer2");
  other.Add("tImEr");
  const sim::StringTableImage second = other.Build();
  ASSERT_TRUE(table.SetData(second.strings[0]));
  uint16_t handle = 0;
  ASSERT_TRUE(table.FindString("TIMER", handle));
  EXPECT_EQ(handle, second.handles[1]);
}

TEST(StringFindOrAdd, CopiesLookUpInTheirOwnTexts) {
  sim::StringTableBuilder builder;
  for (const char* text : {"Alpha", "A rather longer name than fits inline", "Gamma"}) builder.Add(text);
  const sim::StringTableImage image = builder.Build();
  auto source = std::make_unique<CStringTable>();
  source->AppendData(image.strings[0]);
  ASSERT_EQ(source->FindOrAddString("GAMMA"), image.handles[2]);  // the maps are built
  const uint16_t waiting = source->FindOrAddString("Appended");  // not yet merged into the maps

  CStringTable copy(*source);
  CStringTable assigned;
  assigned.FindOrAddString("Unrelated");
  assigned = *source;
  // Without maps, and put back over a table with maps of its own, as a
  // refused rewrite puts its snapshot back.
  CStringTable bare(*source, CStringTable::WithoutMaps{});
  CStringTable restored;
  restored.FindOrAddString("Unrelated");
  restored = bare;
  source.reset();  // the copies must not read the source's texts
  for (CStringTable* table : {&copy, &assigned, &bare, &restored}) {
    EXPECT_EQ(table->FindOrAddString("APPENDED"), waiting);
    EXPECT_EQ(table->FindOrAddString("a rather longer name than fits inline"), image.handles[1]);
    EXPECT_EQ(table->FindOrAddString("alpha"), image.handles[0]);
    EXPECT_EQ(table->GetText(image.handles[1]), "A rather longer name than fits inline");
    const uint16_t added = table->FindOrAddString("Delta");
    EXPECT_EQ(table->FindOrAddString("DELTA"), added);
  }
}

TEST(StringFindOrAdd, AddingAfterTheMapsAreBuiltConvertsOnlyTheNewString) {
  CountingText text;
  CStringTable table;
  table.SetText(text);
  for (const Bytes& s : sim::NumberedStrings(20000).Build().strings) table.AppendData(s);
  table.FindOrAddString("Warm");
  const int afterBuild = text.toHost;
  for (int i = 0; i < 100; ++i) table.FindOrAddString("New" + std::to_string(i));
  table.FindOrAddString("S5");
  EXPECT_LE(text.toHost - afterBuild, 100);
}

TEST(StringFindOrAdd, StringsNotYetInTheMapsAreFoundAsTheMapsWouldFindThem) {
  CStringTable table;
  for (const Bytes& s : sim::NumberedStrings(400).Build().strings) table.AppendData(s);  // S0 to S32
  table.FindOrAddString("Warm");  // the maps are built; what follows waits outside them
  std::vector<std::string> queries;
  for (int i = 0; i < 45; ++i) queries.push_back("Added" + std::to_string(i));
  // Names equal ignoring case to a string of the table, to one appended a
  // moment ago and to one appended before the waiting list was last merged.
  for (const char* again : {"s7", "ADDED3", "added44", "aDDed40", "WARM"}) queries.push_back(again);
  std::vector<uint16_t> handles;
  for (const std::string& q : queries) handles.push_back(table.FindOrAddString(q));
  const uint32_t copyAt = table.AppendString("added1");  // a second string equal to a waiting one
  CStringTable copy = table;

  // A table read from the same bytes builds its maps from them alone.
  CStringTable reread;
  ASSERT_TRUE(reread.SetData(DataOf(table)));
  for (size_t i = 0; i < queries.size(); ++i) {
    uint16_t found = 0;
    ASSERT_TRUE(reread.FindString(queries[i], found)) << queries[i];
    EXPECT_EQ(handles[i], found) << queries[i];
    EXPECT_EQ(table.GetText(handles[i]), reread.GetText(found)) << queries[i];
    uint16_t fromCopy = 0;
    ASSERT_TRUE(copy.FindString(queries[i], fromCopy));
    EXPECT_EQ(fromCopy, found) << queries[i];
  }
  EXPECT_EQ(handles[45], table.FindOrAddString("S7"));
  EXPECT_EQ(handles[46], handles[3]);
  EXPECT_EQ(handles[47], handles[44]);
  EXPECT_EQ(handles[48], handles[40]);
  EXPECT_EQ(table.GetText(static_cast<uint16_t>(copyAt)), "added1");
  EXPECT_EQ(copy.GetText(static_cast<uint16_t>(copyAt)), "added1");
  EXPECT_EQ(table.FindOrAddString("ADDED1"), handles[1]);
  EXPECT_EQ(table.Length(), reread.Length());
}

TEST(StringFindOrAdd, BeyondSixtyFourKilobytesHandlesComeFromTheExtendedTable) {
  // Strings added one by one must come out exactly as the kit lays them out.
  sim::StringTableBuilder builder = sim::NumberedStrings(140000, "Name");
  const sim::StringTableImage image = builder.Build();
  ASSERT_GE(image.strings.size(), 3u);

  CStringTable table;
  std::vector<uint16_t> handles;
  for (size_t i = 0; i < image.offsets.size(); ++i)
    handles.push_back(table.FindOrAddString("Name" + std::to_string(i)));
  EXPECT_EQ(handles, image.handles);
  ASSERT_EQ(image.extendedStrings.size(), 1u);
  EXPECT_EQ(DataOf(table.Extended()), image.extendedStrings[0]);

  std::set<uint32_t> offsets(image.offsets.begin(), image.offsets.end());
  for (size_t i = 0; i < handles.size(); ++i) {
    if (image.offsets[i] <= 0xFFFF) continue;
    EXPECT_GT(handles[i], 4) << i;
    EXPECT_EQ(offsets.count(handles[i]), 0u) << "handle " << handles[i] << " is a string's offset";
    EXPECT_EQ(table.Resolve(handles[i]), image.offsets[i]);
  }
  // Every handle reads back its own string, low ones included.
  for (size_t i = 0; i < handles.size(); i += 97)
    EXPECT_EQ(table.GetText(handles[i]), "Name" + std::to_string(i)) << i;
  EXPECT_EQ(table.FindOrAddString("name12"), handles[12]);
  EXPECT_EQ(table.FindOrAddString("NAME" + std::to_string(handles.size() - 1)), handles.back());
}

TEST(StringFindOrAdd, AStringBeyondSixtyFourKilobytesWithoutHandleGetsOneInsteadOfACopy) {
  const sim::StringTableImage image = sim::NumberedStrings(70000).Build();
  CStringTable table;
  for (const Bytes& s : image.strings) table.AppendData(s);  // no extended table
  const std::string last = "S" + std::to_string(image.offsets.size() - 1);
  uint16_t handle = 0;
  EXPECT_FALSE(table.FindString(last, handle));
  const int32_t length = table.Length();
  handle = table.FindOrAddString(last);
  EXPECT_EQ(table.Length(), length);
  EXPECT_EQ(table.Resolve(handle), image.offsets.back());
  EXPECT_TRUE(table.HandleForOffset(image.offsets.back(), handle));
  EXPECT_FALSE(table.HandleForOffset(image.offsets.back() - 12, handle));
}

}  // namespace
}  // namespace quillet
