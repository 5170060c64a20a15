// Tests of the text readers: an item's lines by type, malformed lists, and
// the one-line rendering with "|".
#include "design/item_text.h"

#include <gtest/gtest.h>

#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

class ItemText : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sim_->CreateDatabase("text.nsf"), kNoError);
    ASSERT_EQ(sim_->DbOpen("text.nsf", db_), kNoError);
    ASSERT_EQ(sim_->NoteCreate(db_, note_), kNoError);
  }
  sim::ScopedSimHost sim_;
  DbHandle db_;
  NoteHandle note_;
};

TEST_F(ItemText, LinesOfTextAndTextListItems) {
  ASSERT_EQ(sim_->ItemSetText(note_, "$SourceURL", "http://example.test/a"), kNoError);
  ASSERT_EQ(sim_->ItemAppend(note_, 0, "List", kTypeTextList, std::vector<uint8_t>{2, 0, 1, 0, 2, 0, 'a', 'b', 'c'}),
            kNoError);
  std::vector<std::string> lines{"old"};
  ASSERT_EQ(ReadTextItemLines(note_, "$SourceURL", lines), kNoError);
  EXPECT_EQ(lines, std::vector<std::string>{"http://example.test/a"});
  ASSERT_EQ(ReadTextItemLines(note_, "list", lines), kNoError);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "bc"}));
}

TEST_F(ItemText, OtherTypesAndMissingItemsGiveNoLines) {
  ASSERT_EQ(sim_->ItemSetNumber(note_, "Count", 3), kNoError);
  std::vector<std::string> lines{"old"};
  EXPECT_EQ(ReadTextItemLines(note_, "Count", lines), kErrItemNotFound);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(ReadTextItemLines(note_, "Absent", lines), kErrItemNotFound);
}

TEST_F(ItemText, MalformedListGivesTheEntriesThatFit) {
  ASSERT_EQ(sim_->ItemAppend(note_, 0, "List", kTypeTextList, std::vector<uint8_t>{3, 0, 1, 0, 9, 0, 1, 0, 'a', 'b'}),
            kNoError);
  std::vector<std::string> lines;
  ASSERT_EQ(ReadTextItemLines(note_, "List", lines), kNoError);
  EXPECT_EQ(lines, std::vector<std::string>{"a"});
  ASSERT_EQ(sim_->ItemAppend(note_, 0, "Short", kTypeTextList, std::vector<uint8_t>{200, 0, 1}), kNoError);
  ASSERT_EQ(ReadTextItemLines(note_, "Short", lines), kNoError);
  EXPECT_TRUE(lines.empty());
}

TEST_F(ItemText, WholeItemAsOneLine) {
  ASSERT_EQ(sim_->ItemAppend(note_, 0, "$TITLE", kTypeTextList, std::vector<uint8_t>{2, 0, 4, 0, 5, 0, 'M', 'a', 'i', 'n', 'A', 'l', 'i', 'a', 's'}),
            kNoError);
  std::string line = "old";
  EXPECT_EQ(ReadItemAsLine(note_, "$TITLE", line), 10);
  EXPECT_EQ(line, "Main|Alias");
  EXPECT_EQ(ReadItemAsLine(note_, "Absent", line), 0);
  EXPECT_EQ(line, "");
}

}  // namespace
}  // namespace quillet
