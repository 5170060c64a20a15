// The temporary switch of the server process to a configuration document's
// signer ID, and the switch back. The extracted ID file is owner-only and is
// never left behind; its password appears in no line.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <utility>

#include "config/notes_services.h"
#include "config/olm_handle.h"
#include "config/quillet_config.h"
#include "platform/platform.h"
#include "platform/private_file.h"

namespace quillet {
namespace {

inline constexpr STATUS kErrNoKeyFile = 6402;  // 0x1902: the environment names no key file
inline constexpr int kTemporaryNameTries = 8;

// A process-unique file name in the data directory: the thread, the time and
// a counter make it unique here, the exclusive creation everywhere.
std::string TemporaryIdPath(int attempt) {
  static std::atomic<uint32_t> sequence{0};
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  char name[96];
  std::snprintf(name, sizeof name, "~qid%08X%08X%04X%02X.tmp", platform::CurrentThreadId(),
                static_cast<uint32_t>(now), sequence.fetch_add(1) & 0xFFFF, attempt & 0xFF);
  return Notes().DataDirectory() + "/" + name;
}

// Creates the owner-only temporary file; empty when no name could be taken.
std::u16string CreateTemporaryIdFile() {
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    std::u16string path = platform::Utf8ToUtf16(TemporaryIdPath(attempt));
    if (platform::CreatePrivateFile(path)) return path;
  }
  return {};
}

bool IsAbsoluteFilePath(std::string_view path) {
  if (!path.empty() && (path[0] == '/' || path[0] == '\\')) return true;
  return path.size() >= 2 && path[1] == ':';
}

// Deletes the temporary file unless it was handed on.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::u16string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) (void)platform::DeleteFile(path_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::u16string& path() const { return path_; }
  std::u16string Keep() { return std::exchange(path_, std::u16string()); }

 private:
  std::u16string path_;
};

}  // namespace

Status32 CQuilletConfig::SwitchToSignerId(std::string_view databasePath, uint32_t agentId, SignerSwitch& done) {
  done = SignerSwitch{};
  // The agent's own document: an agent of another database may have the
  // same note ID, and its ID file must not sign this one.
  auto found = ConfigEntries_.begin();
  while (found != ConfigEntries_.end() && &found->second != FindEntry(databasePath, agentId)) ++found;
  if (found == ConfigEntries_.end()) return kNoError;

  NotesApi& notes = Notes();
  Status32 status = kNoError;
  DbHandle db;
  if (STATUS opened = notes.DbOpen(ConfigPath_, db); opened != kNoError) {
    status = opened;
  } else {
    COlmDbHandle database(db);
    NoteHandle note;
    if (STATUS noteOpened = notes.NoteOpen(db, found->first, 0, note); noteOpened != kNoError) {
      status = noteOpened;
    } else {
      status = ExtractAndSwitch(note, found->second, done);
      (void)notes.NoteClose(note);
    }
  }
  if (status != kNoError) ReportOpenError(status);
  return status;
}

Status32 CQuilletConfig::ExtractAndSwitch(NoteHandle note, const ConfigEntry& entry, SignerSwitch& done) {
  NotesApi& notes = Notes();
  ItemInfo attachment;
  if (STATUS found = notes.ItemFind(note, "$FILE", attachment); found != kNoError) return found;
  TemporaryFile idFile(CreateTemporaryIdFile());
  if (idFile.path().empty()) return kErrFileWriteFailed;
  const std::string idPath = platform::Utf16ToUtf8(idFile.path());
  if (STATUS extracted = notes.ExtractFile(note, attachment.item, idPath); extracted != kNoError) return extracted;

  std::string previous;
  if (!notes.EnvironmentString("ServerKeyfileName", previous) && !notes.EnvironmentString("KeyfileName", previous)) {
    return kErrNoKeyFile;
  }
  (void)AttachToId();
  if (STATUS switched = SwitchToIdFile(idPath, entry.AgentSignerPassword); switched != kNoError) {
    // The process stays under its own ID.
    (void)ReattachToRootId();
    return switched;
  }
  done.PreviousKeyFile = std::move(previous);
  done.TemporaryIdFile = idFile.Keep();
  return kNoError;
}

Status32 CQuilletConfig::SwitchBack(const SignerSwitch& done) {
  std::string previous = done.PreviousKeyFile;
  if (!IsAbsoluteFilePath(previous)) previous = Notes().DataDirectory() + "/" + previous;
  (void)SwitchToIdFile(previous, "");
  if (!done.TemporaryIdFile.empty()) (void)platform::DeleteFile(done.TemporaryIdFile);
  return ReattachToRootId();
}

}  // namespace quillet
