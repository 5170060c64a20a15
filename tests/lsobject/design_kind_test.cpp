// Tests of the design kind: the first matching "$Flags" letter decides, the
// class decides before the letters, and the names come from the catalogue.
#include "lsobject/design_kind.h"

#include <gtest/gtest.h>

#include "sim/scoped_sim_host.h"
#include "support/design_note_kit.h"

namespace quillet {
namespace {

using namespace design_kind;

struct KindCase {
  uint16_t noteClass;
  const char* flags;
  const char* flagsExt;
  int32_t kind;
};

TEST(DesignKind, FlagLettersInTheirOrder) {
  const KindCase cases[] = {
      {kNoteClassForm, "", "", kForm},
      {kNoteClassForm, "U", "", kSubform},
      {kNoteClassForm, "WU", "", kSubform},  // U is tested before W
      {kNoteClassForm, "W", "", kPage},
      {kNoteClassForm, "#W", "", kFrameset},
      {kNoteClassForm, "@", "", kAppletResource},
      {kNoteClassForm, ":", "", kWiringProperties},
      {kNoteClassForm, "z", "", kDb2AccessView},
      {kNoteClassForm, "gz", "", kFileResource},  // z counts only without g
      {kNoteClassForm, "gK", "", kXPage},
      {kNoteClassForm, "g2K", "", kPropertiesFile},
      {kNoteClassForm, "g`", "", kTheme},
      {kNoteClassForm, "g[", "", kJavaFile},
      {kNoteClassView, "", "", kView},
      {kNoteClassView, "FG", "", kNavigator},
      {kNoteClassView, "F", "", kFolder},
      {kNoteClassView, "^", "", kSharedColumn},
      {kNoteClassFilter, "", "", kV3Macro},
      {kNoteClassFilter, "fs", "", kAgent},
      {kNoteClassFilter, "m", "", kOutline},
      {kNoteClassFilter, "t", "", kDatabaseScript},
      {kNoteClassFilter, "s", "", kScriptLibrary},
      {kNoteClassFilter, "s", "xW", kWebserviceConsumer},
      {kNoteClassFilter, "h", "W", kWebserviceConsumer},
      {kNoteClassFilter, ".", "W", kScriptLibrary},  // W in "$FlagsExt" matters only with s or h
      {kNoteClassFilter, "k", "", kDataConnection},
      {kNoteClassFilter, "Q", "", kDesignNote},
      {kNoteClassFilter, "{", "", kWebService},
      {kNoteClassField, "U", "", kSharedField},  // no letters for other classes
      {kNoteClassInfo, "", "", kHelpAbout},
      {kNoteClassHelp, "", "", kHelpUsing},
      {kNoteClassIcon, "", "", kDatabaseIcon},
      {kNoteClassReplFormula, "", "", kReplicationFormula},
      {kNoteClassDesign | kNoteClassForm, "U", "", kDesignNote},
      {kNoteClassDocument | kNoteClassForm, "U", "", kDocument},
      {kNoteClassAcl, "", "", kDesignNote},
  };
  for (const KindCase& c : cases)
    EXPECT_EQ(DesignKindOf(c.noteClass, "", c.flags, c.flagsExt), c.kind)
        << "class " << c.noteClass << " flags \"" << c.flags << "\" ext \"" << c.flagsExt << "\"";
}

TEST(DesignKind, ProfileDocumentsByTheirName) {
  EXPECT_EQ(DesignKindOf(kNoteClassDocument, "$profile_008settings_CN=Ann", "", ""), kProfileDocument);
  EXPECT_EQ(DesignKindOf(kNoteClassDocument, "$Profile_008settings", "", ""), kDocument);
  EXPECT_EQ(DesignKindOf(kNoteClassDocument, "", "", ""), kDocument);
}

TEST(DesignKind, NamesFromTheCatalogue) {
  EXPECT_EQ(DesignKindName(kSubform), "Subform");
  EXPECT_EQ(DesignKindName(kWebserviceConsumer), "Webservice Consumer");
  EXPECT_EQ(DesignKindName(kNone), "None");
  EXPECT_EQ(DesignKindName(kPropertiesFile), "Properties File");
  for (int32_t kind = kNone; kind <= kLast; ++kind)
    EXPECT_EQ(DesignKindName(kind).rfind("Undef", 0), std::string::npos) << kind;
  EXPECT_EQ(DesignKindName(kLast + 1).rfind("Undef", 0), 0u);
}

class DesignKindOfNote : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(sim_->CreateDatabase("kinds.nsf"), kNoError); }
  int32_t KindOf(const sim::NoteFile& note) {
    kit::OpenedNote opened(sim_.host(), "kinds.nsf", note);
    EXPECT_EQ(opened.status(), kNoError);
    return GetDesignKind(opened.handle());
  }
  sim::ScopedSimHost sim_;
};

TEST_F(DesignKindOfNote, ReadsClassAndFlagItems) {
  EXPECT_EQ(KindOf(kit::DesignNote(kNoteClassForm, "Sub", "U")), kSubform);
  sim::NoteFile consumer = kit::DesignNote(kNoteClassFilter, "Consumer", "s");
  consumer.items.push_back(sim::SimItemSpec::Text("$FlagsExt", "W"));
  EXPECT_EQ(KindOf(consumer), kWebserviceConsumer);
  EXPECT_EQ(KindOf(kit::AgentNote("Agent", "Sub Initialize\nEnd Sub\n")), kAgent);
  EXPECT_EQ(KindOf(kit::DatabaseScriptNote("Sub Postopen(s As Variant)\nEnd Sub\n")), kDatabaseScript);
  sim::NoteFile profile;
  profile.items.push_back(sim::SimItemSpec::Text("$Name", "$profile_004prefs_CN=Ann"));
  EXPECT_EQ(KindOf(profile), kProfileDocument);
}

TEST_F(DesignKindOfNote, OnlyTheFirst31FlagCharactersCount) {
  EXPECT_EQ(KindOf(kit::DesignNote(kNoteClassForm, "Form", std::string(30, 'x') + "U")), kSubform);
  EXPECT_EQ(KindOf(kit::DesignNote(kNoteClassForm, "Form", std::string(31, 'x') + "U")), kForm);
}

}  // namespace
}  // namespace quillet
