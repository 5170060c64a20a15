// Tests of file attributes, delete, the output file, threads and the message box sink.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/temp_dir.h"

namespace quillet::platform {
namespace {

TEST(Files, AttributesAndDelete) {
  TempDir dir;
  TempDir::Write(dir.File("report.zvk"), "x");
  const auto file = GetFileAttributes(dir.File16("report.zvk"));
  ASSERT_TRUE(file.has_value());
  EXPECT_FALSE(file->directory);
  const auto folder = GetFileAttributes(dir.File16(""));
  ASSERT_TRUE(folder.has_value());
  EXPECT_TRUE(folder->directory);
  EXPECT_FALSE(GetFileAttributes(dir.File16("missing")).has_value());

  EXPECT_FALSE(DeleteFile(dir.File16("")));  // directories are refused
  EXPECT_TRUE(DeleteFile(dir.File16("report.zvk")));
  EXPECT_FALSE(GetFileAttributes(dir.File16("report.zvk")).has_value());
  EXPECT_FALSE(DeleteFile(dir.File16("report.zvk")));
}

TEST(Files, OutputFileCreatesTruncatesAndWrites) {
  TempDir dir;
  TempDir::Write(dir.File("out.bin"), "old contents that must go");
  {
    OutputFile out;
    EXPECT_FALSE(out.Write("a", 1));  // not open yet
    ASSERT_TRUE(out.Create(dir.File16("out.bin")));
    EXPECT_TRUE(out.IsOpen());
    const std::vector<char> big(1 << 20, 'z');
    EXPECT_TRUE(out.Write("head", 4));
    EXPECT_TRUE(out.Write(big.data(), big.size()));
    EXPECT_TRUE(out.Write(nullptr, 0));
    EXPECT_TRUE(out.Close());
    EXPECT_FALSE(out.IsOpen());
    EXPECT_FALSE(out.Close());
  }
  const std::string written = TempDir::Read(dir.File("out.bin"));
  ASSERT_EQ(written.size(), 4u + (1 << 20));
  EXPECT_EQ(written.substr(0, 5), "headz");
  {
    OutputFile out;  // closed by the destructor
    ASSERT_TRUE(out.Create(dir.File16("second.bin")));
    ASSERT_TRUE(out.Write("xy", 2));
  }
  EXPECT_EQ(TempDir::Read(dir.File("second.bin")), "xy");
  OutputFile bad;
  EXPECT_FALSE(bad.Create(dir.File16("no/such/folder.bin")));
  EXPECT_FALSE(bad.IsOpen());
}

TEST(Threads, StartedBodyRunsOnAnotherThread) {
  const Handle done = CreateNamedEvent(u"", true, false);
  std::atomic<uint32_t> workerId{0};
  ASSERT_TRUE(StartThread([&] {
    workerId = CurrentThreadId();
    SetEvent(done);
  }));
  ASSERT_EQ(WaitForSingleObject(done, kInfinite), WaitResult::kSignaled);
  EXPECT_NE(workerId, 0u);
  EXPECT_NE(workerId, CurrentThreadId());
  EXPECT_FALSE(StartThread(nullptr));
  CloseHandle(done);
}

TEST(MessageBox, SinkReceivesTextAndCanBeRestored) {
  std::vector<std::string> shown;
  const MessageBoxSink previous =
      SetMessageBoxSink([&](std::string_view title, std::string_view text) {
        shown.push_back(std::string(title) + "|" + std::string(text));
      });
  EXPECT_FALSE(previous);  // the default sink is empty: stderr
  ShowMessageBox("Profiler", "Profiling is on");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Profiler|Profiling is on");
  EXPECT_TRUE(SetMessageBoxSink(nullptr));  // hands back the test's sink
#if !defined(_WIN32)
  // Linux has no desktop: the box is printed. (Windows shows a real one.)
  testing::internal::CaptureStderr();
  ShowMessageBox("T", "to stderr");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("to stderr"), std::string::npos);
  EXPECT_EQ(shown.size(), 1u);
#endif
}

}  // namespace
}  // namespace quillet::platform
