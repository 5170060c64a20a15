// The simulated Notes client session.
#include "sim/client/client_session.h"

#include "hook/hooks.h"
#include "sim/client/timer_natives.h"
#include "util/ascii.h"

namespace quillet::sim {
namespace {

inline constexpr uint16_t kTitleBuffer = 256;
inline constexpr std::string_view kTitleItem = "$TITLE";

}  // namespace

ClientSession::ClientSession(SimHost& host) : host_(host) {}

ClientSession::~ClientSession() { Stop(); }

bool ClientSession::Start() {
  if (started_) return vector_.noteOpen != nullptr;
  host_.SetProcessIdentity(std::u16string(kClientExecutable), u"nlnotes.exe");
  host_.SetEnvironmentString("KitType", "1");
  static_cast<void>(MainEntryPoint(&vector_));
  started_ = true;
  return vector_.noteOpen != nullptr;
}

void ClientSession::Stop() {
  if (!started_) return;
  started_ = false;
  if (vector_.term != nullptr) static_cast<void>(vector_.term(&vector_));
  vector_.term = nullptr;
  vector_.noteOpen = nullptr;
  vector_.noteUpdate = nullptr;
  vector_.dbStampNotes = nullptr;
}

STATUS ClientSession::OpenDatabase(std::string_view path, DbHandle& db) { return host_.DbOpen(path, db); }

STATUS ClientSession::CloseDatabase(DbHandle db) { return host_.DbClose(db); }

STATUS ClientSession::OpenNote(DbHandle db, NoteId id, NoteHandle& note) {
  if (STATUS status = host_.NoteOpen(db, id, 0, note); status != kNoError) return status;
  if (vector_.noteOpen != nullptr) {
    const std::string user = host_.CurrentUserName();
    static_cast<void>(vector_.noteOpen(&vector_, user.c_str(), nullptr, db.value, id, note.value, 0));
  }
  return kNoError;
}

STATUS ClientSession::FindDesign(DbHandle db, uint16_t noteClass, std::string_view title, NoteId& id) {
  TableHandle table;
  TimeDate until;
  if (STATUS status = host_.DbModifiedNoteTable(db, noteClass, host_.MinimumTime(), table, until);
      status != kNoError) {
    return status;
  }
  STATUS result = kErrNoteNotFound;
  NoteId candidate = 0;
  for (bool first = true; result == kErrNoteNotFound && host_.TableScan(table, first, candidate); first = false) {
    if ((candidate & kNoteIdDeletedBit) != 0) continue;
    // The design collection is read without opening the note for the user.
    NoteHandle note;
    if (host_.NoteOpen(db, candidate, 0, note) != kNoError) continue;
    std::string text;
    static_cast<void>(host_.ItemText(note, kTitleItem, text, kTitleBuffer));
    static_cast<void>(host_.NoteClose(note));
    if (AsciiEqualNoCase(text, title)) {
      id = candidate;
      result = kNoError;
    }
  }
  static_cast<void>(host_.TableDestroy(table));
  return result;
}

STATUS ClientSession::OpenDesign(DbHandle db, uint16_t noteClass, std::string_view title, NoteHandle& note) {
  NoteId id = 0;
  if (STATUS status = FindDesign(db, noteClass, title, id); status != kNoError) return status;
  return OpenNote(db, id, note);
}

STATUS ClientSession::SaveNote(NoteHandle note, uint16_t updateFlags) {
  if (vector_.noteUpdate != nullptr) {
    const std::string user = host_.CurrentUserName();
    uint16_t flags = updateFlags;
    const HookStatus answer = vector_.noteUpdate(&vector_, user.c_str(), nullptr, host_.NoteDatabase(note).value,
                                                 host_.NoteGetId(note), note.value, &flags);
    if (answer != kNoError) return static_cast<StatusWord>(answer);
  }
  return host_.NoteUpdate(note, updateFlags);
}

STATUS ClientSession::CloseNote(NoteHandle note) { return host_.NoteClose(note); }

RunResult ClientSession::RunNote(NoteHandle note, RunOptions options) {
  RunResult total;
  std::vector<NoteScript> scripts;
  if (const Status32 status = ReadNoteScripts(note, scripts)) {
    total.error = "the note's items could not be read (status " + std::to_string(status) + ")";
    return total;
  }
  if (scripts.empty()) {
    total.error = "the note holds no compiled LotusScript";
    return total;
  }
  AddTimerEntries(options);
  total.ok = true;
  for (const NoteScript& script : scripts) {
    const RunResult ran = RunModule(script.image, options);
    total.output += ran.output;
    total.steps += ran.steps;
    if (!ran.ok && total.ok) {
      total.ok = false;
      total.error = script.itemName + ": " + ran.error;
    }
  }
  return total;
}

}  // namespace quillet::sim
