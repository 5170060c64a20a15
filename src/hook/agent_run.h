// AgentRun: one pending server agent run, recorded when a selected agent is
// opened and kept on its thread's stack until the run is finalised.
#pragma once

#include <cstdint>
#include <string>

#include "config/notes_api.h"

namespace quillet {

inline constexpr int32_t kDesignKindAgent = 7;
inline constexpr int32_t kDesignKindWebService = 34;

struct AgentRun {
  std::string DatabasePath;  // canonical path of the agent's database
  std::string UserName;      // the user the note was opened for
  int32_t DesignKind = 0;    // the agent note's design kind
  uint32_t NoteId = 0;       // the agent note's ID
  std::string DisplayName;   // the agent's title as the log shows it
};

}  // namespace quillet
