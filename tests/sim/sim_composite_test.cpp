// Tests of the simulated host's composite-record enumeration: the three
// header forms, even offsets, and values too short for what they claim.
#include <gtest/gtest.h>

#include <vector>

#include "sim/scoped_sim_host.h"
#include "support/rich_text_builder.h"

namespace quillet::sim {
namespace {

using kit::Bytes;

struct Seen {
  uint16_t signature;
  Bytes record;
  bool operator==(const Seen&) const = default;
};

STATUS Enumerate(SimHost& host, const Bytes& value, std::vector<Seen>& seen) {
  // An exactly sized copy, so a read past it shows under the address sanitizer.
  std::vector<uint8_t> exact(value);
  exact.shrink_to_fit();
  return host.EnumerateCompositeRecords(exact, [&](uint16_t signature, std::span<const uint8_t> record) -> STATUS {
    seen.push_back({signature, Bytes(record.begin(), record.end())});
    return kNoError;
  });
}

TEST(SimComposite, ReadsByteWordAndLongHeadersOnEvenOffsets) {
  ScopedSimHost host;
  const Bytes paragraph = kit::Paragraph();
  const Bytes text = kit::TextRun("Odd");                 // 11 bytes: a pad byte follows
  const Bytes action = kit::LongRecord(0x00B5, {1, 2, 3});  // 9 bytes
  const Bytes odd = kit::ByteRecord(0xB1, {7, 7, 7});
  const Bytes value = kit::CompositeValue(kTypeCompositeData, {paragraph, text, action, odd});
  std::vector<Seen> seen;
  ASSERT_EQ(Enumerate(host.host(), value, seen), kNoError);
  EXPECT_EQ(seen, (std::vector<Seen>{{0x81, paragraph}, {0xFF85, text}, {0x00B5, action}, {0xB1, odd}}));

  Bytes unpaddedEnd = value;
  unpaddedEnd.pop_back();  // the last record's pad byte may be missing
  seen.clear();
  EXPECT_EQ(Enumerate(host.host(), unpaddedEnd, seen), kNoError);
  EXPECT_EQ(seen.size(), 4u);
}

TEST(SimComposite, EveryTruncationFailsCleanlyAfterTheWholeRecords) {
  ScopedSimHost host;
  const Bytes value = kit::CompositeValue(
      kTypeCompositeData, {kit::Paragraph(), kit::TextRun("hello"), kit::LongRecord(0x0042, {1, 2, 3, 4})});
  for (size_t length = 3; length < value.size() - 1; ++length) {
    std::vector<Seen> seen;
    const STATUS status = Enumerate(host.host(), Bytes(value.begin(), value.begin() + length), seen);
    const bool atBoundary = length == 4 || length == 17 || length == 18;  // after a record, with or without its pad
    EXPECT_EQ(status, atBoundary ? kNoError : kErrBadCompositeRecord) << length;
  }
}

TEST(SimComposite, RefusesOtherTypesAndImpossibleLengths) {
  ScopedSimHost host;
  std::vector<Seen> seen;
  EXPECT_EQ(Enumerate(host.host(), kit::CompositeValue(0x0013, {kit::Paragraph()}), seen), kErrBadCompositeRecord);
  Bytes zeroLength = kit::CompositeValue(kTypeCompositeData, {kit::TextRun("x")});
  zeroLength[4] = 0;  // a word length of 0 would never move on
  zeroLength[5] = 0;
  EXPECT_EQ(Enumerate(host.host(), zeroLength, seen), kErrBadCompositeRecord);
  EXPECT_TRUE(seen.empty());
  const Bytes stopped = kit::CompositeValue(kTypeCompositeData, {kit::Paragraph(), kit::Paragraph()});
  int calls = 0;
  EXPECT_EQ(host->EnumerateCompositeRecords(stopped, [&](uint16_t, std::span<const uint8_t>) -> STATUS {
    ++calls;
    return 0x0777;
  }), 0x0777);
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace quillet::sim
