// Message queues of the simulated host: creation rules, scan with removal
// (1131), stopping statuses and the buffer limit.
#include <gtest/gtest.h>

#include "sim/scoped_sim_host.h"

namespace quillet::sim {
namespace {

constexpr std::string_view kQueue = "MQ$BCPROFILER_Q";

std::span<const uint8_t> Span(std::string_view text) {
  return std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}
std::string Text(std::span<const uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }

class SimQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(host.QueueCreate(kQueue, 0), kNoError);
    ASSERT_EQ(host.QueueOpen(kQueue, queue), kNoError);
  }
  ScopedSimHost sim;
  SimHost& host = sim.host();
  QueueHandle queue;
};

TEST_F(SimQueueTest, CreateFailsWhenTheQueueExistsAndOpenWhenItDoesNot) {
  EXPECT_EQ(host.QueueCreate(kQueue, 0), kErrQueueExists);
  QueueHandle other;
  EXPECT_EQ(host.QueueOpen("MQ$OTHER", other), kErrQueueNotFound);
  EXPECT_FALSE(other.valid());
  ASSERT_EQ(host.QueueClose(queue), kNoError);
  EXPECT_EQ(host.QueueClose(queue), kErrInvalidHandle);
  // The last handle closed: the queue is gone and may be created again.
  EXPECT_EQ(host.QueueCreate(kQueue, 0), kNoError);
}

TEST_F(SimQueueTest, ScanRemovesMessagesAnswered1131AndKeepsTheOthersInOrder) {
  for (std::string_view message : {"ENABLE,1", "NOISE", "SETFILTER,db.nsf"}) {
    ASSERT_EQ(host.QueuePut(queue, Span(message)), kNoError);
  }
  std::vector<std::string> seen;
  ASSERT_EQ(host.QueueScan(queue, 4095, [&](std::span<const uint8_t> message) -> STATUS {
    seen.push_back(Text(message));
    return seen.back() == "NOISE" ? kNoError : kErrRemoveMessage;
  }), kNoError);
  EXPECT_EQ(seen, (std::vector<std::string>{"ENABLE,1", "NOISE", "SETFILTER,db.nsf"}));
  EXPECT_EQ(host.WaitingMessages(kQueue), 1u);

  seen.clear();
  ASSERT_EQ(host.QueueScan(queue, 4095, [&](std::span<const uint8_t> message) -> STATUS {
    seen.push_back(Text(message));
    return kErrRemoveMessage | 0x4000;  // flag bits do not change the meaning
  }), kNoError);
  EXPECT_EQ(seen, (std::vector<std::string>{"NOISE"}));
  EXPECT_EQ(host.WaitingMessages(kQueue), 0u);
}

TEST_F(SimQueueTest, AnyOtherNonZeroResultStopsTheScanAndIsReturned) {
  for (std::string_view message : {"a", "b", "c"}) ASSERT_EQ(host.QueuePut(queue, Span(message)), kNoError);
  int calls = 0;
  EXPECT_EQ(host.QueueScan(queue, 4095, [&](std::span<const uint8_t>) -> STATUS {
    return ++calls == 2 ? kErrInvalidArgument : kErrRemoveMessage;
  }), kErrInvalidArgument);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(host.WaitingMessages(kQueue), 2u);  // "a" removed; "b" stopped the scan and stays
}

TEST_F(SimQueueTest, CallbackMayPutAndTheNewMessageWaitsForTheNextScan) {
  ASSERT_EQ(host.QueuePut(queue, Span("first")), kNoError);
  int calls = 0;
  ASSERT_EQ(host.QueueScan(queue, 4095, [&](std::span<const uint8_t>) -> STATUS {
    ++calls;
    EXPECT_EQ(host.QueuePut(queue, Span("later")), kNoError);
    return kErrRemoveMessage;
  }), kNoError);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(host.WaitingMessages(kQueue), 1u);
}

TEST_F(SimQueueTest, MessagesAreCutToTheBufferAndQuotaIsEnforced) {
  ASSERT_EQ(host.QueuePut(queue, Span("0123456789")), kNoError);
  std::string seen;
  ASSERT_EQ(host.QueueScan(queue, 4, [&](std::span<const uint8_t> message) -> STATUS {
    seen = Text(message);
    return kErrRemoveMessage;
  }), kNoError);
  EXPECT_EQ(seen, "0123");

  ASSERT_EQ(host.QueueCreate("MQ$SMALL", 1), kNoError);
  QueueHandle small;
  ASSERT_EQ(host.QueueOpen("MQ$SMALL", small), kNoError);
  ASSERT_EQ(host.QueuePut(small, Span("one")), kNoError);
  EXPECT_EQ(host.QueuePut(small, Span("two")), kErrQueueFull);
}

}  // namespace
}  // namespace quillet::sim
