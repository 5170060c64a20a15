// Status words cannot be dropped unseen: a caller that ignores a host status,
// one of the system's 32-bit statuses or a module editor's result does not
// compile (with unused results as errors), and a deliberate discard does.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace quillet {
namespace {

struct Compiled {
  int exitCode = -1;
  std::string diagnostics;
};

// Compiles `body` (inside namespace quillet, after the system's headers) for
// syntax only.
Compiled Compile(const std::string& name, const std::string& body) {
  const char* root = std::getenv("QUILLET_TEST_TMP");
  const std::filesystem::path dir =
      std::filesystem::path(root ? root : "/tmp") / ("status_test_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::filesystem::path source = dir / (name + ".cpp");
  const std::filesystem::path log = dir / (name + ".log");
  std::ofstream(source) << "#include \"config/notes_api.h\"\n"
                           "#include \"lsobject/multi_section.h\"\n"
                           "namespace quillet {\n"
                        << body << "\n}\n";
  const std::string command = "c++ -std=c++20 -fsyntax-only -Werror=unused-result -I" +
                              std::string(QUILLET_SOURCE_DIR) + "/src " + source.string() + " > " + log.string() +
                              " 2>&1";
  Compiled result;
  const int status = std::system(command.c_str());
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(log);
  result.diagnostics.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  std::filesystem::remove_all(dir);
  return result;
}

TEST(StatusWords, DroppingAResultDoesNotCompile) {
  // One call per line, so that each refusal can be found by its line.
  const std::string calls[] = {
      "void F1(NotesApi& notes) { CALL(notes.DbClose(DbHandle{1})); }",      // a host operation
      "STATUS Close(); void F2() { CALL(Close()); }",                         // any host status
      "Status32 Build(); void F3() { CALL(Build()); }",                       // any 32-bit status
      "void F4(CMultiSection& s) { CALL(s.SetData(std::vector<uint8_t>{})); }",  // a section editor
  };
  std::string dropped = "#define CALL(x) x\n";
  std::string kept = "#define CALL(x) static_cast<void>(x)\n";
  for (const std::string& call : calls) {
    dropped += call + "\n";
    kept += call + "\n";
  }
  const Compiled refused = Compile("dropped", dropped);
  EXPECT_NE(refused.exitCode, 0);
  // Three lines of includes and namespace, one of CALL: the calls are on lines 5 to 8.
  for (int line = 5; line < 5 + static_cast<int>(std::size(calls)); ++line) {
    EXPECT_NE(refused.diagnostics.find("dropped.cpp:" + std::to_string(line) + ":"), std::string::npos)
        << "line " << line << " compiled with its result dropped:\n" << refused.diagnostics;
  }
  EXPECT_NE(refused.diagnostics.find("unused-result"), std::string::npos) << refused.diagnostics;
  const Compiled accepted = Compile("kept", kept);
  EXPECT_EQ(accepted.exitCode, 0) << accepted.diagnostics;
}

}  // namespace
}  // namespace quillet
