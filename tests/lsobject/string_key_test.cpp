// Finding strings by their no-case keys: the host's comparison still decides,
// keys only spare comparisons of texts they already tell apart.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lsobject/module_text.h"
#include "lsobject/string_table.h"
#include "sim/scoped_sim_host.h"
#include "support/forwarding_text.h"

namespace quillet {
namespace {

// The first string of `table` equal to `text` under the host's comparison,
// walked one by one; -1 when there is none.
int64_t FirstEqualByHost(const CStringTable& table, const ModuleText& text, std::string_view query) {
  int64_t found = -1;
  table.ForEachString([&](uint32_t position, uint16_t, const std::string& stored) {
    if (text.Compare(stored, query, kCompareNoCase) != 0) return true;
    found = position + strings::kEntryHeaderSize;
    return false;
  });
  return found;
}

// Texts equal and unequal ignoring case, in ASCII and beyond it.
const std::vector<std::string> kTexts = {
    "KVXLineTimer", "kvxlinetimer", "KVXLineTimeR", "KVXLineTimers", "caf\xC3\xA9", "CAF\xC3\x89", "CAFE",
    "Gr\xC3\xB6\xC3\x9F" "e", "GR\xC3\x96\xC3\x9F" "E", "\xC3\xB7", "\xC3\x97", "tab\there", "TAB\tHERE", "NEW"};

TEST(StringNoCaseKey, TextsTheHostFindsEqualHaveEqualKeys) {
  sim::ScopedSimHost host;
  const NotesModuleText notes(host.host());
  for (const ModuleText* text : {static_cast<const ModuleText*>(&notes), &PlainModuleText()}) {
    for (const std::string& a : kTexts) {
      for (const std::string& b : kTexts) {
        uint64_t keyA = 0, keyB = 0;
        if (!text->NoCaseKey(a, keyA) || !text->NoCaseKey(b, keyB)) continue;
        if (text->Compare(a, b, kCompareNoCase) == 0) {
          EXPECT_EQ(keyA, keyB) << a << " / " << b;
        }
      }
    }
  }
  // Over the host, only printable ASCII has a key: the rest is the host's to compare.
  uint64_t key = 0;
  EXPECT_TRUE(notes.NoCaseKey("KVXLineTimer", key));
  EXPECT_FALSE(notes.NoCaseKey("caf\xC3\xA9", key));
  EXPECT_FALSE(notes.NoCaseKey("tab\there", key));
}

// The host's services with every key the same: each look-up comes down to
// the host's comparison.
class CollidingText : public kit::ForwardingText {
 public:
  using ForwardingText::ForwardingText;
  int Compare(std::string_view a, std::string_view b, uint16_t option) const override {
    ++compares;
    return ForwardingText::Compare(a, b, option);
  }
  bool NoCaseKey(std::string_view, uint64_t& key) const override {
    key = 7;
    return true;
  }
  mutable int compares = 0;
};

TEST(StringNoCaseKey, LookUpsFindWhatTheHostsComparisonFinds) {
  sim::ScopedSimHost host;
  const NotesModuleText notes(host.host());
  const CollidingText colliding(notes);
  for (const ModuleText* text : {static_cast<const ModuleText*>(&notes), static_cast<const ModuleText*>(&colliding)}) {
    CStringTable table;
    table.SetText(*text);
    // Half the texts are read from data (the maps), half appended after the
    // maps were built (the waiting list); then the list is merged.
    for (size_t i = 0; i < kTexts.size() / 2; ++i) table.AppendString(kTexts[i]);
    for (size_t i = kTexts.size() / 2; i < kTexts.size(); ++i) table.FindOrAddString(kTexts[i]);
    for (int round = 0; round < 2; ++round) {
      for (const std::string& query : kTexts) {
        uint16_t handle = 0;
        const int64_t expected = FirstEqualByHost(table, *text, query);
        ASSERT_NE(expected, -1) << query;
        ASSERT_TRUE(table.FindString(query, handle)) << query;
        EXPECT_EQ(table.Resolve(handle), expected) << query;
      }
      for (const char* absent : {"KVXLineTime", "cafe\xCC\x81", "GROSSE"}) {
        uint16_t handle = 0;
        EXPECT_EQ(FirstEqualByHost(table, *text, absent), -1) << absent;
        EXPECT_FALSE(table.FindString(absent, handle)) << absent;
      }
      for (int i = 0; i < 40; ++i) table.FindOrAddString("Filler" + std::to_string(i));  // merges the list
    }
  }
}

TEST(StringNoCaseKey, TextsWhoseKeysDifferAreNotCompared) {
  sim::ScopedSimHost host;
  const NotesModuleText notes(host.host());
  // Counts the comparisons of the host's services, keys and all.
  class Counting : public CollidingText {
   public:
    explicit Counting(const NotesModuleText& notes) : CollidingText(notes), notes_(notes) {}
    bool NoCaseKey(std::string_view text, uint64_t& key) const override { return notes_.NoCaseKey(text, key); }

   private:
    const NotesModuleText& notes_;
  } counting(notes);
  CStringTable table;
  table.SetText(counting);
  table.FindOrAddString("Initialize");
  for (const char* name : {"dwFnName_low", "dwFnName_high", "dwFnId", "dwNoteID_low", "dwNoteID_high"})
    table.FindOrAddString(name);
  EXPECT_EQ(counting.compares, 0);
  const uint16_t again = table.FindOrAddString("DWFNID");
  EXPECT_EQ(counting.compares, 1);  // the one candidate, confirmed by the host
  EXPECT_EQ(table.GetText(again), "dwFnId");
}

}  // namespace
}  // namespace quillet
