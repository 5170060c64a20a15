// Parsing of controller messages: fields, numbers, command words and limits.
#include "hook/controller_message.h"

#include <gtest/gtest.h>

#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

class ControllerMessageTest : public ::testing::Test {
 protected:
  static ControllerCommand Parse(std::string_view text) {
    return ParseControllerMessage(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  }
  sim::ScopedSimHost sim;  // command words compare through the host
};

TEST(MessageFields, TrailingCommaAddsNoField) {
  using Fields = std::vector<std::string_view>;
  EXPECT_EQ(SplitMessageFields(""), Fields{});
  EXPECT_EQ(SplitMessageFields("A,B,"), (Fields{"A", "B"}));
  EXPECT_EQ(SplitMessageFields("A,,B"), (Fields{"A", "", "B"}));
  EXPECT_EQ(SplitMessageFields("A,,"), (Fields{"A", ""}));
  EXPECT_EQ(SplitMessageFields(","), (Fields{""}));
}

TEST(MessageNumbers, ReadLikeTheRuntime) {
  EXPECT_EQ(ReadDecimal("80"), 80);
  EXPECT_EQ(ReadDecimal(""), 0);
  EXPECT_EQ(ReadDecimal("yes"), 0);
  EXPECT_EQ(ReadDecimal("  -7x"), -7);
  EXPECT_EQ(ReadDecimal("+12"), 12);
  EXPECT_EQ(ReadDecimal("99999999999"), 2147483647);
  EXPECT_EQ(ReadDecimal("-99999999999"), -2147483647 - 1);
}

TEST_F(ControllerMessageTest, EnableReadsItsThreeNumbers) {
  ControllerCommand c = Parse("enable,1,1,80");
  EXPECT_EQ(c.kind, ControllerCommandKind::kEnable);
  EXPECT_TRUE(c.on);
  EXPECT_TRUE(c.clear);
  EXPECT_EQ(c.value, 80);
  c = Parse("ENABLE,2,,65535,");
  EXPECT_EQ(c.kind, ControllerCommandKind::kEnable);
  EXPECT_FALSE(c.on);  // only 1 switches on
  EXPECT_FALSE(c.clear);
  EXPECT_EQ(c.value, 65535);
}

TEST_F(ControllerMessageTest, PathCommandsKeepTheirPath) {
  ControllerCommand c = Parse("SetFilter,apps\\sales.nsf");
  EXPECT_EQ(c.kind, ControllerCommandKind::kSetFilter);
  EXPECT_EQ(c.path, "apps\\sales.nsf");
  c = Parse("FINALIZERUN,C:\\temp\\run.zvk,7");
  EXPECT_EQ(c.kind, ControllerCommandKind::kFinalizeRun);
  EXPECT_EQ(c.path, "C:\\temp\\run.zvk");
}

TEST_F(ControllerMessageTest, WrongFieldCountOrWordIsIgnored) {
  for (std::string_view text : {"SETFILTER,a.nsf,b", "ENABLE,1,1", "FINALIZERUN,x", "ENABLE,a.nsf", "DISABLE,1,1,1",
                                "", ",,,", "SETFILTERX,a.nsf"}) {
    EXPECT_EQ(Parse(text).kind, ControllerCommandKind::kIgnored) << text;
  }
}

TEST_F(ControllerMessageTest, TextEndsAtZeroByteOrAtTheBufferSize) {
  const uint8_t withZero[] = {'S', 'E', 'T', 'F', 'I', 'L', 'T', 'E', 'R', ',', 'a', 0, ',', 'b'};
  const ControllerCommand c = ParseControllerMessage(withZero);
  EXPECT_EQ(c.kind, ControllerCommandKind::kSetFilter);
  EXPECT_EQ(c.path, "a");

  std::string longPath(5000, 'p');
  const ControllerCommand cut = Parse("SETFILTER," + longPath + ",extra");
  EXPECT_EQ(cut.kind, ControllerCommandKind::kSetFilter);  // the third field lies past the limit
  EXPECT_EQ(cut.path.size(), kControllerMessageMax - 10);
}

}  // namespace
}  // namespace quillet
