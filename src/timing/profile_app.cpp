// The profile context: watch list, resets, timer operations and the report.
#include "timing/profile_app.h"

#include "config/host_text.h"
#include "config/notes_api.h"
#include "config/settings.h"

namespace quillet {
namespace {

// Report paths arrive as host text; the file system wants UTF-16.
bool HostPathToUtf16(std::string_view path, std::u16string& out) {
  std::vector<uint8_t> bytes;
  const std::span<const uint8_t> in(reinterpret_cast<const uint8_t*>(path.data()), path.size());
  if (Notes().Translate(kTranslateHostToUnicode, in, bytes) != kNoError || bytes.size() % 2 != 0) return false;
  out.clear();
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i < bytes.size(); i += 2) out.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  return true;
}

}  // namespace

CLSProfileApp::CLSProfileApp(std::string_view moduleName, std::string_view serverName, int32_t instrumentFlags)
    : ModuleName(moduleName), ServerName(serverName), ContextFlags(instrumentFlags) {
  Data.SetMemoryLimit(MegabytesToBytes(memoryLimitMB_));
}

CLSProfileApp::CLSProfileApp(std::string_view moduleName, std::string_view serverName, int32_t instrumentFlags,
                             CounterFn counter, int64_t frequency)
    : Data(counter, frequency), ModuleName(moduleName), ServerName(serverName), ContextFlags(instrumentFlags) {
  Data.SetMemoryLimit(MegabytesToBytes(memoryLimitMB_));
}

void CLSProfileApp::TimerEnter(uint32_t key, uint32_t handle) {
  if (!KeyRemap.empty()) {
    const auto it = KeyRemap.find(key);
    if (it != KeyRemap.end()) key = it->second;
  }
  Data.Enter(ProcedureKey{key, handle});
  if (Data.DroppedCalls() != 0 && !limitAnnounced_) AnnounceMemoryLimit();
}

void CLSProfileApp::AnnounceMemoryLimit() {
  limitAnnounced_ = true;
  limitReachedMB_ = memoryLimitMB_;
  Notes().ConsoleLine(MemoryLimitConsoleLine(limitReachedMB_));
}

void CLSProfileApp::TimerExit(uint32_t, uint32_t) { Data.Exit(); }

void CLSProfileApp::TimerLine(uint32_t key, uint32_t handle, int32_t line) {
  if (!Data.HasOpenCall()) TimerEnter(key, handle);
  Data.Line(line);
}

void CLSProfileApp::Refresh(bool collecting) {
  Collecting = collecting;
  if (ReadSettingInt("FilterBindEvents") == 0) FilterBindEvents = 0;
  memoryLimitMB_ = ReadMaxProfileMemoryMB();
  Data.SetMemoryLimit(MegabytesToBytes(memoryLimitMB_));
  LineTimerHandle = FunctionTimerHandle = TimerClassHandle = SpareHandle = kNoSymbolHandle;
}

void CLSProfileApp::ResetContext(bool collecting, bool clear, int value) {
  Refresh(collecting);
  if (value != kKeepContextFlags) ContextFlags = value;
  if (clear) {
    Data.Clear();
    Messages.clear();
    limitAnnounced_ = false;
  }
}

void CLSProfileApp::AddDatabase(std::string_view path) {
  if (!Databases.empty() && HostCompare(Databases.front(), path, kCompareExact) == 0) return;
  Databases.emplace_back(path);
}

bool CLSProfileApp::IsWatchedDatabase(std::string_view path) const {
  return !Databases.empty() && HostCompare(Databases.front(), path, kCompareExact) == 0;
}

bool CLSProfileApp::WriteReport(const char* path, bool collecting) {
  Refresh(collecting);
  if (path == nullptr) return true;
  std::vector<std::string> watched;
  watched.reserve(Databases.size());
  for (const std::string& db : Databases) {
    watched.push_back(ServerName.empty() ? db : Notes().NetworkPath(ServerName, db));
  }
  std::u16string filePath;
  if (!HostPathToUtf16(path, filePath)) return false;
  if (Data.DroppedCalls() == 0) return Data.WriteReport(filePath, watched, Messages);
  std::vector<std::string> messages = Messages;
  messages.push_back(DroppedCallsMessage(Data.DroppedCalls(), limitReachedMB_));
  return Data.WriteReport(filePath, watched, messages);
}

}  // namespace quillet
