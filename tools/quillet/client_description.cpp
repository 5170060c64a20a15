// Reading the description of a simulated client session.
#include "tools/quillet/client_description.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "tools/quillet/description_lines.h"

namespace quillet::tool {
namespace {

const std::map<std::string, sim::DesignKind, std::less<>> kKinds = {{"form", sim::DesignKind::kForm},
                                                                   {"agent", sim::DesignKind::kAgent},
                                                                   {"library", sim::DesignKind::kLibrary},
                                                                   {"view", sim::DesignKind::kView}};

bool Declared(const ClientDescription& d, sim::DesignKind kind, const std::string& title) {
  return std::any_of(d.elements.begin(), d.elements.end(),
                     [&](const ClientElementSource& e) { return e.kind == kind && e.title == title; });
}

// The steps when the file names none: run the forms and agents, save one.
void DefaultSteps(ClientDescription& d, bool anyRun, bool anySave) {
  if (!anyRun) {
    for (const ClientElementSource& e : d.elements) {
      if (e.kind == sim::DesignKind::kForm || e.kind == sim::DesignKind::kAgent)
        d.steps.push_back({ClientStep::Action::kRun, e.kind, e.title, {}});
    }
  }
  if (!anySave && !d.elements.empty()) {
    auto form = std::find_if(d.elements.begin(), d.elements.end(),
                             [](const ClientElementSource& e) { return e.kind == sim::DesignKind::kForm; });
    const ClientElementSource& saved = form != d.elements.end() ? *form : d.elements.front();
    d.steps.push_back({ClientStep::Action::kSave, saved.kind, saved.title, {}});
  }
}

}  // namespace

bool ParseClientDescription(std::string_view text, const std::string& folder, ClientDescription& description,
                            std::string& error) {
  ClientDescription d;
  bool anyRun = false;
  bool anySave = false;
  const bool read = ForEachDescriptionLine(text, [&](int number, const std::vector<std::string>& words) {
    const std::string& word = words[0];
    if (word == "database") {
      if (words.size() != 2) return RefuseLine(error, number, "\"database\" takes one path");
      if (std::string fault = DatabasePathFault(words[1]); !fault.empty()) return RefuseLine(error, number, fault);
      d.database = words[1];
    } else if (auto kind = kKinds.find(word); kind != kKinds.end()) {
      if (words.size() != 3) return RefuseLine(error, number, "\"" + word + "\" takes a title and a source file");
      if (Declared(d, kind->second, words[1])) return RefuseLine(error, number, word + " " + words[1] + " is declared twice");
      d.elements.push_back({kind->second, words[1], (std::filesystem::path(folder) / words[2]).string()});
    } else if (word == "run" || word == "save") {
      if (words.size() != 3) return RefuseLine(error, number, "\"" + word + "\" takes a kind and a title");
      auto kind = kKinds.find(words[1]);
      if (kind == kKinds.end()) return RefuseLine(error, number, "unknown kind \"" + words[1] + "\"");
      if (!Declared(d, kind->second, words[2]))
        return RefuseLine(error, number, words[1] + " " + words[2] + " is not declared above");
      const bool run = word == "run";
      (run ? anyRun : anySave) = true;
      d.steps.push_back({run ? ClientStep::Action::kRun : ClientStep::Action::kSave, kind->second, words[2], {}});
    } else {
      return RefuseLine(error, number, "unknown word \"" + word + "\"");
    }
    return true;
  });
  if (!read) return false;
  if (d.elements.empty()) {
    error = "no design element is declared";
    return false;
  }
  DefaultSteps(d, anyRun, anySave);
  description = std::move(d);
  return true;
}

}  // namespace quillet::tool
