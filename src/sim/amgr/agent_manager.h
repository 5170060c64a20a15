// The simulated agent manager: opens configured agents through the hook
// driver's note-open hook, as a server's agent manager does, and runs each
// one's compiled LotusScript with the runner on a thread of its own. The
// rewritten code's end-of-run call reaches the hook driver's timer entry,
// which finalises the run there.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "config/notes_api.h"
#include "hook/hook_vector.h"
#include "sim/lsrun/runner.h"
#include "sim/sim_host.h"

namespace quillet::sim {

// The item an agent's compiled code is stored under by StoreAgent.
inline constexpr std::string_view kAgentCodeItem = "$AgentHScript_O";

// One agent to run: where it lives and for whom.
struct SimAgent {
  std::string databasePath;
  NoteId noteId = 0;
  std::string userName;
};

// What became of one agent.
struct SimAgentOutcome {
  SimAgent agent;
  STATUS openStatus = 0;  // the database or note open
  bool hasCode = false;   // the opened note held a module item
  RunResult run;          // the runner's result (empty when it did not run)
};

// Compiles `source` and stores it as an agent ("$Flags" "f") titled `title`
// in the database at `dbPath`; `id` receives the note ID. kErrInvalidArgument
// when the source does not compile (`error` says why).
[[nodiscard]] STATUS StoreAgent(SimHost& host, std::string_view dbPath, std::string_view title,
                                std::string_view source, NoteId& id, std::string* error = nullptr);

class SimAgentManager {
 public:
  // `vector` is the hook vector MainEntryPoint filled; it must outlive the
  // manager. Its note-open hook, when set, sees every agent opened.
  explicit SimAgentManager(HookVector& vector);
  // Seconds an agent runs before it is stopped as endless (default 60), as
  // a server's agent manager stops an agent at its execution time limit.
  void SetTimeLimit(uint32_t seconds) { timeLimit_ = seconds; }
  // Waits for agents still running.
  ~SimAgentManager();
  SimAgentManager(const SimAgentManager&) = delete;
  SimAgentManager& operator=(const SimAgentManager&) = delete;

  // Starts the agent on a new thread and returns at once.
  void Start(SimAgent agent);
  // Runs the agent on the calling thread.
  SimAgentOutcome RunHere(const SimAgent& agent);
  // Waits for every started agent; their outcomes in the order they started.
  std::vector<SimAgentOutcome> Wait();

 private:
  HookVector& vector_;
  uint32_t timeLimit_ = RunOptions{}.maxSeconds;
  std::mutex mutex_;
  std::vector<std::thread> threads_;
  std::vector<SimAgentOutcome> outcomes_;  // one slot per started agent
};

}  // namespace quillet::sim
