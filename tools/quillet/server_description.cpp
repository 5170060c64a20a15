// Reading the description of a simulated server's agents and their profiling.
#include "tools/quillet/server_description.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <map>

#include "config/quillet_config.h"
#include "config/quillet_log.h"
#include "tools/quillet/description_lines.h"

namespace quillet::tool {
namespace {

// The largest run count accepted; the configuration stores it as a number.
constexpr int kMaxRuns = 1000000;

// The databases the command makes beside the agents' one. Paths compare as
// the host compares them: any ASCII case, "\\" as "/".
bool IsServerOwnDatabase(std::string path) {
  for (char& c : path) c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (std::string_view own : {kDefaultConfigPath, kDefaultLogPath, kLogTemplateName}) {
    std::string lower(own);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (path == lower) return true;
  }
  return false;
}

bool Declared(const ServerDescription& d, const std::string& title) {
  return std::any_of(d.agents.begin(), d.agents.end(), [&](const ServerAgentSource& a) { return a.title == title; });
}

// The words from `first` up to the end or to the word `stop`, joined by one
// blank: Notes names hold blanks ("CN=Ann Smith/O=Acme").
std::string JoinedWords(const std::vector<std::string>& words, size_t first, std::string_view stop, size_t& end) {
  std::string joined;
  for (end = first; end < words.size() && words[end] != stop; ++end) joined += (joined.empty() ? "" : " ") + words[end];
  return joined;
}

// "profile TITLE [runs N] [user NAME]": the options after the title. NAME
// runs up to the end of the line or a later "runs".
bool ParseProfile(const std::vector<std::string>& words, ServerProfileEntry& entry, std::string& reason) {
  entry.title = words[1];
  for (size_t i = 2; i < words.size();) {
    const std::string& option = words[i];
    if (option == "user") {
      entry.user = JoinedWords(words, i + 1, "runs", i);
      if (entry.user.empty()) {
        reason = "\"user\" needs a value";
        return false;
      }
    } else if (option == "runs") {
      if (i + 1 >= words.size()) {
        reason = "\"runs\" needs a value";
        return false;
      }
      const std::string& value = words[i + 1];
      int runs = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), runs);
      if (ec != std::errc() || end != value.data() + value.size() || runs < 1 || runs > kMaxRuns) {
        reason = "\"runs\" takes a whole number from 1 to " + std::to_string(kMaxRuns) + ", not \"" + value + "\"";
        return false;
      }
      entry.runs = runs;
      i += 2;
    } else {
      reason = "unknown option \"" + option + "\" (runs, user)";
      return false;
    }
  }
  return true;
}

}  // namespace

bool ParseServerDescription(std::string_view text, const std::string& folder, ServerDescription& description,
                            std::string& error) {
  ServerDescription d;
  std::map<std::string, int> profileLines;  // agent title -> its profile line
  const bool read = ForEachDescriptionLine(text, [&](int number, const std::vector<std::string>& words) {
    const std::string& word = words[0];
    if (word == "database") {
      if (words.size() != 2) return RefuseLine(error, number, "\"database\" takes one path");
      if (std::string fault = DatabasePathFault(words[1]); !fault.empty()) return RefuseLine(error, number, fault);
      if (IsServerOwnDatabase(words[1]))
        return RefuseLine(error, number, "\"" + words[1] + "\" is the profiler's own configuration, log or log "
                                         "template database; the agents need a database of their own");
      d.database = words[1];
    } else if (word == "agent") {
      if (words.size() != 3) return RefuseLine(error, number, "\"agent\" takes a title and a source file");
      if (Declared(d, words[1])) return RefuseLine(error, number, "agent " + words[1] + " is declared twice");
      d.agents.push_back({words[1], (std::filesystem::path(folder) / words[2]).string()});
    } else if (word == "profile" || word == "run") {
      if (words.size() < 2) return RefuseLine(error, number, "\"" + word + "\" takes an agent's title");
      if (!Declared(d, words[1])) return RefuseLine(error, number, "agent " + words[1] + " is not declared above");
      if (word == "profile") {
        // The server reads one configuration document per agent: a second
        // one would be ignored.
        if (const auto first = profileLines.find(words[1]); first != profileLines.end()) {
          return RefuseLine(error, number, "agent " + words[1] + " has a profile line already (line " +
                                               std::to_string(first->second) + ")");
        }
        profileLines[words[1]] = number;
        ServerProfileEntry entry;
        std::string reason;
        if (!ParseProfile(words, entry, reason)) return RefuseLine(error, number, reason);
        d.profiles.push_back(std::move(entry));
      } else if (words.size() == 2) {
        d.runs.push_back({words[1]});
      } else if (words[2] == "as") {
        if (words.size() == 3) return RefuseLine(error, number, "\"as\" needs a user's name");
        size_t end = 0;
        d.runs.push_back({words[1], JoinedWords(words, 3, {}, end)});
      } else {
        return RefuseLine(error, number, "\"run\" takes an agent's title and optionally \"as USER\"");
      }
    } else {
      return RefuseLine(error, number, "unknown word \"" + word + "\"");
    }
    return true;
  });
  if (!read) return false;
  if (d.agents.empty()) {
    error = "no agent is declared";
    return false;
  }
  if (d.profiles.empty()) {
    for (const ServerAgentSource& agent : d.agents) d.profiles.push_back({agent.title, std::nullopt, {}});
  }
  if (d.runs.empty()) {
    for (const ServerAgentSource& agent : d.agents) d.runs.push_back({agent.title});
  }
  description = std::move(d);
  return true;
}

}  // namespace quillet::tool
