// Tests of the report's byte layout, written to memory.
#include "timing/report_writer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "timing/report_format.h"
#include "util/bytes.h"

namespace quillet {
namespace {

int64_t gNow = 0;
int64_t TestCounter() { return gNow++; }

const ProcedureFilter kAll = [](const ProcedureInfo&) { return true; };

std::vector<uint8_t> Write(const CProfileData& data, const ProcedureFilter& include = kAll,
                           const std::vector<std::string>& messages = {}) {
  std::vector<uint8_t> out;
  VectorSink sink(out);
  EXPECT_TRUE(WriteReportTo(sink, data, include, messages));
  return out;
}

TEST(ReportWriter, EmptyReportIsHeaderAndThreeZeroCounts) {
  CProfileData data(&TestCounter, 0x0102030405060708);
  const std::vector<uint8_t> out = Write(data);
  const std::vector<uint8_t> expected = {
      'Z', 'V', 'K', 'R', 'e', 'p', 'o', 'r', 't', ';', ')', 0,  // signature
      2, 0, 0, 0,                                                // version
      8, 7, 6, 5, 4, 3, 2, 1,                                    // frequency
      0, 0, 0, 0,                                                // procedures
      0, 0, 0, 0,                                                // roots
      0, 0, 0, 0};                                               // messages
  EXPECT_EQ(out, expected);
  EXPECT_EQ(out.size(), report::kEmptyReportSize);
}

TEST(ReportWriter, RootCallWithoutLinesOrChildrenTakes29Bytes) {
  CProfileData data(&TestCounter, 1);
  gNow = 0x1000;
  data.Enter({0xAABBCCDD, 0x0123});
  gNow = 0x1234;
  data.Exit();
  const std::vector<uint8_t> out = Write(data);
  ASSERT_EQ(out.size(), report::kEmptyReportSize + report::kCallRecordFixedSize);
  const std::vector<uint8_t> call(out.begin() + 32, out.end() - 4);
  const std::vector<uint8_t> expected = {
      0xDD, 0xCC, 0xBB, 0xAA,  // module key
      0x23, 0x01, 0, 0,        // procedure handle
      1,                       // root
      0x34, 0x02, 0, 0, 0, 0, 0, 0,  // elapsed 0x234
      1, 0, 0, 0,              // constant 1
      0, 0, 0, 0,              // no lines
      0, 0, 0, 0};             // no children
  EXPECT_EQ(call, expected);
  EXPECT_EQ(LoadU32(out.data() + 28), 1u);  // one root
}

TEST(ReportWriter, ProcedureRecordWritesEmptyTitleAsOneZeroByteAndEndsReserved) {
  CProfileData data(&TestCounter, 1);
  ProcedureInfo p;
  p.ProcedureId = 0x42;
  p.DatabasePath = "a.nsf";
  for (int i = 0; i < 8; ++i) p.DatabaseId[i] = static_cast<uint8_t>(0x10 + i);
  p.NoteId = 0x2A;
  p.HotspotCount = -1;
  p.SymbolFlags = 0x8001;
  p.ItemName = "$Script";
  p.FullName = "CLS::RUN";
  p.ModuleDisplayName = "Agent";
  data.AddProcedure(0x77, p);
  const std::vector<uint8_t> out = Write(data);
  ByteReader r(out);
  ASSERT_TRUE(r.Seek(24));
  uint32_t v = 0;
  ASSERT_TRUE(r.ReadU32(v));
  EXPECT_EQ(v, 1u);  // P
  ASSERT_TRUE(r.ReadU32(v));
  EXPECT_EQ(v, 0x77u);
  ASSERT_TRUE(r.ReadU32(v));
  EXPECT_EQ(v, 0x42u);
  const size_t pathAt = r.pos();
  EXPECT_EQ(LoadU16(out.data() + pathAt), 6);  // "a.nsf" and its zero byte
  EXPECT_EQ(out[pathAt + 2 + 5], 0);
  const size_t idAt = pathAt + 8;
  EXPECT_EQ(out[idAt], 0x10);
  EXPECT_EQ(LoadU32(out.data() + idAt + 8), 0x2Au);
  EXPECT_EQ(LoadU32(out.data() + idAt + 12), 0xFFFFFFFFu);
  EXPECT_EQ(LoadU32(out.data() + idAt + 24), 0x8001u);
  const size_t itemAt = idAt + 28;
  EXPECT_EQ(LoadU16(out.data() + itemAt), 8);
  const size_t titleAt = itemAt + 10;
  const std::vector<uint8_t> title(out.begin() + titleAt, out.begin() + titleAt + 3);
  EXPECT_EQ(title, (std::vector<uint8_t>{0x01, 0x00, 0x00}));
  const size_t fullAt = titleAt + 3;
  EXPECT_EQ(std::memcmp(out.data() + fullAt + 2, "CLS::RUN", 9), 0);
  const size_t reservedAt = fullAt + 11 + 8;  // after full name and "Agent"
  const std::vector<uint8_t> reserved(out.begin() + reservedAt, out.begin() + reservedAt + 7);
  EXPECT_EQ(reserved, (std::vector<uint8_t>{0, 0, 0, 0, 0x01, 0x00, 0x00}));
  EXPECT_EQ(out.size(), reservedAt + 7 + 8);  // then zero roots and zero messages
}

TEST(ReportWriter, FilteredProcedureIsLeftOutWhileItsCallsStay) {
  CProfileData data(&TestCounter, 1);
  ProcedureInfo kept, dropped;
  kept.ProcedureId = 1;
  kept.DatabasePath = "watched.nsf";
  dropped.ProcedureId = 2;
  dropped.DatabasePath = "other.nsf";
  data.AddProcedure(5, kept);
  data.AddProcedure(5, dropped);
  data.Enter({5, 2});
  data.Exit();
  const std::vector<uint8_t> out =
      Write(data, [](const ProcedureInfo& p) { return p.DatabasePath == "watched.nsf"; });
  EXPECT_EQ(LoadU32(out.data() + 24), 1u);
  // One record: 8 + "watched.nsf" (14) + 28 fixed + four empty names (12) + 7 reserved.
  const size_t rootsAt = 28 + 8 + 14 + 28 + 12 + 7;
  ASSERT_GE(out.size(), rootsAt + 4 + 8);
  EXPECT_EQ(LoadU32(out.data() + rootsAt), 1u);
  EXPECT_EQ(LoadU32(out.data() + rootsAt + 8), 2u);  // the call of the left-out procedure
}

TEST(ReportWriter, MessagesEndTheFileAsCountedTextWithoutZeroByte) {
  CProfileData data(&TestCounter, 1);
  const std::string warning = "Instrument Lines: Jump too big: Initialize.";
  const std::vector<uint8_t> out = Write(data, kAll, {"", warning});
  ASSERT_EQ(out.size(), 32 + 4 + 4 + 4 + warning.size());
  EXPECT_EQ(LoadU32(out.data() + 32), 2u);
  EXPECT_EQ(LoadU32(out.data() + 36), 0u);
  EXPECT_EQ(LoadU32(out.data() + 40), warning.size());
  EXPECT_EQ(std::string(out.end() - static_cast<ptrdiff_t>(warning.size()), out.end()), warning);
}

TEST(ReportWriter, OverlongTextIsCutSoItsCountStillFits) {
  CProfileData data(&TestCounter, 1);
  ProcedureInfo p;
  p.DatabasePath.assign(70000, 'x');
  data.AddProcedure(1, p);
  const std::vector<uint8_t> out = Write(data);
  EXPECT_EQ(LoadU16(out.data() + 36), 0xFFFF);
  EXPECT_EQ(out[38 + 0xFFFE], 0);
}

class FailingSink : public ReportSink {
 public:
  explicit FailingSink(size_t failAt) : failAt_(failAt) {}
  bool Write(std::span<const uint8_t>) override { return ++calls_ < failAt_; }
  size_t calls_ = 0;

 private:
  size_t failAt_;
};

TEST(ReportWriter, RefusedBlockIsReportedAndNothingMoreIsSent) {
  CProfileData data(&TestCounter, 1);
  for (int i = 0; i < 100000; ++i) {  // several blocks' worth
    data.Enter({1, 1});
    data.Exit();
  }
  FailingSink first(1);
  EXPECT_FALSE(WriteReportTo(first, data, kAll, {}));
  EXPECT_EQ(first.calls_, 1u);
  FailingSink second(2);
  EXPECT_FALSE(WriteReportTo(second, data, kAll, {}));
  EXPECT_EQ(second.calls_, 2u);
}

}  // namespace
}  // namespace quillet
