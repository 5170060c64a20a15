// The simulated "nnotes" export table: the five functions the system resolves
// by name at run time, as C functions forwarding to one SimHost.
#pragma once

#include <array>
#include <set>
#include <string>
#include <string_view>

namespace quillet::sim {

class SimHost;

inline constexpr std::u16string_view kNotesModuleName = u"nnotes";
inline constexpr std::array<std::string_view, 5> kNotesExportNames = {
    "NSFNoteExpand", "SECAttachToID", "SECReattachToRootID", "SECKFMSwitchToIDFile", "REGSwitchToID"};

// Makes `host` the exports' target and registers module "nnotes" with every
// export whose name is not in `removed`.
void PublishNotesExports(SimHost* host, const std::set<std::string>& removed);
// Removes module "nnotes" when `host` is the current target. Exports called
// afterwards through a pointer kept earlier answer 546.
void WithdrawNotesExports(SimHost* host);

}  // namespace quillet::sim
