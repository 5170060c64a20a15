// One client profiling session over the simulated host.
#include "tools/quillet/profile_session.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <string_view>
#include <thread>

#include "config/settings.h"
#include "hook/controller_message.h"
#include "hook/hooks.h"
#include "hook/quillet_app.h"
#include "instrument/item_context.h"
#include "instrument/module_instrument.h"
#include "lsobject/ls_script_module.h"
#include "platform/platform.h"
#include "sim/lsrun/errors.h"
#include "sim/lsrun/runner.h"
#include "sim/scoped_sim_host.h"

namespace quillet::tool {
namespace {

// The poll thread may take a message before we do; wait for its effect.
bool WaitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 500; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

bool Send(sim::ScopedSimHost& sim, std::string_view text) {
  QueueHandle queue;
  if (sim->QueueOpen(kControllerQueueName, queue) != kNoError) return false;
  const bool put =
      sim->QueuePut(queue, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())) == kNoError;
  const bool closed = sim->QueueClose(queue) == kNoError;
  if (put && gProfilerApp != nullptr) gProfilerApp->PollMessages();
  return put && closed;
}

// The 16-bit words the timer entries take, as the exported functions read
// their 32-bit argument slots.
uint32_t Word(const lsrun::Value& v) { return static_cast<uint16_t>(v.n()); }
int32_t Signed(const lsrun::Value& v) { return static_cast<int16_t>(v.n()); }

// Routes the rewritten module's declarations of the timer entries to the
// library's entry points in this process.
void AddTimerEntries(RunOptions& run) {
  run.timerEntries = false;
  run.natives.Register(std::string(kModuleName), "KVXFunctionTimer",
                       [](std::span<const lsrun::Value> a, lsrun::Value&) {
                         if (a.size() != 6) return lsrun::err::kErrorInLoadingDll;
                         KVXFunctionTimer(Word(a[0]), Word(a[1]), Word(a[2]), Word(a[3]), Word(a[4]), Signed(a[5]));
                         return 0;
                       });
  run.natives.Register(std::string(kModuleName), "KVXLineTimer", [](std::span<const lsrun::Value> a, lsrun::Value&) {
    if (a.size() != 7) return lsrun::err::kErrorInLoadingDll;
    KVXLineTimer(Word(a[0]), Word(a[1]), Word(a[2]), Word(a[3]), Word(a[4]), Signed(a[5]), Signed(a[6]));
    return 0;
  });
}

// Rewrites the module into the current profile context; empty on failure.
std::vector<uint8_t> Instrument(std::span<const uint8_t> image, const ProfileRunOptions& options, NotesApi& host,
                                std::string& error) {
  const NotesModuleText text(host);
  CLSScriptModule module(text);
  ParseError refusal;
  if (!module.Parse(image, refusal)) {
    error = "not a compiled LotusScript module, or a damaged one (" + refusal.Text + ")";
    return {};
  }
  if (IsInstrumentedModule(module)) {
    error = "the module is instrumented already";
    return {};
  }
  platform::LockHolder hold(gProfilerApp->Lock());
  ProfileRef profile = gProfilerApp->CurrentProfile();
  if (!profile) {
    error = "profiling did not switch on";
    return {};
  }
  ItemContext context;
  context.DatabasePath = kProfiledDatabase;
  context.Flags = profile->ContextFlags | kClientInstrumentFlags;
  context.NoteId = 0x0000'2106;
  context.ItemName = "$ScriptLib_O";
  context.Title = options.title;
  context.DisplayName = options.title;
  module.ItemInfo().ItemName = context.ItemName;
  module.ItemInfo().Title = context.Title;
  module.ItemInfo().NoteId = context.NoteId;
  const Status32 status = InstrumentModule(module, context, *profile);
  if (status != 0) {
    char text[64];
    std::snprintf(text, sizeof text, "the module could not be instrumented (status 0x%X)",
                  static_cast<unsigned>(status));
    error = text;
    return {};
  }
  return module.Serialize();
}

ProfileRunResult Session(std::span<const uint8_t> image, const ProfileRunOptions& options) {
  ProfileRunResult result;
  sim::ScopedSimHost sim;
  WriteSetting("ProfileDebug_EnableServerLogging", "0");  // a settings file of our own
  sim->SetProcessIdentity(u"C:\\Notes\\nlnotes.exe", u"nlnotes.exe");
  sim->SetEnvironmentString("KitType", "1");
  int hostModule = 0;
  int hostInit = 0;
  HookVector vector{&hostModule, &hostInit, nullptr, nullptr, nullptr, nullptr};
  (void)MainEntryPoint(&vector);
  struct Stop {
    HookVector* vector;
    ~Stop() { (void)Term(vector); }
  } stop{&vector};
  if (gProfilerApp == nullptr) {
    result.error = "the library did not start as a Notes client";
    return result;
  }

  const std::string database = kProfiledDatabase;
  if (!Send(sim, "ENABLE,1,1," + std::to_string(options.flags)) || !WaitFor([] { return gProfilerApp->IsEnabled(); }) ||
      !Send(sim, "SETFILTER," + database) || !WaitFor([&] {
        platform::LockHolder hold(gProfilerApp->Lock());
        ProfileRef p = gProfilerApp->CurrentProfile();
        return p && p->IsWatchedDatabase(database);
      })) {
    result.error = "the controller messages were not performed";
    return result;
  }

  const std::vector<uint8_t> rewritten = Instrument(image, options, sim.host(), result.error);
  if (rewritten.empty()) return result;

  RunOptions run;
  run.entry = options.entry;
  AddTimerEntries(run);
  const RunResult ran = RunModule(rewritten, run);
  result.output = ran.output;
  result.runOk = ran.ok;
  if (!ran.ok) result.error = ran.error;

  const std::string report = std::filesystem::absolute(options.reportPath).string();
  std::error_code ignored;
  std::filesystem::remove(report, ignored);  // so that a report found afterwards is this one
  if (!Send(sim, "FINALIZERUN," + report + ",0") || !WaitFor([] { return !gProfilerApp->IsEnabled(); })) {
    if (result.error.empty()) result.error = "the run was not finalized";
    return result;
  }
  result.reportWritten = std::filesystem::exists(report);
  if (!result.reportWritten && result.error.empty()) result.error = "the report could not be written to " + report;
  return result;
}

}  // namespace

ProfileRunResult ProfileModule(std::span<const uint8_t> image, const ProfileRunOptions& options) noexcept {
  try {
    return Session(image, options);
  } catch (const std::exception& e) {
    ProfileRunResult failed;
    failed.error = e.what();
    return failed;
  } catch (...) {
    ProfileRunResult failed;
    failed.error = "unexpected failure";
    return failed;
  }
}

}  // namespace quillet::tool
