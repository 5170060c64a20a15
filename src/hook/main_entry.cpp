// MainEntryPoint and Term: the process role, the application object, the
// hook vector and the server's start-up message.
#include <memory>
#include <string>

#include "config/host_text.h"
#include "config/message_catalog.h"
#include "config/notes_api.h"
#include "hook/file_version.h"
#include "hook/hooks.h"
#include "hook/process_role.h"
#include "hook/quillet_app.h"
#include "hook/quillet_svr.h"
#include "platform/platform.h"

namespace quillet {
namespace {

bool IsAbsolutePath(std::string_view path) {
  return (!path.empty() && (path[0] == '/' || path[0] == '\\')) || (path.size() > 1 && path[1] == ':');
}

// "(%s) - Profiler Server Hook started. (QUILLET %s)", then what became of
// the configuration database path.
void WriteStartupMessage(const CQuilletSvr& server) {
  NotesApi& notes = Notes();
  const std::string base = ToHostText(ExecutableBaseName(platform::ExecutablePath()));
  notes.ConsoleLine("(" + base + ") - Profiler Server Hook started. (QUILLET " + kEditionText + ")");

  const std::string& configured = server.ConfigPath();
  if (configured.empty()) {
    notes.ConsoleLine("**WARNING** No Configuration file set.");
    return;
  }
  // An absolute path is checked where it points, as the configuration
  // database is opened there.
  const std::string full = IsAbsolutePath(configured) ? configured : notes.DataDirectory() + "/" + configured;
  const auto attributes = platform::GetFileAttributes(platform::Utf8ToUtf16(full));
  if (!attributes || attributes->directory) {
    notes.ConsoleLine("Profiler Server Hook: Configuration File: '" + configured + "' is invalid");
  } else {
    notes.ConsoleLine("Profiler Server Hook: Using Configuration File: " + configured);
  }
}

void StartServer(HookVector& vector) {
  auto* server = new CQuilletSvr();
  gProfilerApp = server;
  vector.noteOpen = &HookNoteOpen_Server;
  vector.dbStampNotes = &HookDbStampNotes;
  vector.term = &Term;
  WriteStartupMessage(*server);
}

void StartClient(HookVector& vector) {
  auto client = std::make_unique<CQuilletApp>(kClientInstrumentFlags);
  // A second client process finds the queue taken and stays unhooked. Its
  // object is released here: the host never calls Term for it.
  if (client->OpenMessageQueue() != kNoError) return;
  client->PushProfile();
  vector.noteOpen = &HookNoteOpen_Client;
  vector.noteUpdate = &HookNoteUpdate;
  vector.dbStampNotes = &HookDbStampNotes;
  vector.term = &Term;
  gProfilerApp = client.release();
}

void Start(HookVector& vector) {
  vector.term = nullptr;
  vector.noteOpen = nullptr;
  vector.noteUpdate = nullptr;
  vector.dbStampNotes = nullptr;
  // Without a usable host API nothing can be decided or reported: the library
  // stays unhooked and touches nothing else.
  if (InstalledNotes() == nullptr) return;

  const std::string processName = ProcessName(platform::ExecutablePath());
  LoadMessageCatalog();

  if (Notes().EnvironmentInt(kKitTypeVariable) == kServerKit) {
    if (IsWatchedServerTask(processName, WatchedTasks(), platform::CommandLine())) StartServer(vector);
    return;
  }
  if (HostCompare(processName, kClientProcessName, kCompareNoCase) == 0) {
    StartClient(vector);
  } else if (HostCompare(processName, kAuxiliaryProcessName, kCompareNoCase) == 0) {
    vector.dbStampNotes = &HookDbStampNotes;
  }
}

}  // namespace

HookStatus QUILLET_HOOKAPI MainEntryPoint(HookVector* vector) noexcept {
  if (vector == nullptr) return kNoError;
  try {
    Start(*vector);
  } catch (...) {
    // Whatever was not finished stays unhooked; the host goes on.
  }
  return kNoError;
}

HookStatus QUILLET_HOOKAPI Term(HookVector*) noexcept {
  // Timer calls may still be running on script threads: the object is
  // deleted once the last of them has let go of it.
  delete gProfilerApp.Take();
  return kNoError;
}

}  // namespace quillet
