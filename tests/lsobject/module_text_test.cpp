// A module's text services are the ones it is handed: an installed host does
// not change a module made without it, and one made with it follows the
// host's translation, refusals included.
#include <gtest/gtest.h>

#include <string>

#include "config/notes_api.h"
#include "lsobject/ls_script_module.h"
#include "lsobject/module_text.h"
#include "sim/scoped_sim_host.h"
#include "util/bytes.h"

namespace quillet {
namespace {

TEST(ModuleText, AModuleMadeWithoutAHostIgnoresTheInstalledOne) {
  sim::ScopedSimHost host;
  CLSScriptModule module;
  host->FailNext("Translate", kErrInvalidArgument);
  // The plain services never ask the host, so its refusal is not seen.
  EXPECT_EQ(module.StringTable().Text().ToHost(u"Caf\u00E9"), "Caf\xC3\xA9");
  EXPECT_EQ(&module.StringTable().Text(), &PlainModuleText());
  // The refusal is still waiting for the first caller that does ask.
  std::vector<uint8_t> out;
  EXPECT_EQ(host->Translate(kTranslateUtf8ToHost, std::span<const uint8_t>(), out), kErrInvalidArgument);
}

TEST(ModuleText, AModuleHandedTheHostsServicesUsesThem) {
  sim::ScopedSimHost host;
  const NotesModuleText text(host.host());
  CLSScriptModule module(text);
  EXPECT_EQ(&module.StringTable().Text(), &text);
  EXPECT_EQ(module.StringTable().Text().ToHost(u"Caf\u00E9"), "Caf\xC3\xA9");
  // The simulated host folds Latin-1 capitals, the plain services only ASCII.
  EXPECT_EQ(text.Compare("caf\xC3\xA9", "CAF\xC3\x89", kCompareNoCase), 0);
  EXPECT_NE(PlainModuleText().Compare("caf\xC3\xA9", "CAF\xC3\x89", kCompareNoCase), 0);
  // A text the host refuses reads as empty.
  host->FailNext("Translate", kErrInvalidArgument);
  EXPECT_EQ(text.ToHost(u"Caf\u00E9"), "");
  EXPECT_EQ(text.ToHost(u"Caf\u00E9"), "Caf\xC3\xA9");
}

// Mixed texts: printable ASCII, its edges, control characters, Latin-1, a
// surrogate pair and an unpaired surrogate.
const std::u16string kLoneSurrogate = std::u16string(u"lone") + char16_t{0xD800};
const std::u16string kMixed[] = {u"CKVXTimerManager", u" ~",           u"",           u"tab\there",
                                 u"\u001F",           u"del\u007F",    u"Caf\u00E9",   u"x\U0001F600y",
                                 kLoneSurrogate,      u"dwNoteID_hi"};

TEST(ModuleText, PrintableAsciiConvertsAsTheHostWouldConvertIt) {
  sim::ScopedSimHost host;
  const NotesModuleText text(host.host());
  for (const std::u16string& units : kMixed) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(host->Translate(kTranslateUnicodeToHost, Utf16LeBytes(units), bytes), kNoError);
    const std::string hostText(bytes.begin(), bytes.end());
    EXPECT_EQ(text.ToHost(units), hostText);
    ASSERT_EQ(host->Translate(kTranslateHostToUnicode,
                              std::span(reinterpret_cast<const uint8_t*>(hostText.data()), hostText.size()), bytes),
              kNoError);
    EXPECT_EQ(text.ToUnicode(hostText), LoadUtf16Le(bytes.data(), bytes.size() / 2));
    // Where the units are said to come back unchanged, they do.
    if (text.KeepsUnits(units)) {
      EXPECT_EQ(text.ToUnicode(text.ToHost(units)), units);
    }
    if (PlainModuleText().KeepsUnits(units)) {
      EXPECT_EQ(PlainModuleText().ToUnicode(PlainModuleText().ToHost(units)), units);
    }
  }
  EXPECT_TRUE(text.KeepsUnits(u"Initialize"));
  EXPECT_FALSE(text.KeepsUnits(u"Caf\u00E9"));
  EXPECT_FALSE(text.KeepsUnits(u"tab\there"));
}

TEST(ModuleText, PrintableAsciiNeedsNoHostCall) {
  sim::ScopedSimHost host;
  const NotesModuleText text(host.host());
  host->FailNext("Translate", kErrInvalidArgument);
  EXPECT_EQ(text.ToHost(u"Initialize"), "Initialize");
  EXPECT_EQ(text.ToUnicode("Terminate"), u"Terminate");
  // The refusal waits for the first text the host must translate.
  EXPECT_EQ(text.ToUnicode("caf\xC3\xA9"), u"");
  EXPECT_EQ(text.ToUnicode("caf\xC3\xA9"), u"caf\u00E9");
}

}  // namespace
}  // namespace quillet
