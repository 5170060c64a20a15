// A module's text services are the ones it is handed: an installed host does
// not change a module made without it, and one made with it follows the
// host's translation, refusals included.
#include <gtest/gtest.h>

#include <string>

#include "config/notes_api.h"
#include "lsobject/ls_script_module.h"
#include "lsobject/module_text.h"
#include "sim/scoped_sim_host.h"

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

}  // namespace
}  // namespace quillet
