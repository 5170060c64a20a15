// The small text file `quillet server` reads: a simulated server's database
// of agents as LotusScript source files, the configuration documents that
// select them for profiling, and the agent runs.
//
//   # comment
//   database apps/sales.nsf          the agents' database (default apps/agents.nsf)
//   agent Nightly nightly.lss        an agent and its source file
//   profile Nightly runs 2 user CN=Ann/O=Acme
//                                    a configuration document for the agent;
//                                    "runs N" and "user NAME" are optional
//   run Nightly as CN=Bob/O=Acme     the agent manager runs it ("as" optional)
//
// Titles are single words; user names may hold blanks (the words after "as",
// or after "user" up to "runs", joined by one blank); source paths are
// relative to the file's folder; an agent has at most one "profile" line.
// Without "profile" lines every agent is profiled; without "run" lines every
// agent runs once, in the order declared.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::tool {

// The user agents run for when the file names none.
inline constexpr const char* kDefaultAgentUser = "CN=Ann/O=Acme";

struct ServerAgentSource {
  std::string title;
  std::string sourcePath;  // resolved against the description's folder
};

// One configuration document.
struct ServerProfileEntry {
  std::string title;
  std::optional<int> runs;  // "AgentRunCount"; none profiles every run
  std::string user;         // "AgentUser"; empty profiles every user
};

struct ServerRun {
  std::string title;
  std::string user = kDefaultAgentUser;
};

struct ServerDescription {
  std::string database = "apps/agents.nsf";
  std::vector<ServerAgentSource> agents;
  std::vector<ServerProfileEntry> profiles;
  std::vector<ServerRun> runs;
};

// Parses `text`. False with "line N: reason" for an unknown word, a missing
// or extra field, a database path outside the data directory or one the
// command makes for itself, a bad run count, an agent declared twice or given a second
// "profile" line, or a "profile" or "run" line naming an agent not declared
// above it.
[[nodiscard]] bool ParseServerDescription(std::string_view text, const std::string& folder,
                                          ServerDescription& description, std::string& error);

}  // namespace quillet::tool
