// The server object's configuration and log parts, as far as they exist yet:
// holders of the configuration and log database paths. The configuration
// table and the log documents come with the server note hook.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

inline constexpr std::string_view kDefaultConfigPath = "Brindlecot/ProfilerConfig.nsf";
inline constexpr std::string_view kDefaultWorkingDirName = "Brindlecot";
inline constexpr std::string_view kDefaultLogPath = "Brindlecot/ProfilerLog.nsf";

// The configuration part of the server object (its second base).
class CQuilletConfig {
 public:
  // ConfigPath from the setting "ProfileServerConfig", WorkingDir from
  // "ProfileServerWorkingDir", each with its default.
  CQuilletConfig();
  virtual ~CQuilletConfig() = default;

  // Relative to the host data directory unless absolute.
  const std::string& ConfigPath() const { return configPath_; }
  const std::string& WorkingDir() const { return workingDir_; }

 private:
  std::string configPath_;
  std::string workingDir_;
};

// The log part of the server object.
class CQuilletLog {
 public:
  // LogPath from the setting "LogPath", else the default.
  CQuilletLog();
  virtual ~CQuilletLog() = default;

  const std::string& LogPath() const { return logPath_; }

 private:
  std::string logPath_;
};

}  // namespace quillet
