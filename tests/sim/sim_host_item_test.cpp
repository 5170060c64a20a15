// Items of the simulated host: instances in order, lookups ignoring case,
// deletion statuses, set/append semantics, text lists, attachments.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/scoped_sim_host.h"
#include "sim/sim_value.h"

namespace quillet::sim {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

class SimItemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(host.CreateDatabase("design.nsf"), kNoError);
    ASSERT_EQ(host.DbOpen("design.nsf", db), kNoError);
    ASSERT_EQ(host.NoteCreate(db, note), kNoError);
  }

  std::string Data(const ItemInfo& info) { return std::string(info.value.begin() + 2, info.value.end()); }

  ScopedSimHost sim;
  SimHost& host = sim.host();
  DbHandle db;
  NoteHandle note;
};

TEST_F(SimItemTest, InstancesAreFoundInOrderIgnoringCaseWithTheTypeWordFirst) {
  ASSERT_EQ(host.ItemAppend(note, kItemSigned, "$ScriptLib_O", kTypeLsObject, Bytes("one")), kNoError);
  ASSERT_EQ(host.ItemAppend(note, 0, "Other", kTypeText, Bytes("x")), kNoError);
  ASSERT_EQ(host.ItemAppend(note, kItemSigned, "$scriptlib_o", kTypeLsObject, Bytes("two")), kNoError);
  ASSERT_EQ(host.ItemAppend(note, kItemSigned, "$SCRIPTLIB_O", kTypeLsObject, Bytes("three")), kNoError);

  ItemInfo info;
  ASSERT_EQ(host.ItemFind(note, "$SCRIPTlib_o", info), kNoError);
  EXPECT_EQ(info.name, "$ScriptLib_O");
  EXPECT_EQ(info.flags, kItemSigned);
  EXPECT_EQ(info.type, kTypeLsObject);
  ASSERT_EQ(info.value.size(), 5u);
  EXPECT_EQ(info.value[0], 0x14);  // type word, little-endian
  EXPECT_EQ(info.value[1], 0x00);
  std::vector<std::string> seen{Data(info)};
  while (host.ItemFindNext(note, info.item, info) == kNoError) seen.push_back(Data(info));
  EXPECT_EQ(seen, (std::vector<std::string>{"one", "two", "three"}));

  ItemInfo queried;
  ASSERT_EQ(host.ItemQuery(note, info.item, queried), kNoError);
  EXPECT_EQ(Data(queried), "three");
  EXPECT_EQ(host.ItemFind(note, "Absent", info), kErrItemNotFound);
}

TEST_F(SimItemTest, DeleteByNameTakesTheFirstInstanceAndEnds0x222) {
  for (std::string_view value : {"a", "b", "c"}) {
    ASSERT_EQ(host.ItemAppend(note, 0, "Body", kTypeText, Bytes(value)), kNoError);
  }
  ItemInfo second;
  ASSERT_EQ(host.ItemFind(note, "Body", second), kNoError);
  ASSERT_EQ(host.ItemFindNext(note, second.item, second), kNoError);
  ASSERT_EQ(host.ItemDeleteById(note, second.item), kNoError);
  EXPECT_EQ(host.ItemDeleteById(note, second.item), kErrItemNotFound);
  EXPECT_EQ(host.ItemQuery(note, second.item, second), kErrItemNotFound);

  ASSERT_EQ(host.ItemDelete(note, "BODY"), kNoError);  // removes "a"
  ItemInfo left;
  ASSERT_EQ(host.ItemFind(note, "Body", left), kNoError);
  EXPECT_EQ(Data(left), "c");
  ASSERT_EQ(host.ItemDelete(note, "body"), kNoError);
  EXPECT_EQ(host.ItemDelete(note, "Body"), kErrItemNotFound);
  EXPECT_EQ(StatusCode(host.ItemDelete(note, "Body")), 0x222);
}

TEST_F(SimItemTest, ItemIdsOfOneNoteDoNotResolveInAnother) {
  ASSERT_EQ(host.ItemAppend(note, 0, "A", kTypeText, Bytes("a")), kNoError);
  NoteHandle other;
  ASSERT_EQ(host.NoteCreate(db, other), kNoError);
  ASSERT_EQ(host.ItemAppend(other, 0, "A", kTypeText, Bytes("b")), kNoError);
  ItemInfo info;
  ASSERT_EQ(host.ItemFind(note, "A", info), kNoError);
  EXPECT_EQ(host.ItemQuery(other, info.item, info), kErrItemNotFound);
  EXPECT_EQ(host.ItemDeleteById(other, info.item), kErrItemNotFound);
}

TEST_F(SimItemTest, SetReplacesEveryInstanceWithOneSummaryItem) {
  ASSERT_EQ(host.ItemAppend(note, 0, "Title", kTypeText, Bytes("1")), kNoError);
  ASSERT_EQ(host.ItemAppend(note, 0, "Keep", kTypeText, Bytes("k")), kNoError);
  ASSERT_EQ(host.ItemAppend(note, 0, "TITLE", kTypeText, Bytes("2")), kNoError);
  ASSERT_EQ(host.ItemSetText(note, "title", "new"), kNoError);

  std::vector<std::string> names;
  ASSERT_EQ(host.ItemScan(note, [&](const ItemInfo& item) {
    names.push_back(item.name);
    return kNoError;
  }), kNoError);
  EXPECT_EQ(names, (std::vector<std::string>{"Keep", "title"}));
  ItemInfo info;
  ASSERT_EQ(host.ItemFind(note, "Title", info), kNoError);
  EXPECT_EQ(info.flags, kItemSummary);
  EXPECT_EQ(Data(info), "new");

  ASSERT_EQ(host.ItemSetNumber(note, "Count", 42.5), kNoError);
  ASSERT_EQ(host.ItemSetNumber(note, "Count", 7), kNoError);
  double number = 0;
  ASSERT_TRUE(host.ItemNumber(note, "COUNT", number));
  EXPECT_EQ(number, 7);
  EXPECT_FALSE(host.ItemNumber(note, "Title", number));  // a text is not a number

  const TimeDate when = host.CurrentTime();
  ASSERT_EQ(host.ItemSetTime(note, "When", when), kNoError);
  TimeDate read;
  ASSERT_TRUE(host.ItemTime(note, "when", read));
  EXPECT_EQ(read, when);
  EXPECT_EQ(host.ItemSetText(note, "", "x"), kErrInvalidArgument);
}

TEST_F(SimItemTest, ScanStopsWithTheCallbacksStatusAndMayCallBackIntoTheHost) {
  for (std::string_view name : {"A", "B", "C"}) ASSERT_EQ(host.ItemSetText(note, name, name), kNoError);
  std::vector<std::string> texts;
  const STATUS status = host.ItemScan(note, [&](const ItemInfo& item) -> STATUS {
    std::string text;
    host.ItemText(note, item.name, text, 256);  // re-entering the host must not deadlock
    texts.push_back(text);
    return item.name == "B" ? kErrBufferTooSmall : kNoError;
  });
  EXPECT_EQ(status, kErrBufferTooSmall);
  EXPECT_EQ(texts, (std::vector<std::string>{"A", "B"}));
}

TEST_F(SimItemTest, TextListEntriesCountsAndCutBuffers) {
  ASSERT_EQ(host.ItemAppend(note, 0, "List", kTypeTextList, EncodeTextList(std::vector<std::string>{"first", "", "third"})),
            kNoError);
  std::string text;
  EXPECT_EQ(host.ItemTextListCount(note, "list"), 3);
  EXPECT_EQ(host.ItemText(note, "List", text, 256), 5);
  EXPECT_EQ(text, "first");
  EXPECT_EQ(host.ItemTextListEntry(note, "List", 2, text, 256), 5);
  EXPECT_EQ(text, "third");
  EXPECT_EQ(host.ItemTextListEntry(note, "List", 3, text, 256), 0);
  EXPECT_EQ(text, "");
  EXPECT_EQ(host.ItemText(note, "List", text, 4), 3);  // bufferSize - 1 bytes
  EXPECT_EQ(text, "fir");
  ASSERT_EQ(host.ItemAsText(note, "List", text, '|', 256), kNoError);
  EXPECT_EQ(text, "first||third");
  ASSERT_EQ(host.ItemAsText(note, "List", text, '|', 8), kNoError);
  EXPECT_EQ(text, "first||");
  EXPECT_EQ(host.ItemAsText(note, "Missing", text, '|', 256), kErrItemNotFound);

  ASSERT_EQ(host.ItemSetText(note, "Plain", "one"), kNoError);
  EXPECT_EQ(host.ItemTextListCount(note, "Plain"), 1);
  EXPECT_EQ(host.ItemTextListCount(note, "Missing"), 0);

  // A list whose lengths run past its value reads as empty, never past the end.
  const std::vector<uint8_t> broken{2, 0, 3, 0, 9, 0, 'a', 'b', 'c'};
  ASSERT_EQ(host.ItemAppend(note, 0, "Broken", kTypeTextList, broken), kNoError);
  EXPECT_EQ(host.ItemTextListCount(note, "Broken"), 0);
  EXPECT_EQ(host.ItemText(note, "Broken", text, 256), 0);
}

TEST_F(SimItemTest, AsTextRendersNumbersAndTimes) {
  ASSERT_EQ(host.ItemSetNumber(note, "N", 1.5), kNoError);
  std::string text;
  ASSERT_EQ(host.ItemAsText(note, "N", text, ';', 256), kNoError);
  EXPECT_EQ(text, "1.5");
  ASSERT_EQ(host.ItemSetTime(note, "T", host.CurrentTime()), kNoError);
  ASSERT_EQ(host.ItemAsText(note, "T", text, ';', 256), kNoError);
  EXPECT_EQ(text, "2024-01-01 00:00:00");
}

TEST_F(SimItemTest, CopyFromAnotherNoteAppendsAnIndependentInstance) {
  NoteHandle source;
  ASSERT_EQ(host.NoteCreate(db, source), kNoError);
  ASSERT_EQ(host.ItemAppend(source, kItemSigned, "$Script_O", kTypeLsObject, Bytes("code")), kNoError);
  ItemInfo info;
  ASSERT_EQ(host.ItemFind(source, "$Script_O", info), kNoError);
  ASSERT_EQ(host.ItemCopy(note, source, info.item), kNoError);
  ASSERT_EQ(host.ItemDelete(source, "$Script_O"), kNoError);
  ItemInfo copied;
  ASSERT_EQ(host.ItemFind(note, "$Script_O", copied), kNoError);
  EXPECT_EQ(Data(copied), "code");
  EXPECT_EQ(copied.flags, kItemSigned);
  EXPECT_EQ(host.ItemCopy(note, source, info.item), kErrItemNotFound);
}

TEST_F(SimItemTest, AttachAndExtractRoundTripTheFileBytes) {
  std::string content("report\0bytes\xff", 13);
  const std::string path = sim.dataDirectory() + "/report.zvk";
  content.push_back('\0');
  { std::ofstream(path, std::ios::binary) << content; }
  ASSERT_EQ(host.AttachFile(note, path, "quilletreport.zvk"), kNoError);
  std::filesystem::remove(path);

  ItemInfo file;
  ASSERT_EQ(host.ItemFind(note, "$FILE", file), kNoError);
  EXPECT_EQ(file.type, kTypeObject);
  ASSERT_EQ(host.ExtractFile(note, file.item, "extracted.id"), kNoError);  // relative: data directory
  std::ifstream in(sim.dataDirectory() + "/extracted.id", std::ios::binary);
  std::stringstream read;
  read << in.rdbuf();
  EXPECT_EQ(read.str(), content);

  ItemInfo text;
  ASSERT_EQ(host.ItemSetText(note, "Text", "x"), kNoError);
  ASSERT_EQ(host.ItemFind(note, "Text", text), kNoError);
  EXPECT_EQ(host.ExtractFile(note, text.item, "x.bin"), kErrAttachmentNotFound);
  EXPECT_EQ(host.AttachFile(note, "no-such-file", "x"), kErrFileNotFound);
  EXPECT_EQ(host.AttachFile(note, "extracted.id", std::string(256, 'n')), kErrInvalidArgument);
  EXPECT_EQ(host.ExtractFile(note, file.item, "missing-dir/x.bin"), kErrFileWriteFailed);
}

}  // namespace
}  // namespace quillet::sim
