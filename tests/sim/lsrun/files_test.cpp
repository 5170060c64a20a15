// File statements on real temporary files: what is written (line ends,
// print zones), read back by line and by field, appended, and the runtime
// errors of wrong numbers, modes and missing files; plain and profiled runs
// print the same.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sim/lsrun/corpus_kit.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

class RunFiles : public testing::CorpusFixture {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quillet-files-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                        "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  // `source` with every `mark` replaced by the quoted path of `name` in the
  // test's directory.
  std::string WithPath(std::string source, const std::string& mark, const std::string& name) const {
    const std::string quoted = "\"" + (dir_ / name).string() + "\"";
    for (size_t at = source.find(mark); at != std::string::npos; at = source.find(mark, at + quoted.size())) {
      source.replace(at, mark.size(), quoted);
    }
    return source;
  }
  std::string Contents(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path dir_;
};

TEST_F(RunFiles, WritesAppendsAndReadsBackByLineAndByField) {
  const std::string source = WithPath(
      "Sub Initialize\n"
      "  Dim f As Integer, text As String, n As Integer\n"
      "  f = FreeFile()\n"
      "  Open PATH For Output As #f\n"
      "  Print #f, \"first line\"\n"
      "  Print #f, \"a\"; 1; \"b\", \"zone\"\n"
      "  Print #f, 3.5;\n"
      "  Print #f, \"!\"\n"
      "  Close #f\n"
      "  Open PATH For Append As f\n"
      "  Print #f, \"\"\"quoted, text\"\"\", 42, -7\n"
      "  Close f\n"
      "  Open PATH For Input As #f\n"
      "  Print FreeFile\n"
      "  Do Until EOF(f)\n"
      "    Line Input #f, text\n"
      "    n = n + 1\n"
      "    Print n; \": \"; text\n"
      "  Loop\n"
      "  Close\n"
      "  Dim s As String, a As Long, b As Long\n"
      "  Open PATH For Input As #1\n"
      "  Line Input #1, text : Line Input #1, text : Line Input #1, text\n"
      "  Input #1, s, a, b\n"
      "  Print s; \"|\"; a + b; \"|\"; EOF(1)\n"
      "  Close #1\n"
      "End Sub\n",
      "PATH", "out.txt");
  const std::string printed =
      "2\n"
      "1: first line\n"
      "2: a1b           zone\n"
      "3: 3.5!\n"
      "4: \"quoted, text\"              42            -7\n"
      "quoted, text|35|True\n";
  ExpectOutputPlainAndProfiled({"files", source.c_str(), printed.c_str()});
  EXPECT_EQ(Contents("out.txt"),
            "first line\r\na1b           zone\r\n3.5!\r\n\"quoted, text\"              42            -7\r\n");
}

// Write # joins its items with commas and quotes texts, so that Input #
// reads them back; an empty Write # is an empty line.
TEST_F(RunFiles, WriteQuotesTextsForInputToReadBack) {
  const std::string source = WithPath(
      "Sub Initialize\n"
      "  Dim s As String, n As Long, t As String\n"
      "  Open PATH For Output As #1\n"
      "  Write #1, \"a, b\", 42, 2.5, True\n"
      "  Write #1,\n"
      "  Write #1, \"x\"; -1\n"
      "  Close #1\n"
      "  Open PATH For Input As #1\n"
      "  Line Input #1, t\n"
      "  Print t\n"
      "  Line Input #1, t\n"
      "  Input #1, s, n\n"
      "  Print s & \"|\" & n\n"
      "  Close #1\n"
      "End Sub\n",
      "PATH", "written.txt");
  ExpectOutputPlainAndProfiled({"write", source.c_str(), "\"a, b\",42,2.5,#TRUE#\nx|-1\n"});
  EXPECT_EQ(Contents("written.txt"), "\"a, b\",42,2.5,#TRUE#\r\n\r\n\"x\",-1\r\n");
}

// Input # gives back the Booleans, Null and dates Write # put between #,
// into typed variables and Variants alike.
TEST_F(RunFiles, InputReadsBackWhatWritePutBetweenHashes) {
  const std::string source = WithPath(
      "Sub Initialize\n"
      "  Dim ok As Boolean, d As Variant, v As Variant, b As Variant, t As String\n"
      "  Open PATH For Output As #1\n"
      "  Write #1, True, DateNumber(2026, 12, 31), Null, False, \"#x#\"\n"
      "  Close #1\n"
      "  Open PATH For Input As #1\n"
      "  Input #1, ok, d, v, b, t\n"
      "  Close #1\n"
      "  Print ok; \" \"; TypeName(d); \" \"; Year(d); \" \"; IsNull(v); \" \"; TypeName(b); \" \"; b; \" \"; t\n"
      "End Sub\n",
      "PATH", "hashes.txt");
  ExpectOutputPlainAndProfiled({"hashes", source.c_str(), "True DATE 2026 True BOOLEAN False #x#\n"});
}

// Each mistake raises its runtime error, which On Error traps like any
// other; the file table is as it was after each.
TEST_F(RunFiles, WrongNumbersModesAndMissingFilesAreTrappableErrors) {
  const std::string source = WithPath(WithPath(
      "Sub Try(ByVal what As Integer)\n"
      "  Dim t As String\n"
      "  On Error GoTo failed\n"
      "  Select Case what\n"
      "  Case 1: Open MISSING For Input As #3\n"
      "  Case 2: Print #4, \"x\"\n"
      "  Case 3: Open MISSING For Output As #5\n"
      "  Case 4: Print EOF(9)\n"
      "  Case 5: Line Input #6, t\n"
      "  Case 6: Print #6, \"x\"\n"
      "  Case 7: Line Input #6, t\n"
      "  Case 8: Open PATH For Input As #6\n"
      "  Case 9: Open PATH For Output As #0\n"
      "  End Select\n"
      "  Print what; \" ok \"; t\n"
      "  Exit Sub\n"
      "failed:\n"
      "  Print what; \" error\"; Err\n"
      "  Exit Sub\n"
      "End Sub\n"
      "Sub Initialize\n"
      "  Open PATH For Output As #5\n"
      "  Print #5, \"line\"\n"
      "  Close #5\n"
      "  Open PATH For Input As #6\n"
      "  Dim k As Integer\n"
      "  For k = 1 To 9\n"
      "    Try k\n"
      "  Next\n"
      "  Close\n"
      "End Sub\n",
      "PATH", "in.txt"), "MISSING", "missing/none.txt");
  // Nothing named "missing" exists: neither reading nor writing a file in it
  // can open.
  ExpectOutputPlainAndProfiled({"errors", source.c_str(),
                                "1 error53\n2 error52\n3 error75\n4 error52\n5 ok line\n6 error54\n7 error62\n"
                                "8 error55\n9 error52\n"});
}

// Only sequential text files: the other forms are named as not supported.
TEST(RunFilesCompile, OtherOpenFormsAreNamed) {
  std::vector<uint8_t> image;
  std::vector<CompileError> errors;
  EXPECT_FALSE(CompileLotusScript("Sub S\n  Open \"x\" For Binary As #1\nEnd Sub\n", image, errors));
  ASSERT_FALSE(errors.empty());
  EXPECT_NE(errors[0].message.find("'Open ... For Binary' is not supported"), std::string::npos) << errors[0].message;
  errors.clear();
  EXPECT_FALSE(CompileLotusScript("Sub S\n  Print #f(1), 2\nEnd Sub\n", image, errors));
  ASSERT_FALSE(errors.empty());
  EXPECT_NE(errors[0].message.find("file number must be a number or a variable"), std::string::npos)
      << errors[0].message;
}

}  // namespace
}  // namespace quillet
