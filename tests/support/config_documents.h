// Configuration documents for tests of the server side: one struct per
// document, written into the simulated configuration database.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/notes_api.h"
#include "sim/sim_host.h"

namespace quillet::testing {

inline constexpr const char* kConfigDb = "Brindlecot/ProfilerConfig.nsf";

// Items left empty (or nullopt) are not written.
struct ConfigDocument {
  std::string Enabled = "1";
  std::string DatabasePath;
  std::string DatabaseTitle = "Sales";
  std::string AgentId;  // hexadecimal text
  std::optional<double> AgentRunCount;
  std::string AgentServerTask = "AMGR";
  std::string AgentProfileFlags = "FUNC_LINE";
  std::string AgentUser;
  std::string AgentTitle = "Nightly";
  std::string AgentSignerPassword;
  std::string AgentUNID = "00000002000000010000000400000003";
  std::string SignerIdFile;  // a file in the data directory attached as "$FILE"
};

// Creates the configuration database when missing and stores `doc` in it.
NoteId AddConfigDocument(sim::SimHost& host, const ConfigDocument& doc);
// Replaces the items of a stored document by those of `doc`.
void UpdateConfigDocument(sim::SimHost& host, NoteId id, const ConfigDocument& doc);

// Hexadecimal text of a note ID, as the configuration stores it.
std::string HexId(NoteId id);

}  // namespace quillet::testing
