// Profiling the way the library does it in the Notes client: a simulated
// client with the library started in it, a database of design elements, a
// controlling application that switches profiling on through the queue, the
// elements opened through the note-open hook (which rewrites their code) and
// run, design saves tried through the note-update hook, and the report
// written by "FINALIZERUN".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/client/design_notes.h"
#include "sim/lsrun/runner.h"

namespace quillet::tool {

// The database a single module is profiled in, as a script library.
inline constexpr const char* kProfiledDatabase = "quillet/profiled.nsf";
// Time every procedure and every line.
inline constexpr int32_t kDefaultProfileFlags = 0x0003;

// What the user does in the client, in order.
struct ClientStep {
  enum class Action { kRun, kSave };
  Action action = Action::kRun;
  sim::DesignKind kind = sim::DesignKind::kForm;
  std::string title;
  std::string entry;  // kRun: as RunOptions::entry
  uint32_t maxSeconds = RunOptions{}.maxSeconds;          // kRun: as RunOptions
  size_t maxStringLength = RunOptions{}.maxStringLength;  // kRun: as RunOptions
};

struct ClientSessionSpec {
  std::string database = kProfiledDatabase;
  std::vector<sim::DesignSpec> elements;
  std::vector<ClientStep> steps;
  int32_t flags = kDefaultProfileFlags;  // the "ENABLE" value
  std::string reportPath;                // where "FINALIZERUN" writes the report
};

struct ClientStepResult {
  uint32_t status = 0;     // opening or saving; 0 when done
  bool runOk = false;      // kRun: every module of the element ran
  std::string output;      // kRun: what the element printed
  std::string error;       // kRun: why the run failed
  std::string messageBox;  // kSave: the text of the box the refusal showed
};

struct ClientSessionResult {
  bool reportWritten = false;
  std::vector<ClientStepResult> steps;  // one per step performed
  std::string error;                    // why the session itself failed
};

// Never throws. The steps are performed while profiling is on; the report
// is written whenever the session got that far, whatever the steps did.
ClientSessionResult ProfileClientSession(const ClientSessionSpec& spec) noexcept;

struct ProfileRunOptions {
  std::string entry;       // as RunOptions::entry
  uint32_t maxSeconds = RunOptions{}.maxSeconds;          // as RunOptions
  size_t maxStringLength = RunOptions{}.maxStringLength;  // as RunOptions
  int32_t flags = kDefaultProfileFlags;  // the "ENABLE" value
  std::string reportPath;  // where "FINALIZERUN" writes the report
  std::string title;       // the module's title in the report
};

struct ProfileRunResult {
  bool reportWritten = false;
  bool runOk = false;
  std::string output;  // what the module printed
  std::string error;   // why the session or the run failed
};

// The module as a script library of kProfiledDatabase, opened and run in
// one client session. Never throws.
ProfileRunResult ProfileModule(std::span<const uint8_t> image, const ProfileRunOptions& options) noexcept;

}  // namespace quillet::tool
