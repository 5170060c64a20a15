// One client profiling session over the simulated host.
#include "tools/quillet/profile_session.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string_view>

#include "config/settings.h"
#include "instrument/module_instrument.h"
#include "lsobject/ls_script_module.h"
#include "platform/platform.h"
#include "sim/client/client_session.h"
#include "sim/client/controller.h"
#include "sim/scoped_sim_host.h"
#include "tools/quillet/module_source.h"

namespace quillet::tool {
namespace {

// Long enough for the poll thread, which looks every 100 ms.
constexpr uint32_t kSwitchWaitMs = 5000;

std::string StatusText(uint32_t status) {
  char text[48];
  std::snprintf(text, sizeof text, "status 0x%X", static_cast<unsigned>(status));
  return text;
}

// Keeps the message boxes the library shows during the session.
class BoxCapture {
 public:
  BoxCapture()
      : previous_(platform::SetMessageBoxSink([this](std::string_view, std::string_view text) { last_ = text; })) {}
  ~BoxCapture() { platform::SetMessageBoxSink(previous_); }
  BoxCapture(const BoxCapture&) = delete;
  BoxCapture& operator=(const BoxCapture&) = delete;
  std::string Take() { return std::exchange(last_, {}); }

 private:
  std::string last_;
  platform::MessageBoxSink previous_;
};

ClientStepResult Perform(sim::ClientSession& session, DbHandle db, const ClientStep& step, BoxCapture& boxes) {
  ClientStepResult result;
  NoteHandle note;
  if (STATUS status = session.OpenDesign(db, sim::DesignNoteClass(step.kind), step.title, note); status != kNoError) {
    result.status = status;
    return result;
  }
  if (step.action == ClientStep::Action::kRun) {
    RunOptions run;
    run.entry = step.entry;
    run.maxSeconds = step.maxSeconds;
    run.maxStringLength = step.maxStringLength;
    const RunResult ran = session.RunNote(note, run);
    result.runOk = ran.ok;
    result.output = ran.output;
    result.error = ran.error;
  } else {
    result.status = session.SaveNote(note, 0);
    result.messageBox = boxes.Take();
  }
  static_cast<void>(session.CloseNote(note));
  return result;
}

ClientSessionResult Session(const ClientSessionSpec& spec) {
  ClientSessionResult result;
  sim::ScopedSimHost sim;
  WriteSetting("ProfileDebug_EnableServerLogging", "0");  // a settings file of our own
  if (STATUS status = sim->CreateDatabase(spec.database); status != kNoError) {
    result.error = "the database " + spec.database + " could not be made (" + StatusText(status) + ")";
    return result;
  }
  for (const sim::DesignSpec& element : spec.elements) {
    NoteId id = 0;
    if (STATUS status = sim::CreateDesignNote(sim.host(), spec.database, element, id); status != kNoError) {
      result.error = "the design element " + element.title + " could not be stored (" + StatusText(status) + ")";
      return result;
    }
  }
  sim::ClientSession session(sim.host());
  if (!session.Start()) {
    result.error = "the library did not start as a Notes client";
    return result;
  }
  sim::Controller controller(sim.host());
  if (controller.Enable(true, true, spec.flags) != kNoError || controller.SetFilter(spec.database) != kNoError) {
    result.error = "the controller messages could not be sent";
    return result;
  }
  DbHandle db;
  if (STATUS status = session.OpenDatabase(spec.database, db); status != kNoError) {
    result.error = "the database could not be opened (" + StatusText(status) + ")";
    return result;
  }
  BoxCapture boxes;
  for (const ClientStep& step : spec.steps) result.steps.push_back(Perform(session, db, step, boxes));
  static_cast<void>(session.CloseDatabase(db));

  const std::string report = std::filesystem::absolute(spec.reportPath).string();
  std::error_code ignored;
  // So that a report found afterwards is this one; a folder is never removed.
  if (!std::filesystem::is_directory(report, ignored)) std::filesystem::remove(report, ignored);
  // The first open performed "ENABLE", which started the poll thread that
  // performs this.
  if (controller.FinalizeRun(report) != kNoError) {
    result.error = "the run was not finalized";
    return result;
  }
  if (!sim::Controller::WaitRunning(false, kSwitchWaitMs)) {
    result.error = "profiling did not switch off";
    return result;
  }
  result.reportWritten = std::filesystem::exists(report);
  if (!result.reportWritten) result.error = "the report could not be written to " + spec.reportPath;
  return result;
}

}  // namespace

ClientSessionResult ProfileClientSession(const ClientSessionSpec& spec) noexcept {
  try {
    return Session(spec);
  } catch (const std::exception& e) {
    ClientSessionResult failed;
    failed.error = e.what();
    return failed;
  } catch (...) {
    ClientSessionResult failed;
    failed.error = "unexpected failure";
    return failed;
  }
}

ProfileRunResult ProfileModule(std::span<const uint8_t> image, const ProfileRunOptions& options) noexcept {
  ProfileRunResult result;
  try {
    // Refused before the session: the client would run a damaged module's
    // code unrewritten, and only register a rewritten one again.
    CLSScriptModule module;
    ParseError refusal;
    if (!module.Parse(image, refusal)) {
      result.error = ModuleRefusal("", image, refusal.Text);
      return result;
    }
    if (IsInstrumentedModule(module)) {
      result.error = "the module is instrumented already";
      return result;
    }
    ClientSessionSpec spec;
    spec.elements.push_back({sim::DesignKind::kLibrary, options.title, {sim::Image(image.begin(), image.end())}});
    spec.steps.push_back({ClientStep::Action::kRun, sim::DesignKind::kLibrary, options.title, options.entry,
                          options.maxSeconds, options.maxStringLength});
    spec.flags = options.flags;
    spec.reportPath = options.reportPath;
    const ClientSessionResult session = ProfileClientSession(spec);
    result.reportWritten = session.reportWritten;
    result.error = session.error;
    if (!session.steps.empty()) {
      const ClientStepResult& step = session.steps.front();
      result.runOk = step.runOk;
      result.output = step.output;
      if (step.status != 0) {
        result.error = "the module could not be opened (" + StatusText(step.status) + ")";
      } else if (!step.runOk && result.error.empty()) {
        result.error = step.error;
      }
    }
  } catch (...) {
    result.error = "unexpected failure";
  }
  return result;
}

}  // namespace quillet::tool
