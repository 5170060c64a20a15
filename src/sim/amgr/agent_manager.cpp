// The simulated agent manager: open through the hook, run, close.
#include "sim/amgr/agent_manager.h"

#include "hook/hooks.h"
#include "sim/lsc/compiler.h"
#include "sim/lsrun/note_runner.h"
#include "sim/lsrun/errors.h"

namespace quillet::sim {
namespace {

// Rewritten code declares the timer entries from the hook driver's module;
// here they reach the hook driver linked into this program, with each
// argument cut to its 32-bit slot as the callee reads it.
uint32_t Word(const lsrun::Value& v) { return static_cast<uint16_t>(v.n()); }
int32_t Signed(const lsrun::Value& v) { return static_cast<int16_t>(v.n()); }

RunOptions HookDriverRunOptions(uint32_t timeLimit) {
  RunOptions options;
  options.maxSeconds = timeLimit;
  options.natives.Register("nquillet", "KVXFunctionTimer", [](std::span<const lsrun::Value> a, lsrun::Value&) {
    if (a.size() != 6) return lsrun::err::kErrorInLoadingDll;
    KVXFunctionTimer(Word(a[0]), Word(a[1]), Word(a[2]), Word(a[3]), Word(a[4]), Signed(a[5]));
    return 0;
  });
  options.natives.Register("nquillet", "KVXLineTimer", [](std::span<const lsrun::Value> a, lsrun::Value&) {
    if (a.size() != 7) return lsrun::err::kErrorInLoadingDll;
    KVXLineTimer(Word(a[0]), Word(a[1]), Word(a[2]), Word(a[3]), Word(a[4]), Signed(a[5]), Signed(a[6]));
    return 0;
  });
  return options;
}

}  // namespace

STATUS StoreAgent(SimHost& host, std::string_view dbPath, std::string_view title, std::string_view source,
                  NoteId& id, std::string* error) {
  std::vector<uint8_t> image;
  std::vector<CompileError> errors;
  if (!CompileLotusScript(source, image, errors)) {
    if (error != nullptr) *error = errors.empty() ? "does not compile" : errors.front().message;
    return kErrInvalidArgument;
  }
  SimItemSpec code;
  code.name = std::string(kAgentCodeItem);
  code.type = kTypeLsObject;
  code.value = std::move(image);
  code.flags = kItemSigned;
  return host.CreateNote(dbPath, kNoteClassFilter,
                         {SimItemSpec::Text("$TITLE", title), SimItemSpec::Text("$Flags", "f"), code}, id);
}

SimAgentManager::SimAgentManager(HookVector& vector) : vector_(vector) {}

SimAgentManager::~SimAgentManager() { (void)Wait(); }

SimAgentOutcome SimAgentManager::RunHere(const SimAgent& agent) {
  NotesApi& notes = Notes();
  SimAgentOutcome outcome;
  outcome.agent = agent;
  (void)notes.ThreadInit();
  DbHandle db;
  outcome.openStatus = notes.DbOpen(agent.databasePath, db);
  NoteHandle note;
  if (outcome.openStatus == kNoError) outcome.openStatus = notes.NoteOpen(db, agent.noteId, 0, note);
  if (outcome.openStatus == kNoError) {
    // The host calls the hook with the note already open; whatever it
    // rewrites is what runs.
    if (vector_.noteOpen != nullptr) {
      (void)vector_.noteOpen(&vector_, agent.userName.c_str(), nullptr, db.value, agent.noteId, note.value, 0);
    }
    ItemInfo code;
    outcome.hasCode = notes.ItemFind(note, kAgentCodeItem, code) == kNoError ||
                      notes.ItemFind(note, "$AssistAction_Ex", code) == kNoError;
    if (outcome.hasCode) outcome.run = RunAgent(note, HookDriverRunOptions(timeLimit_));
    (void)notes.NoteClose(note);
  }
  if (db) (void)notes.DbClose(db);
  notes.ThreadTerm();
  return outcome;
}

void SimAgentManager::Start(SimAgent agent) {
  std::lock_guard lock(mutex_);
  const size_t slot = outcomes_.size();
  outcomes_.emplace_back();
  threads_.emplace_back([this, slot, agent = std::move(agent)] {
    SimAgentOutcome outcome = RunHere(agent);
    std::lock_guard done(mutex_);
    outcomes_[slot] = std::move(outcome);
  });
}

std::vector<SimAgentOutcome> SimAgentManager::Wait() {
  std::vector<std::thread> running;
  {
    std::lock_guard lock(mutex_);
    running.swap(threads_);
  }
  for (std::thread& thread : running) thread.join();
  std::lock_guard lock(mutex_);
  return std::exchange(outcomes_, {});
}

}  // namespace quillet::sim
