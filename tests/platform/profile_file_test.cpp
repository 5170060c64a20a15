// Tests of profile (INI) file reading and writing.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/platform.h"
#include "platform/temp_dir.h"

namespace quillet::platform {
namespace {

// Lines the profile API writes end as the platform's text files do.
#if defined(_WIN32)
constexpr char kEol[] = "\r\n";
#else
constexpr char kEol[] = "\n";
#endif

std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + kEol;
  return text;
}

std::u16string Read(const std::u16string& file, std::u16string_view section, std::u16string_view key,
                    size_t bufferSize = 256) {
  return GetPrivateProfileString(section, key, u"NoKey", bufferSize, file);
}

TEST(ProfileRead, MissingFileSectionOrKeyGivesDefault) {
  TempDir dir;
  const std::u16string ini = dir.File16("settings.ini");
  EXPECT_EQ(Read(ini, u"Profiler", u"LogPath"), u"NoKey");
  EXPECT_EQ(GetPrivateProfileInt(u"Profiler", u"Level", -9999, ini), -9999);
  TempDir::Write(dir.File("settings.ini"), "[Other]\nLogPath=x\n[Profiler]\nReportPath=y\n");
  EXPECT_EQ(Read(ini, u"Profiler", u"LogPath"), u"NoKey");  // key only in another section
  EXPECT_EQ(Read(ini, u"Missing", u"ReportPath"), u"NoKey");
  EXPECT_EQ(Read(ini, u"Profiler", u"ReportPath"), u"y");
  // The default's trailing spaces are dropped; the buffer cut applies to it too.
  EXPECT_EQ(GetPrivateProfileString(u"Profiler", u"None", u"ab  ", 10, ini), u"ab");
  EXPECT_EQ(GetPrivateProfileString(u"Profiler", u"None", u"abcdef", 4, ini), u"abc");
}

TEST(ProfileRead, NamesIgnoreCaseAndBlanksValuesAreTrimmedAndUnquoted) {
  TempDir dir;
  TempDir::Write(dir.File("a.ini"),
                 "\xEF\xBB\xBF"  // byte-order mark
                 "; comment = not a key of any section\r\n"
                 "  [ Profiler ]  \r\n"
                 "  LogPath  =  Brindlecot/Log.nsf  \r\n"
                 "Quoted=\"  spaced  \"\r\n"
                 "Single='x'\r\n"
                 "HalfQuote=\"x\r\n"
                 "Eq=a=b\r\n"
                 "\xC3\x89t\xC3\xA9=\xE2\x82\xAC\r\n"  // key with accents, value euro sign
                 "Last=end");                            // no final line break
  const std::u16string ini = dir.File16("a.ini");
  EXPECT_EQ(Read(ini, u"PROFILER", u"logpath"), u"Brindlecot/Log.nsf");
  EXPECT_EQ(Read(ini, u"  profiler ", u" LOGPATH "), u"Brindlecot/Log.nsf");
  EXPECT_EQ(Read(ini, u"Profiler", u"Quoted"), u"  spaced  ");
  EXPECT_EQ(Read(ini, u"Profiler", u"Single"), u"x");
  EXPECT_EQ(Read(ini, u"Profiler", u"HalfQuote"), u"\"x");
  EXPECT_EQ(Read(ini, u"Profiler", u"Eq"), u"a=b");
#if !defined(_WIN32)
  // Linux profile files are UTF-8; Windows reads them in the ANSI code page.
  EXPECT_EQ(Read(ini, u"Profiler", u"\u00C9T\u00C9"), u"\u20AC");
#endif
  EXPECT_EQ(Read(ini, u"Profiler", u"Last"), u"end");
  EXPECT_EQ(Read(ini, u"Profiler", u"Last", 3), u"en");
  EXPECT_EQ(Read(ini, u"Profiler", u"Last", 1), u"");
  EXPECT_EQ(Read(ini, u"Profiler", u"Last", 0), u"");
}

TEST(ProfileRead, BackslashSeparatorsAreAccepted) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("sub"));
  TempDir::Write(dir.File("sub/b.ini"), "[S]\nK=v\n");
  std::u16string ini = dir.File16("sub/b.ini");
  for (char16_t& c : ini) {
    if (c == u'/') c = u'\\';
  }
  EXPECT_EQ(Read(ini, u"S", u"K"), u"v");
}

TEST(ProfileReadInt, ParsesLikeWindows) {
  TempDir dir;
  TempDir::Write(dir.File("n.ini"),
                 "[P]\nA=12abc\nB=abc\nC=-5\nD=  +7\nE=\nF=0x1A\nG=\"42\"\nH=4294967295\nI=- 3\n");
  const std::u16string ini = dir.File16("n.ini");
  EXPECT_EQ(GetPrivateProfileInt(u"P", u"A", -1, ini), 12);
  EXPECT_EQ(GetPrivateProfileInt(u"P", u"B", -1, ini), 0);
  EXPECT_EQ(GetPrivateProfileInt(u"P", u"C", -1, ini), -5);
  EXPECT_EQ(GetPrivateProfileInt(u"P", u"D", -1, ini), 7);
  EXPECT_EQ(GetPrivateProfileInt(u"P", u"E", -1, ini), -1);  // empty value: default
#if !defined(_WIN32)
  EXPECT_EQ(GetPrivateProfileInt(u"P", u"F", -1, ini), 0);   // no hex (Wine's profile API reads 0x1A as 26)
#endif
  EXPECT_EQ(GetPrivateProfileInt(u"P", u"G", -1, ini), 42);
  EXPECT_EQ(GetPrivateProfileInt(u"P", u"H", -1, ini), -1);  // 32-bit wrap
  EXPECT_EQ(GetPrivateProfileInt(u"P", u"I", -1, ini), 0);
  EXPECT_EQ(GetPrivateProfileInt(u"p", u"missing", 99, ini), 99);
}

TEST(ProfileWrite, CreatesFileAndSection) {
  TempDir dir;
  const std::u16string ini = dir.File16("new.ini");
  ASSERT_TRUE(WritePrivateProfileString(u"Profiler", u"LogPath", u"a b", ini));
  EXPECT_EQ(TempDir::Read(dir.File("new.ini")), Lines({"[Profiler]", "LogPath=a b"}));
#if !defined(_WIN32)
  ASSERT_TRUE(WritePrivateProfileString(u"Second", u"K", u"\u20AC", ini));
  EXPECT_EQ(TempDir::Read(dir.File("new.ini")), "[Profiler]\nLogPath=a b\n[Second]\nK=\xE2\x82\xAC\n");
  EXPECT_EQ(Read(ini, u"second", u"k"), u"\u20AC");
#endif
  EXPECT_FALSE(WritePrivateProfileString(u"S", u"K", u"v", dir.File16("no/such/dir.ini")));
}

TEST(ProfileWrite, ReplacesInPlaceAndKeepsOtherLines) {
  TempDir dir;
  const std::string original =
      "; header comment\r\n"
      "[Profiler]\r\n"
      "  logpath = old  \r\n"
      "ReportPath=r\r\n"
      "\r\n"
      "[Other]\r\n"
      "LogPath=keep\r\n";
  TempDir::Write(dir.File("c.ini"), original);
  const std::u16string ini = dir.File16("c.ini");
  ASSERT_TRUE(WritePrivateProfileString(u"PROFILER", u"LogPath", u"new", ini));
  ASSERT_TRUE(WritePrivateProfileString(u"Profiler", u"Tasks", u"AMGR", ini));
  // A new key goes after the section's last non-blank line. Linux keeps the
  // blank line too; the Windows API rewrites the file without it.
#if defined(_WIN32)
  const char* blank = "";
#else
  const char* blank = "\r\n";
#endif
  EXPECT_EQ(TempDir::Read(dir.File("c.ini")),
            std::string("; header comment\r\n[Profiler]\r\nlogpath=new\r\nReportPath=r\r\nTasks=AMGR\r\n") + blank +
                "[Other]\r\nLogPath=keep\r\n");
  EXPECT_EQ(Read(ini, u"Other", u"LogPath"), u"keep");
  EXPECT_EQ(Read(ini, u"Profiler", u"ReportPath"), u"r");
}

TEST(ProfileWrite, AppendsToUnterminatedLastSection) {
  TempDir dir;
  TempDir::Write(dir.File("d.ini"), "[S]\nA=1");
  const std::u16string ini = dir.File16("d.ini");
  ASSERT_TRUE(WritePrivateProfileString(u"S", u"B", u"2", ini));
  EXPECT_EQ(TempDir::Read(dir.File("d.ini")), Lines({"[S]", "A=1", "B=2"}));
  ASSERT_TRUE(WritePrivateProfileString(u"T", u"C", u"3", dir.File16("e.ini")));
  TempDir::Write(dir.File("f.ini"), "[S]");
  ASSERT_TRUE(WritePrivateProfileString(u"s", u"K", u"v", dir.File16("f.ini")));
  EXPECT_EQ(TempDir::Read(dir.File("f.ini")), Lines({"[S]", "K=v"}));
}

TEST(ProfileWrite, RefusesTextThatWouldBreakTheLineStructure) {
  TempDir dir;
  const std::u16string ini = dir.File16("g.ini");
  ASSERT_TRUE(WritePrivateProfileString(u"S", u"K", u"v", ini));
  EXPECT_FALSE(WritePrivateProfileString(u"S", u"K", u"two\nlines", ini));
  EXPECT_FALSE(WritePrivateProfileString(u"S", u"A=B", u"v", ini));
  EXPECT_FALSE(WritePrivateProfileString(u"S]x", u"K", u"v", ini));
  EXPECT_FALSE(WritePrivateProfileString(u"S", u"  ", u"v", ini));
  EXPECT_FALSE(WritePrivateProfileString(u"S", std::u16string_view(u"K\0x", 3), u"v", ini));
  EXPECT_EQ(TempDir::Read(dir.File("g.ini")), Lines({"[S]", "K=v"}));
  // Nothing but the file itself is left behind by the atomic rewrites.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("")),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(ProfileWrite, ReadersNeverSeeAHalfWrittenFileAndWritersLoseNothing) {
  TempDir dir;
  const std::u16string ini = dir.File16("busy.ini");
  ASSERT_TRUE(WritePrivateProfileString(u"S", u"Stable", u"yes", ini));
  std::atomic<bool> stop{false};
  std::atomic<int> misses{0};
  std::thread reader([&] {
    while (!stop) {
      if (Read(ini, u"S", u"Stable") != u"yes") ++misses;
    }
  });
  auto writer = [&](char16_t prefix) {
    for (int i = 0; i < 25; ++i) {
      const std::u16string key = std::u16string(1, prefix) + Utf8ToUtf16(std::to_string(i));
      ASSERT_TRUE(WritePrivateProfileString(u"S", key, key, ini));
    }
  };
  std::thread a(writer, u'a'), b(writer, u'b');
  a.join();
  b.join();
  stop = true;
  reader.join();
  EXPECT_EQ(misses, 0);
  for (char16_t prefix : {u'a', u'b'}) {
    for (int i = 0; i < 25; ++i) {
      const std::u16string key = std::u16string(1, prefix) + Utf8ToUtf16(std::to_string(i));
      EXPECT_EQ(Read(ini, u"S", key), key);
    }
  }
}

}  // namespace
}  // namespace quillet::platform
