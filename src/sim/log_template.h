// What a simulated server needs before the profiler's server side runs: the
// log template database and the ID files of the signer switch.
#pragma once

#include <string_view>

#include "sim/sim_host.h"

namespace quillet::sim {

inline constexpr std::string_view kSimLogTemplatePath = "kvxlogs.ntf";
inline constexpr std::string_view kSimServerIdFile = "server.id";

// Creates the log template "kvxlogs.ntf" unless it exists: an icon note whose
// "$Flags" ask for design refresh ("R") and that carries "$FlagsNoRefresh",
// the form "PROFLOG", a view of the log documents, and an access list.
[[nodiscard]] STATUS EnsureLogTemplate(SimHost& host);

// When notes.ini names no server key file ("ServerKeyfileName", else
// "KeyfileName"), writes "server.id" for the current user with an empty
// password and names it in "ServerKeyfileName", so a switch to a signer ID
// has an ID to return to.
[[nodiscard]] STATUS EnsureServerIdFile(SimHost& host);

}  // namespace quillet::sim
