// Reading the description of a simulated server's agents and their profiling.
#include "tools/quillet/server_description.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <sstream>

namespace quillet::tool {
namespace {

// The largest run count accepted; the configuration stores it as a number.
constexpr int kMaxRuns = 1000000;

std::vector<std::string> Words(std::string_view line) {
  std::istringstream in{std::string(line.substr(0, line.find('#')))};
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

bool Declared(const ServerDescription& d, const std::string& title) {
  return std::any_of(d.agents.begin(), d.agents.end(), [&](const ServerAgentSource& a) { return a.title == title; });
}

bool Refuse(std::string& error, int line, const std::string& reason) {
  error = "line " + std::to_string(line) + ": " + reason;
  return false;
}

// "profile TITLE [runs N] [user NAME]": the options after the title.
bool ParseProfile(const std::vector<std::string>& words, ServerProfileEntry& entry, std::string& reason) {
  entry.title = words[1];
  for (size_t i = 2; i < words.size(); i += 2) {
    if (i + 1 >= words.size()) {
      reason = "\"" + words[i] + "\" needs a value";
      return false;
    }
    const std::string& value = words[i + 1];
    if (words[i] == "runs") {
      int runs = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), runs);
      if (ec != std::errc() || end != value.data() + value.size() || runs < 1 || runs > kMaxRuns) {
        reason = "\"runs\" takes a whole number from 1 to " + std::to_string(kMaxRuns) + ", not \"" + value + "\"";
        return false;
      }
      entry.runs = runs;
    } else if (words[i] == "user") {
      entry.user = value;
    } else {
      reason = "unknown option \"" + words[i] + "\" (runs, user)";
      return false;
    }
  }
  return true;
}

}  // namespace

bool ParseServerDescription(std::string_view text, const std::string& folder, ServerDescription& description,
                            std::string& error) {
  ServerDescription d;
  std::istringstream lines{std::string(text)};
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    const std::vector<std::string> words = Words(line);
    if (words.empty()) continue;
    const std::string& word = words[0];
    if (word == "database") {
      if (words.size() != 2) return Refuse(error, number, "\"database\" takes one path");
      d.database = words[1];
    } else if (word == "agent") {
      if (words.size() != 3) return Refuse(error, number, "\"agent\" takes a title and a source file");
      if (Declared(d, words[1])) return Refuse(error, number, "agent " + words[1] + " is declared twice");
      d.agents.push_back({words[1], (std::filesystem::path(folder) / words[2]).string()});
    } else if (word == "profile" || word == "run") {
      if (words.size() < 2) return Refuse(error, number, "\"" + word + "\" takes an agent's title");
      if (!Declared(d, words[1])) return Refuse(error, number, "agent " + words[1] + " is not declared above");
      if (word == "profile") {
        ServerProfileEntry entry;
        std::string reason;
        if (!ParseProfile(words, entry, reason)) return Refuse(error, number, reason);
        d.profiles.push_back(std::move(entry));
      } else if (words.size() == 2) {
        d.runs.push_back({words[1]});
      } else if (words.size() == 4 && words[2] == "as") {
        d.runs.push_back({words[1], words[3]});
      } else {
        return Refuse(error, number, "\"run\" takes an agent's title and optionally \"as USER\"");
      }
    } else {
      return Refuse(error, number, "unknown word \"" + word + "\"");
    }
  }
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
