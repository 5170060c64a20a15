// Tests of the code location path: the stack rules of pinned and transient
// entries, matching the top entry, and the rendered line.
#include "design/code_location.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "design/design_messages.h"
#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

class CodeLocationTest : public ::testing::Test {
 protected:
  sim::ScopedSimHost host_;
  CodeLocation path_;
};

constexpr int32_t kRectangle = 20, kAction = 1, kButton = 2, kEvent = 38, kField = 4;
constexpr int32_t kScript = 9, kFormula = 4;

TEST_F(CodeLocationTest, RendersEntriesWithNamesAndTheCodeKind) {
  EXPECT_EQ(path_.Render(), "");
  path_.Replace(kRectangle, "Home");
  path_.SetCodeKind(kScript);
  EXPECT_EQ(path_.Render(), "Rectangle 'Home'\\Script");
  path_.Push(kEvent, "");
  EXPECT_EQ(path_.Render(), "Rectangle 'Home'\\Event") << "a push clears the code kind";
  path_.Pop();
  path_.SetCodeKind(kFormula);
  EXPECT_EQ(path_.Render(), "Rectangle 'Home'\\Formula");
}

TEST_F(CodeLocationTest, CodeKindAloneAndKindsWithoutText) {
  path_.SetCodeKind(kScript);
  EXPECT_EQ(path_.Render(), "Script") << "no separator without an entry";
  path_.SetCodeKind(103);
  EXPECT_EQ(path_.Render(), "Undef: 0001,09a0");
  path_.Push(3, "x");  // an entry kind no record installs
  EXPECT_EQ(path_.Render(), std::string(kUnknownEntryText) + " 'x'");
  path_.Push(500, "");
  EXPECT_EQ(path_.Render(), std::string(kUnknownEntryText) + " 'x'\\" + kUnknownEntryText);
}

TEST_F(CodeLocationTest, NamesAreRenderedUnchangedInsideQuotes) {
  path_.Push(kButton, "Don't press");
  EXPECT_EQ(path_.Render(), "Button 'Don't press'");
}

TEST_F(CodeLocationTest, ReplaceDropsTransientEntriesButKeepsPinnedOnes) {
  path_.Push(kField, "lasting");
  path_.Replace(kAction, "Save");
  path_.Pin();
  path_.Replace(kButton, "");  // the pinned action stays; the button stacks on it
  EXPECT_EQ(path_.depth(), 3u);
  path_.Replace(kEvent, "");
  EXPECT_EQ(path_.Render(), "Unknown object! 'lasting'\\Action 'Save'\\Event");
  path_.SetCodeKind(kScript);
  path_.DropTransient();
  EXPECT_EQ(path_.depth(), 2u) << "the pinned entry stops the drop";
  EXPECT_EQ(path_.codeKind(), 0) << "each removal clears the code kind";
  path_.Unpin();
  path_.DropTransient();
  EXPECT_EQ(path_.depth(), 1u) << "a pushed entry is not transient";
  path_.Pop();
  path_.Pop();
  EXPECT_EQ(path_.depth(), 0u);
}

TEST_F(CodeLocationTest, MatchTopComparesKindAndNameIgnoringCase) {
  EXPECT_EQ(path_.MatchTop(kField, "Subject"), kErrEntryNotFound);
  path_.Push(kField, "Subject");
  EXPECT_EQ(path_.MatchTop(kField, "SUBJECT"), kNoError);
  EXPECT_EQ(path_.MatchTop(kField, "Subjects"), kErrEntryNotFound);
  EXPECT_EQ(path_.MatchTop(kScript, "Subject"), kErrEntryNotFound);
  EXPECT_EQ(MatchTop(nullptr, kField, "anything"), kNoError);
  SetCodeKind(nullptr, kScript);  // ignored
  SetCodeKind(&path_, kScript);
  EXPECT_EQ(path_.codeKind(), kScript);
}

TEST_F(CodeLocationTest, LongPathIsCutAt1023Characters) {
  const std::string name(300, 'n');
  for (int i = 0; i < 4; ++i) path_.Push(kRectangle, name);
  path_.SetCodeKind(kScript);
  const std::string line = path_.Render();
  ASSERT_EQ(line.size(), CodeLocation::kMaxRendered);
  EXPECT_EQ(line.substr(0, 13), "Rectangle 'nn");
  char buffer[CodeLocation::kMaxRendered + 1];
  std::memset(buffer, 'Z', sizeof buffer);
  path_.Render(buffer);
  EXPECT_EQ(std::strlen(buffer), CodeLocation::kMaxRendered);
  EXPECT_EQ(std::string(buffer), line);
}

}  // namespace
}  // namespace quillet
