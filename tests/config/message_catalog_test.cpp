// Tests of the merged message catalogue. No host is installed here, so the
// texts come back as the tables hold them (UTF-8).
#include "config/message_catalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "design/design_messages.h"

namespace quillet {
namespace {

TEST(MessageCatalog, FlagBitsAreIgnoredOnLookUp) {
  char text[200];
  ASSERT_EQ(GetMessageText(76801 | 0x4000, text, sizeof text), kNoError);
  EXPECT_STREQ(text, "Error opening configuration file %s");
  ASSERT_EQ(GetMessageText(0x12C02 | 0xC000, text, sizeof text), kNoError);
  EXPECT_STREQ(text, "Error opening log file %s");
}

TEST(MessageCatalog, HoldsTheTablesOfEverySubsystem) {
  EXPECT_EQ(MessageText(0x12C03),
            "You cannot save design elements while Profiler is running.\n"
            "Please shut down Profiler before making design changes.");
  EXPECT_EQ(MessageText(0x10B14), "The database design is hidden");
  EXPECT_EQ(MessageText(kErrStringNotFound), "Error: String not found");
  EXPECT_EQ(MessageText(kErrEntryNotFound), "Entry not found");
  EXPECT_EQ(MessageText(0x12706), "Instrument failed: Hotspot > 64k: (%d) %s.");
  EXPECT_EQ(MessageText(0x1095F + 37), "Webservice Consumer");
  EXPECT_EQ(MessageText(0x1095F + 0), "None");
  EXPECT_EQ(MessageText(0x1084E), "(**Save Conflict**)");
  EXPECT_EQ(MessageText(0x10855), "Formula stack overflow");
  EXPECT_EQ(MessageText(kErrRecordExceeds64K), "Record exceeds 64K");
  EXPECT_EQ(MessageText(EntryKindMessage(20)), "Rectangle");
  EXPECT_EQ(MessageText(EntryKindMessage(97)), "Outline Entry");
  EXPECT_EQ(MessageText(CodeKindMessage(9)), "Script");
  EXPECT_EQ(MessageText(CodeKindMessage(38)), "Codebase");
  EXPECT_EQ(MessageText(CodeKindMessage(120)), "Source");
}

TEST(MessageCatalog, KindCodesNeverMeetEachOther) {
  // Every entry kind, code kind and design kind has a code of its own.
  std::vector<Status32> codes;
  for (int k = 0; k < kEntryKindCount; ++k) codes.push_back(EntryKindMessage(k));
  for (int k = 1; k <= kCodeKindCount; ++k) codes.push_back(CodeKindMessage(k));
  for (int k = 0; k <= 44; ++k) codes.push_back(0x1095F + k);
  std::sort(codes.begin(), codes.end());
  EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end()), codes.end());
  EXPECT_EQ(CodeKindMessage(0), 0u);
  EXPECT_EQ(CodeKindMessage(175), 0u);
}

TEST(MessageCatalog, UnknownCodeGivesUndefText) {
  char text[64];
  EXPECT_EQ(GetMessageText(0x109A0, text, sizeof text), kErrStringNotFound);  // code kind 103 has no text
  EXPECT_STREQ(text, "Undef: 0001,09a0");
  EXPECT_EQ(GetMessageText(0x2C123 | 0xC000, text, sizeof text), kErrStringNotFound);
  EXPECT_STREQ(text, "Undef: 0002,0123");
  EXPECT_EQ(MessageText(CodeKindMessage(104)), "Undef: 0001,09a1");
}

TEST(MessageCatalog, TextIsCutToTheBufferAndTerminated) {
  char text[8];
  std::memset(text, 'x', sizeof text);
  ASSERT_EQ(GetMessageText(0x10877, text, 6), kNoError);
  EXPECT_STREQ(text, "Error");
  EXPECT_EQ(text[6], 'x');  // nothing written past the size given
  EXPECT_EQ(GetMessageText(0x10877, nullptr, 0), kNoError);
}

const MessageEntry kLateTable[] = {{0x3F001, "late"}, {0x10877, "must not replace"}, {0, nullptr}};

TEST(MessageCatalog, TablesRegisteredLaterAreMergedAndFirstTextWins) {
  LoadMessageCatalog();
  RegisterMessageTable(kLateTable);
  LoadMessageCatalog();  // idempotent
  EXPECT_EQ(MessageText(0x3F001), "late");
  EXPECT_EQ(MessageText(0x10877), "Error: String not found");
}

TEST(MessageCatalog, HostStatusWithoutHostHasNoText) {
  char text[16] = "stale";
  EXPECT_EQ(GetMessageText(0x0222, text, sizeof text), kErrStringNotFound);
  EXPECT_STREQ(text, "");
}

}  // namespace
}  // namespace quillet
