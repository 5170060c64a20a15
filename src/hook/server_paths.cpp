// Settings of the server object's configuration and log parts.
#include "hook/server_paths.h"

#include "config/notes_api.h"
#include "config/settings.h"

namespace quillet {

CQuilletConfig::CQuilletConfig() {
  if (!ReadSetting("ProfileServerConfig", configPath_)) configPath_ = kDefaultConfigPath;
  if (!ReadSetting("ProfileServerWorkingDir", workingDir_)) {
    workingDir_ = Notes().DataDirectory() + "/" + std::string(kDefaultWorkingDirName);
  }
}

CQuilletLog::CQuilletLog() {
  if (!ReadSetting("LogPath", logPath_)) logPath_ = kDefaultLogPath;
}

}  // namespace quillet
