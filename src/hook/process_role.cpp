// Process names and the watched server tasks.
#include "hook/process_role.h"

#include "config/host_text.h"
#include "config/notes_api.h"
#include "config/settings.h"

namespace quillet {

std::u16string ExecutableBaseName(std::u16string_view executablePath) {
  const size_t slash = executablePath.find_last_of(u"/\\");
  std::u16string_view name = slash == std::u16string_view::npos ? executablePath : executablePath.substr(slash + 1);
  const size_t dot = name.find_last_of(u'.');
  if (dot != std::u16string_view::npos) name = name.substr(0, dot);
  return std::u16string(name);
}

std::string ProcessName(std::u16string_view executablePath) {
  const std::u16string base = ExecutableBaseName(executablePath);
  if (base.empty()) return {};
  const std::string name = ToUpper(ToHostText(std::u16string_view(base).substr(1)));
  return name.substr(0, HostPieceLength(name, kProcessNameMax));
}

std::vector<std::string> ParseTaskList(std::string_view setting) {
  std::vector<std::string> tasks;
  size_t start = 0;
  while (start <= setting.size()) {
    size_t comma = setting.find(',', start);
    if (comma == std::string_view::npos) comma = setting.size();
    const std::string_view piece = setting.substr(start, comma - start);
    if (!piece.empty() && HostCompare(piece, "SERVER", kCompareExact) != 0) tasks.emplace_back(piece);
    start = comma + 1;
  }
  if (tasks.empty()) tasks = {"AMGR", "HTTP"};
  return tasks;
}

std::vector<std::string> WatchedTasks() {
  std::string setting;
  if (!ReadSetting("ProfileTasks", setting)) setting.clear();
  return ParseTaskList(setting);
}

bool IsWatchedServerTask(std::string_view processName, const std::vector<std::string>& tasks,
                         std::u16string_view commandLine) {
  bool listed = false;
  for (const std::string& task : tasks) listed = listed || HostCompare(processName, task, kCompareExact) == 0;
  if (!listed) return false;
  if (HostCompare(processName, kAgentManagerName, kCompareNoCase) == 0 &&
      commandLine.find(kAgentManagerSwitch) == std::u16string_view::npos) {
    return false;
  }
  return true;
}

}  // namespace quillet
