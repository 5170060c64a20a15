// What a process is: its name, and whether a server task is one to watch.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillet {

inline constexpr size_t kProcessNameMax = 255;
inline constexpr std::string_view kClientProcessName = "LNOTES";
inline constexpr std::string_view kAuxiliaryProcessName = "OTES2";
inline constexpr std::string_view kAgentManagerName = "AMGR";
// The agent manager is watched only when started with this switch.
inline constexpr std::u16string_view kAgentManagerSwitch = u"-e";

// The executable's file name without directory and extension, e.g. "namgr".
std::u16string ExecutableBaseName(std::u16string_view executablePath);

// The process name: the base name without its first character, in the host
// character set, upper case, at most kProcessNameMax bytes ("AMGR", "LNOTES").
std::string ProcessName(std::u16string_view executablePath);

// The watched server tasks from a "ProfileTasks" value: split at ",", empty
// pieces and "SERVER" dropped; "AMGR" and "HTTP" when nothing remains.
std::vector<std::string> ParseTaskList(std::string_view setting);

// ParseTaskList of the setting "ProfileTasks" (absent reads as empty).
std::vector<std::string> WatchedTasks();

// Whether a server process gets the server hooks: its name is in `tasks`
// (exact comparison), and the agent manager only with its switch.
bool IsWatchedServerTask(std::string_view processName, const std::vector<std::string>& tasks,
                         std::u16string_view commandLine);

}  // namespace quillet
