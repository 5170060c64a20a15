// Tests of design-note titles: which item gives the title per kind, profile
// names, the cut extension of file-like kinds and the conflict suffix.
#include "instrument/design_title.h"

#include <gtest/gtest.h>

#include "lsobject/design_kind.h"
#include "sim/scoped_sim_host.h"
#include "support/design_note_kit.h"

namespace quillet {
namespace {

class DesignTitle : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(sim_->CreateDatabase("titles.nsf"), kNoError); }
  std::string TitleOf(const sim::NoteFile& note) {
    kit::OpenedNote opened(sim_.host(), "titles.nsf", note);
    EXPECT_EQ(opened.status(), kNoError);
    std::string title = "old";
    GetDesignTitle(opened.handle(), title);
    return title;
  }
  sim::ScopedSimHost sim_;
};

TEST_F(DesignTitle, TitleItemAsOneLine) {
  sim::NoteFile form = kit::DesignNote(kNoteClassForm, "", "");
  form.items[0] = sim::SimItemSpec::TextList("$TITLE", {"Order", "ord"});
  EXPECT_EQ(TitleOf(form), "Order|ord");
  EXPECT_EQ(TitleOf(kit::AgentNote("Nightly", "Sub Initialize\nEnd Sub\n")), "Nightly");
}

TEST_F(DesignTitle, DocumentsUseTheirOwnTitleItem) {
  sim::NoteFile document;
  document.items.push_back(sim::SimItemSpec::Text("$TITLE", "not this"));
  document.items.push_back(sim::SimItemSpec::Text("$KVXTitle", "Memo"));
  EXPECT_EQ(TitleOf(document), "Memo");
}

TEST_F(DesignTitle, ProfileDocumentsShowProfileAndUser) {
  sim::NoteFile profile;
  profile.items.push_back(sim::SimItemSpec::Text("$Name", "$profile_008settings_CN=Ann/O=Org"));
  EXPECT_EQ(TitleOf(profile), "settings - CN=Ann/O=Org");
  EXPECT_EQ(ProfileNameFromName("$profile_005prefs"), "prefs");
  EXPECT_EQ(ProfileNameFromName("$profile_000prefs_x"), "");
  EXPECT_EQ(ProfileNameFromName("$profile_0"), "");
  EXPECT_EQ(ProfileNameFromName("no separator"), "");
  EXPECT_EQ(ProfileNameFromName("$profile_020short"), "short");  // a length past the end takes what is there
}

TEST_F(DesignTitle, IconAndHelpNotesAreNamedByKind) {
  EXPECT_EQ(TitleOf(kit::DesignNote(kNoteClassIcon, "ignored", "")), "Database Icon");
  EXPECT_EQ(TitleOf(kit::DesignNote(kNoteClassInfo, "ignored", "")), "Help About Document");
  EXPECT_EQ(TitleOf(kit::DesignNote(kNoteClassHelp, "ignored", "")), "Help Using Document");
}

TEST_F(DesignTitle, FileLikeKindsLoseTheirExtension) {
  EXPECT_EQ(TitleOf(kit::DesignNote(kNoteClassForm, "home.page.xsp", "gK")), "home.page");
  EXPECT_EQ(TitleOf(kit::DesignNote(kNoteClassForm, "Main.java", "g[")), "Main");
  EXPECT_EQ(TitleOf(kit::DesignNote(kNoteClassForm, "logo.gif", "g")), "logo.gif");  // a file resource keeps it
  EXPECT_EQ(TitleOf(kit::DesignNote(kNoteClassForm, "noext", "g2")), "noext");
}

TEST_F(DesignTitle, ConflictNotesSaySo) {
  sim::NoteFile form = kit::DesignNote(kNoteClassForm, "Order", "");
  form.items.push_back(sim::SimItemSpec::Text("$Conflict", ""));
  EXPECT_EQ(TitleOf(form), "Order (**Save Conflict**)");
}

}  // namespace
}  // namespace quillet
