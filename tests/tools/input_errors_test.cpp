// Every command refuses an input it cannot read with one line on stderr that
// names the file once and says why, exit code 1 and nothing on stdout.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "tools/tool_run.h"

namespace quillet {
namespace {

class InputErrorsTest : public testing::ToolTest {
 protected:
  static size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
  }

  // `quillet command <input> rest...` for an input that cannot be read.
  void ExpectRefused(const std::string& command, const std::string& input, const std::vector<std::string>& rest,
                     const std::string& reason) {
    std::vector<std::string> args = {command, input};
    args.insert(args.end(), rest.begin(), rest.end());
    const testing::ToolResult r = Run(args);
    EXPECT_EQ(r.exitCode, 1) << command << " " << input << ": " << r.err;
    EXPECT_EQ(r.out, "") << command;
    EXPECT_EQ(r.err.rfind("quillet " + command + ": ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(Count(r.err, input), 1u) << command << ": " << r.err;
    EXPECT_NE(r.err.find(reason), std::string::npos) << command << ": " << r.err;
  }
};

TEST_F(InputErrorsTest, MissingFilesAndFoldersAreNamedOnceWithTheReason) {
  std::filesystem::create_directories(File("folder.zvk"));
  const struct {
    const char* command;
    std::vector<std::string> rest;
  } commands[] = {
      {"report", {}},
      {"dump", {}},
      {"roundtrip", {File("out.lso")}},
      {"compile", {"-o", File("out.lso")}},
      {"instrument", {File("out.lso")}},
      {"instrument-note", {File("out.qnote")}},
      {"run", {}},
      {"note-items", {}},
      {"client", {"--report", File("out.zvk")}},
      {"server", {"--out", File("out")}},
  };
  for (const auto& c : commands) {
    ExpectRefused(c.command, File("missing.zvk"), c.rest, "No such file or directory");
    ExpectRefused(c.command, File("folder.zvk"), c.rest, "Is a directory");
  }
  ExpectRefused("diff", File("missing.zvk"), {File("missing.zvk")}, "No such file or directory");
  for (const char* out : {"out.lso", "out.qnote", "out.zvk", "out"}) EXPECT_FALSE(std::filesystem::exists(File(out)));
}

// A report path that cannot be written is refused before anything runs,
// named as typed with the reason, and nothing is left behind.
TEST_F(InputErrorsTest, AReportPathThatCannotBeWrittenIsRefusedAsTyped) {
  const std::string examples = std::string(QUILLET_SOURCE_DIR) + "/examples/";
  std::filesystem::create_directories(File("folder.zvk"));
  WriteText(File("plain.txt"), "x");
  std::vector<std::pair<std::string, std::string>> paths = {
      {"nodir/r.zvk", "No such file or directory"},
      {"folder.zvk", "Is a directory"},
      {"plain.txt/r.zvk", "Not a directory"},
  };
  if (::geteuid() != 0) {  // the superuser may write anywhere
    std::filesystem::create_directories(File("locked"));
    std::filesystem::permissions(File("locked"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    paths.emplace_back("locked/r.zvk", "Permission denied");
  }
  for (const auto& [path, reason] : paths) {
    for (const auto& args :
         {std::vector<std::string>{"run", examples + "slow_loop.lss", "--profile", "--report", path},
          std::vector<std::string>{"client", examples + "client/orders.session", "--report", path}}) {
      const testing::ToolResult r = RunIn(File(""), args);
      EXPECT_EQ(r.exitCode, 1) << args[0] << " " << path;
      EXPECT_EQ(r.out, "") << args[0] << " " << path;
      EXPECT_EQ(r.err, "quillet " + args[0] + ": " + path + ": " + reason + "\n");
    }
  }
  EXPECT_TRUE(std::filesystem::is_directory(File("folder.zvk")));
  EXPECT_TRUE(std::filesystem::is_empty(File("folder.zvk")));
  EXPECT_FALSE(std::filesystem::exists(File("nodir")));
  EXPECT_EQ(ReadText(File("plain.txt")), "x");
}

TEST_F(InputErrorsTest, AMissingSourceOfADescriptionIsNamedOnce) {
  WriteText(File("s.server"), "agent A gone.lss\n");
  WriteText(File("s.session"), "agent A gone.lss\n");
  for (const auto& args : {std::vector<std::string>{"server", File("s.server"), "--out", File("out")},
                           std::vector<std::string>{"client", File("s.session"), "--report", File("out.zvk")}}) {
    const testing::ToolResult r = Run(args);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.err, "quillet " + args[0] + ": " + File("gone.lss") + ": No such file or directory\n");
  }
}

// Bytes of a wrong or binary input are quoted by value: a message must not
// send raw control characters (an escape sequence) to the terminal.
TEST_F(InputErrorsTest, QuotedInputBytesNeverReachTheTerminalRaw) {
  const auto noControlBytes = [](const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
      const auto byte = static_cast<unsigned char>(c);
      return c != '\n' && (byte < 0x20 || byte == 0x7F);
    });
  };
  WriteText(File("bad.lss"), "Sub Initialize\n  Print \x1B[2J\x01\nEnd Sub\n");
  testing::ToolResult r = Run({"compile", File("bad.lss"), "-o", File("bad.lso")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(":2:9: unexpected character byte 0x1B\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(":2:13: unexpected character byte 0x01\n"), std::string::npos) << r.err;
  EXPECT_TRUE(noControlBytes(r.err)) << r.err;

  // A binary file as source: its first error exactly, then a count, not a flood.
  std::string binary = "\x01";
  uint32_t seed = 7;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 1103515245u + 12345u;
    binary += static_cast<char>(seed >> 24);
  }
  WriteText(File("binary.lss"), binary);
  r = Run({"compile", File("binary.lss"), "-o", File("binary.lso")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err.rfind(File("binary.lss") + ":1:1: unexpected character byte 0x01\n", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 21) << r.err;
  EXPECT_NE(r.err.find("\nquillet compile: " + File("binary.lss") + ": 100 or more errors (80 not shown)\n"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(noControlBytes(r.err)) << r.err;

  WriteText(File("bad.session"), "\x1B[2Jform Order Order.lss\n");
  WriteText(File("bad.server"), "agent\x7F A a.lss\n");
  for (const auto& args : {std::vector<std::string>{"client", File("bad.session")},
                           std::vector<std::string>{"server", File("bad.server"), "--out", File("out")}}) {
    r = Run(args);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("line 1: unknown word \""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\\x"), std::string::npos) << r.err;
    EXPECT_TRUE(noControlBytes(r.err)) << r.err;
  }
}

}  // namespace
}  // namespace quillet
