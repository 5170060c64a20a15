// Runs the built quillet binary in a scratch directory and captures what it
// printed and its exit code.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quillet::testing {

struct ToolResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* root = std::getenv("QUILLET_TEST_TMP");
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::path(root ? root : "/tmp") /
           (std::string("tool_") + info->test_suite_name() + "_" + info->name() + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  static std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }
  static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }

  // Runs `quillet args...`; the environment is the test's own.
  ToolResult Run(const std::vector<std::string>& args) const { return RunAfter("", args); }

  // Runs `quillet args...` started in the folder `dir`, for relative paths.
  ToolResult RunIn(const std::string& dir, const std::vector<std::string>& args) const {
    return RunAfter("cd " + Quote(dir) + " && exec ", args);
  }

  // Runs `quillet args...` with files limited to `blocks` blocks of `ulimit -f`:
  // a write past the limit fails with EFBIG, as on a full disk.
  ToolResult RunWithFileLimit(int blocks, const std::vector<std::string>& args) const {
    return RunAfter("trap '' XFSZ; ulimit -f " + std::to_string(blocks) + "; exec ", args);
  }

 private:
  ToolResult RunAfter(const std::string& shellPrefix, const std::vector<std::string>& args) const {
    std::string command = shellPrefix + Quote(QUILLET_TOOL_PATH);
    for (const std::string& a : args) command += " " + Quote(a);
    const std::string out = File("stdout.txt");
    const std::string err = File("stderr.txt");
    command += " >" + Quote(out) + " 2>" + Quote(err) + " </dev/null";
    const int status = std::system(command.c_str());
    ToolResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    result.out = ReadText(out);
    result.err = ReadText(err);
    return result;
  }

  std::filesystem::path dir_;
};

}  // namespace quillet::testing
