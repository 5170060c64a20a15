// Tests of the report reader: round trips and refusal of damaged files.
#include "timing/report_reader.h"

#include <gtest/gtest.h>

#include "timing/report_writer.h"
#include "util/bytes.h"

namespace quillet {
namespace {

int64_t gNow = 0;
int64_t TestCounter() { return gNow += 3; }

std::vector<uint8_t> Write(const CProfileData& data, const std::vector<std::string>& messages = {}) {
  std::vector<uint8_t> out;
  VectorSink sink(out);
  EXPECT_TRUE(WriteReportTo(sink, data, [](const ProcedureInfo&) { return true; }, messages));
  return out;
}

// A small report with every kind of field: two procedures, a root with lines
// and two children, a second open root, two messages.
std::vector<uint8_t> SampleReport() {
  CProfileData data(&TestCounter, 10'000'000);
  ProcedureInfo p;
  p.ProcedureId = 3;
  p.DatabasePath = "apps/a.nsf";
  p.Title = "Agent A";
  p.FullName = "MAIN";
  data.AddProcedure(0x5000, p);
  p.ProcedureId = 4;
  p.FullName = "HELPER";
  data.AddProcedure(0x5000, p);
  data.Enter({0x5000, 3});
  data.Line(1);
  data.Enter({0x5000, 4});
  data.Line(7);
  data.Exit();
  data.Line(2);
  data.Enter({0x5000, 4});
  data.Exit();
  data.Exit();
  data.Enter({0x5000, 3});
  return Write(data, {"first warning", "second"});
}

TEST(ReportReader, RoundTripOfADeepAndWideTree) {
  CProfileData data(&TestCounter, 3'000'000);
  // A recursion 20,000 calls deep, each level also calling two leaves, and
  // one root with 5,000 children.
  constexpr int kDepth = 20000;
  for (int i = 0; i < kDepth; ++i) {
    data.Enter({1, static_cast<uint32_t>(i)});
    data.Line(i % 7);
    data.Enter({2, 1});
    data.Exit();
    data.Enter({2, 2});
    data.Line(3);
    data.Line(1);
    data.Exit();
  }
  for (int i = 0; i < kDepth; ++i) data.Exit();
  data.Enter({3, 0});
  for (int i = 0; i < 5000; ++i) {
    data.Enter({3, static_cast<uint32_t>(i + 1)});
    data.Exit();
  }
  data.Exit();
  const std::vector<uint8_t> bytes = Write(data, {"warning"});

  Report report;
  ReportError error;
  ASSERT_TRUE(ReadReport(bytes, report, error)) << error.Text;
  EXPECT_EQ(report.Frequency, 3'000'000);
  ASSERT_EQ(report.Roots.size(), 2u);
  EXPECT_EQ(report.Calls.size(), static_cast<size_t>(kDepth * 3 + 5001));
  EXPECT_EQ(report.Messages, std::vector<std::string>{"warning"});

  // Walk the recursion and compare with the collected tree.
  const CallRecord* expected = data.FirstRoot();
  uint32_t index = report.Roots[0];
  for (int level = 0; level < kDepth; ++level) {
    const ReportCall& call = report.Calls[index];
    ASSERT_EQ(call.ProcedureId, static_cast<uint32_t>(level));
    ASSERT_EQ(call.IsRoot, level == 0);
    ASSERT_EQ(call.Elapsed, expected->Elapsed);
    ASSERT_EQ(call.Lines.size(), 1u);
    ASSERT_EQ(call.Lines[0].Line, level % 7);
    ASSERT_EQ(call.Lines[0].Total, expected->Lines().Find(level % 7)->Total);
    const size_t kids = level + 1 < kDepth ? 3 : 2;
    ASSERT_EQ(call.Children.size(), kids);
    const ReportCall& leaf = report.Calls[call.Children[1]];
    ASSERT_EQ(leaf.Key, 2u);
    ASSERT_EQ(leaf.Lines.size(), 2u);
    ASSERT_EQ(leaf.Lines[0].Line, 1);
    ASSERT_EQ(leaf.Lines[1].Line, 3);
    if (kids == 3) {
      index = call.Children[2];
      expected = expected->FirstChild->NextSibling->NextSibling;
    }
  }
  const ReportCall& wide = report.Calls[report.Roots[1]];
  ASSERT_EQ(wide.Children.size(), 5000u);
  EXPECT_EQ(report.Calls[wide.Children[4999]].ProcedureId, 5000u);
  EXPECT_FALSE(report.Calls[wide.Children[0]].IsRoot);
}

TEST(ReportReader, SampleFieldsComeBackAsWritten) {
  const std::vector<uint8_t> bytes = SampleReport();
  Report report;
  ReportError error;
  ASSERT_TRUE(ReadReport(bytes, report, error)) << error.Text;
  ASSERT_EQ(report.Procedures.size(), 2u);
  EXPECT_EQ(report.Procedures[1].FullName, "HELPER");
  EXPECT_EQ(report.Procedures[1].Title, "Agent A");
  EXPECT_EQ(report.Procedures[1].DatabasePath, "apps/a.nsf");
  ASSERT_EQ(report.Roots.size(), 2u);
  const ReportCall& first = report.Calls[report.Roots[0]];
  EXPECT_EQ(first.Children.size(), 2u);
  EXPECT_EQ(first.Lines.size(), 2u);
  EXPECT_EQ(report.Calls[report.Roots[1]].Elapsed, 0);  // still open when written
  EXPECT_EQ(report.Messages[1], "second");
}

TEST(ReportReader, EveryTruncationIsRefusedWithItsOffset) {
  const std::vector<uint8_t> bytes = SampleReport();
  for (size_t n = 0; n < bytes.size(); ++n) {
    Report report;
    report.Frequency = -7;
    ReportError error;
    ASSERT_FALSE(ReadReport(std::span(bytes).first(n), report, error)) << "prefix " << n;
    EXPECT_NE(error.Text.find("truncated"), std::string::npos) << error.Text;
    EXPECT_LE(error.Offset, n);
    EXPECT_EQ(report.Frequency, -7);  // untouched
  }
}

struct Damage {
  const char* name;
  size_t offset;     // byte to overwrite
  uint8_t value;
  const char* field;  // expected in the error
};

TEST(ReportReader, MalformedFieldsAreRefusedByName) {
  const std::vector<uint8_t> good = SampleReport();
  // Offsets in the sample: procedure 1 starts at 28 with its path at 36;
  // the first procedure record is 8 + 13 + 28 + 12 (four names) + 7 = 68 long.
  const size_t firstProc = 28;
  const size_t titleAt = firstProc + 8 + 13 + 28 + 3;  // after the path and the item name
  const size_t rootsAt = firstProc + 2 * (8 + 13 + 28 + 3 + 10 + 7 + 4 + 7) + 4;
  ASSERT_EQ(LoadU32(good.data() + 24), 2u);
  ASSERT_EQ(LoadU16(good.data() + titleAt), 8);  // "Agent A"
  ASSERT_EQ(LoadU32(good.data() + rootsAt - 4), 2u);
  const Damage cases[] = {
      {"signature", 3, 'x', "signature"},
      {"version", 12, 3, "format version"},
      {"title without zero byte", titleAt + 2 + 7, 'x', "procedure title"},
      {"title length zero", titleAt, 0, "procedure title"},
      {"root flag 2", rootsAt + 8, 2, "call root flag"},
      {"root flag 0 on a root", rootsAt + 8, 0, "call root flag"},
      {"constant", rootsAt + 17, 9, "call constant"},
      {"line count too big", rootsAt + 24, 0xFF, "call line count"},
      {"lines out of order", rootsAt + 28, 9, "line number"},
  };
  for (const Damage& d : cases) {
    std::vector<uint8_t> bytes = good;
    bytes[d.offset] = d.value;
    Report report;
    ReportError error;
    ASSERT_FALSE(ReadReport(bytes, report, error)) << d.name;
    EXPECT_EQ(error.Field, d.field) << d.name << ": " << error.Text;
    EXPECT_NE(error.Text.find(std::to_string(error.Offset)), std::string::npos) << error.Text;
  }
}

TEST(ReportReader, TrailingBytesAndHugeCountsAreRefused) {
  std::vector<uint8_t> bytes = SampleReport();
  bytes.push_back(0);
  Report report;
  ReportError error;
  EXPECT_FALSE(ReadReport(bytes, report, error));
  EXPECT_EQ(error.Field, "end of report");
  EXPECT_EQ(error.Offset, bytes.size() - 1);

  CProfileData empty(&TestCounter, 1);
  bytes = Write(empty);
  StoreU32(bytes.data() + 24, 0xFFFFFFFF);  // procedures the file cannot hold
  EXPECT_FALSE(ReadReport(bytes, report, error));
  EXPECT_EQ(error.Field, "procedure count");
  EXPECT_EQ(error.Offset, 24u);
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

// The inputs are POSIX paths (a directory, a device without end); the Windows
// build has neither.
#if !defined(_WIN32)
TEST(ReportReaderFile, UnreadableInputsAreRefusedWithTheirReason) {
  Report report;
  report.Frequency = 77;
  ReportError error;
  // A directory opens but cannot be read.
  EXPECT_FALSE(ReadReportFile("/tmp", report, error));
  EXPECT_EQ(error.Field, "file");
  EXPECT_NE(error.Text.find("Is a directory"), std::string::npos) << error.Text;
  EXPECT_FALSE(ReadReportFile("/nonexistent/r.zvk", report, error));
  EXPECT_NE(error.Text.find("No such file"), std::string::npos) << error.Text;
  // An endless input stops at the size limit instead of filling memory.
  EXPECT_FALSE(ReadReportFile("/dev/zero", report, error));
  EXPECT_NE(error.Text.find("larger than a report can be"), std::string::npos) << error.Text;
  EXPECT_EQ(report.Frequency, 77);
}
#endif

}  // namespace
}  // namespace quillet
