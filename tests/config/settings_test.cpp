// Tests of the settings store over the simulated host's data directory.
#include "config/settings.h"

#include <gtest/gtest.h>

#include <fstream>

#include "config/notes_api.h"
#include "platform/platform.h"
#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

class Settings : public ::testing::Test {
 protected:
  void CreateEmptyFile() { std::ofstream(SettingsFilePath()).close(); }
  // The key's text exactly as the file holds it.
  std::u16string Stored(std::u16string_view key) {
    return platform::GetPrivateProfileString(u"Profiler", key, u"<absent>", 65535,
                                             platform::Utf8ToUtf16(SettingsFilePath()));
  }
  // Emptied: the host either keeps the variable empty or drops it.
  bool EnvironmentEmptied(std::string_view name) {
    std::string value;
    return !Notes().EnvironmentString(name, value) || value.empty();
  }
  std::string Environment(std::string_view name) {
    std::string value = "<absent>";
    Notes().EnvironmentString(name, value);
    return value;
  }

  sim::ScopedSimHost sim_;
};

TEST_F(Settings, WithoutTheFileNothingIsReadOrMoved) {
  Notes().SetEnvironmentString("ProfileTasks", "AMGR");
  Notes().SetEnvironmentString("FilterBindEvents", "1");
  std::string value = "untouched";
  EXPECT_FALSE(ReadSetting("ProfileTasks", value));
  EXPECT_EQ(value, "untouched");
  EXPECT_EQ(ReadSettingInt("FilterBindEvents"), 0);
  EXPECT_EQ(Environment("ProfileTasks"), "AMGR");
  EXPECT_EQ(Environment("FilterBindEvents"), "1");
  EXPECT_FALSE(platform::GetFileAttributes(platform::Utf8ToUtf16(SettingsFilePath())).has_value());
}

TEST_F(Settings, EnvironmentValueMovesIntoTheFileOnFirstRead) {
  CreateEmptyFile();
  Notes().SetEnvironmentString("ProfileTasks", "AMGR HTTP");
  std::string value;
  ASSERT_TRUE(ReadSetting("ProfileTasks", value));
  EXPECT_EQ(value, "AMGR HTTP");
  EXPECT_EQ(Stored(u"ProfileTasks"), u"AMGR&$20;HTTP");
  EXPECT_TRUE(EnvironmentEmptied("ProfileTasks"));

  value.clear();
  ASSERT_TRUE(ReadSetting("ProfileTasks", value));  // now from the file
  EXPECT_EQ(value, "AMGR HTTP");
}

TEST_F(Settings, IntegerMovesIntoTheFileAndAbsentKeyReadsAbsent) {
  CreateEmptyFile();
  EXPECT_EQ(ReadSettingInt("FilterBindEvents"), kSettingAbsent);
  Notes().SetEnvironmentString("ProfileDebug_EnableServerLogging", "-12");
  EXPECT_EQ(ReadSettingInt("ProfileDebug_EnableServerLogging"), -12);
  EXPECT_EQ(Stored(u"ProfileDebug_EnableServerLogging"), u"-12");
  EXPECT_TRUE(EnvironmentEmptied("ProfileDebug_EnableServerLogging"));
  EXPECT_EQ(ReadSettingInt("ProfileDebug_EnableServerLogging"), -12);
}

TEST_F(Settings, NonNumericIntegerReadsZero) {
  WriteSetting("FilterBindEvents", "yes");
  EXPECT_EQ(ReadSettingInt("FilterBindEvents"), 0);
  WriteSetting("FilterBindEvents", "7 days");
  EXPECT_EQ(ReadSettingInt("FilterBindEvents"), 7);
}

TEST_F(Settings, ValuesRoundTripWithEscapes) {
  const std::string value = "Path=C:\\Data & more;x\xC3\xA9";
  WriteSetting("LogPath", value);
  EXPECT_EQ(Stored(u"LogPath"), u"Path=C:\\Data&$20;&$26;&$20;more;x&$c3;&$a9;");
  std::string read;
  ASSERT_TRUE(ReadSetting("LogPath", read));
  EXPECT_EQ(read, value);
}

// The file's readers drop quotes around a value; stored escaped, the quotes
// of a value are its own.
TEST_F(Settings, QuotedValueKeepsItsQuotes) {
  WriteSetting("ReportPath", "'quoted'");
  EXPECT_EQ(Stored(u"ReportPath"), u"&$27;quoted&$27;");
  std::string read;
  ASSERT_TRUE(ReadSetting("ReportPath", read));
  EXPECT_EQ(read, "'quoted'");
  WriteSetting("LogPath", "\"double\"");
  ASSERT_TRUE(ReadSetting("LogPath", read));
  EXPECT_EQ(read, "\"double\"");
}

TEST_F(Settings, HashFormsAreDecodedAndTranslated) {
  ASSERT_TRUE(platform::WritePrivateProfileString(u"Profiler", u"ReportPath", u"&#41;&$20;&#62;&",
                                                  platform::Utf8ToUtf16(SettingsFilePath())));
  std::string value;
  ASSERT_TRUE(ReadSetting("ReportPath", value));
  EXPECT_EQ(value, "A b&");
}

TEST_F(Settings, EmptyKeyAndNoKeyTextCountAsAbsent) {
  WriteSetting("LogPath", "");
  std::string value = "stale";
  EXPECT_FALSE(ReadSetting("LogPath", value));
  EXPECT_EQ(value, "");

  // The marker text stored as it stands (as a person may write it).
  ASSERT_TRUE(platform::WritePrivateProfileString(u"Profiler", u"ReportPath", u"NoKey",
                                                  platform::Utf8ToUtf16(SettingsFilePath())));
  Notes().SetEnvironmentString("ReportPath", "reports/run.zvk");
  ASSERT_TRUE(ReadSetting("ReportPath", value));
  EXPECT_EQ(value, "reports/run.zvk");
  EXPECT_EQ(Stored(u"ReportPath"), u"reports/run.zvk");
}

// The value "NoKey" spelt like the absence marker: stored escaped, it reads
// back as itself, also after a file whose last line is unterminated.
TEST_F(Settings, ValueSpeltLikeTheAbsenceMarkerReadsBack) {
  {
    std::ofstream out(SettingsFilePath(), std::ios::binary);
    out << "[fileF\x9e";
  }
  WriteSetting("FuzzValue", "NoKey");
  EXPECT_EQ(Stored(u"FuzzValue"), u"&$4e;oKey");
  std::string value;
  ASSERT_TRUE(ReadSetting("FuzzValue", value));
  EXPECT_EQ(value, "NoKey");

  WriteSetting("FuzzValue", "NoKeys");  // only the marker itself is escaped
  EXPECT_EQ(Stored(u"FuzzValue"), u"NoKeys");
  ASSERT_TRUE(ReadSetting("FuzzValue", value));
  EXPECT_EQ(value, "NoKeys");
}

TEST_F(Settings, LongValuesAreCutAtTheLimit) {
  WriteSetting("ProfileTasks", std::string(70000, 'a'));
  std::string value;
  ASSERT_TRUE(ReadSetting("ProfileTasks", value));
  EXPECT_EQ(value, std::string(65534, 'a'));

  WriteSetting("ProfileTasks", std::string(20000, ' '));
  ASSERT_TRUE(ReadSetting("ProfileTasks", value));
  EXPECT_EQ(value, std::string(13106, ' '));  // 13,106 escapes of five characters fit
}

}  // namespace
}  // namespace quillet
