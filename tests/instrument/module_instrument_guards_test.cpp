// The last checks of a module rewrite, made once the new code is installed:
// a rewrite that leaves a listed procedure undecodable (0x12703), or whose
// added entries would not read back or not be found by the walk that tells a
// rewritten module (0x12707), is refused and the module left as it was. Only
// damaged modules get that far; the ones here are findings of the fuzz
// targets, kept under fuzz/bad-inputs/instrument.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "instrument/instrument_lines.h"
#include "instrument/module_instrument.h"
#include "instrument/timer_class.h"
#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

class ModuleInstrumentGuardTest : public ::testing::Test {
 protected:
  // Parses the module image of a kept finding (after its flag-set byte).
  void LoadFinding(const std::string& name) {
    const std::filesystem::path path =
        std::filesystem::path(QUILLET_SOURCE_DIR) / "fuzz" / "bad-inputs" / "instrument" / name;
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 1u) << path;
    ASSERT_TRUE(module_.Parse(std::span(bytes).subspan(1))) << path;
    module_.ItemInfo().ItemName = "$ScriptLib_O";
    context_.ItemName = "$ScriptLib_O";
    context_.Title = "Lib";
    context_.Flags = instrument_flags::kTimeProcedures | instrument_flags::kTimeLines;
  }

  // Instruments the module and expects `refusal`, the module unchanged, the
  // refusal's message and nothing registered.
  void ExpectRefused(Status32 refusal, const std::string& message) {
    const std::vector<uint8_t> before = module_.Serialize();
    EXPECT_EQ(InstrumentModule(module_, context_, profile_), refusal);
    EXPECT_EQ(module_.Serialize(), before);
    EXPECT_FALSE(IsInstrumentedModule(module_));
    ASSERT_FALSE(profile_.Messages.empty());
    EXPECT_EQ(profile_.Messages.back(), message);
  }

  sim::ScopedSimHost host_;
  CLSScriptModule module_;
  ItemContext context_;
  CLSProfileApp profile_{"nquillet", "", 0};
};

// A listed procedure's code offset that the rewrite does not move with its
// code: afterwards it points into the middle of new code.
TEST_F(ModuleInstrumentGuardTest, ProcedureOffsetLeftBehindRefusesTheModule) {
  LoadFinding("procedure-offset-left-behind");
  ExpectRefused(kErrCouldNotLoadFunction, "Instrument Lines: Could not load function Lib : $ScriptLib_O.");
}

// An entry added for the timer class that the damaged module then lists as
// a procedure without code.
TEST_F(ModuleInstrumentGuardTest, AddedEntryListedAsProcedureRefusesTheModule) {
  LoadFinding("added-entry-listed-as-procedure");
  ExpectRefused(kErrCouldNotLoadFunction, "Instrument Lines: Could not load function Lib : $ScriptLib_O.");
}

// The timer class's entries, linked after a damaged scope's last entry,
// would give a module that Parse refuses. In the first the class is also out
// of the module walk's reach; in the second only the scope hash tables show
// the damage.
TEST_F(ModuleInstrumentGuardTest, AddedEntriesInDamagedChainsRefuseTheModule) {
  LoadFinding("added-entries-into-damaged-chains");
  ExpectRefused(kErrCouldNotCreateClass, "Instrument failed: Could not create class. Module:'$ScriptLib_O'.");
}

TEST_F(ModuleInstrumentGuardTest, AddedEntriesThatWouldNotReadBackRefuseTheModule) {
  LoadFinding("added-entries-that-would-not-read-back");
  ExpectRefused(kErrCouldNotCreateClass, "Instrument failed: Could not create class. Module:'$ScriptLib_O'.");
}

// The timer class linked after the first entry of a damaged scope whose
// first entry's link leads elsewhere: no walk of the module reaches it, so
// read back the module would not be known as rewritten and every open would
// rewrite it again.
TEST_F(ModuleInstrumentGuardTest, TimerClassOutsideTheWalkedChainsRefusesTheModule) {
  LoadFinding("timer-class-outside-the-walked-chains");
  ExpectRefused(kErrCouldNotCreateClass, "Instrument failed: Could not create class. Module:'$ScriptLib_O'.");
}

// The timer class's name appended to a damaged string table behind a
// malformed entry, where the string walk stops: read back, the class has no
// name and the module would be rewritten again at every open.
TEST_F(ModuleInstrumentGuardTest, TimerClassNameBehindADamagedStringRefusesTheModule) {
  LoadFinding("timer-class-name-behind-a-damaged-string");
  ExpectRefused(kErrCouldNotCreateClass, "Instrument failed: Could not create class. Module:'$ScriptLib_O'.");
}

// The same where the table's very first entry is malformed.
TEST_F(ModuleInstrumentGuardTest, TimerClassNameBehindAMalformedFirstStringRefusesTheModule) {
  LoadFinding("timer-class-name-behind-a-malformed-first-string");
  ExpectRefused(kErrCouldNotCreateClass, "Instrument failed: Could not create class. Module:'$ScriptLib_O'.");
}

}  // namespace
}  // namespace quillet
