// Process identity: the platform's real values unless the simulated host has
// overridden them, so that tests can pose as any host process.
#include <mutex>

#include "platform/native.h"
#include "platform/platform.h"

namespace quillet::platform {

namespace {

struct Identity {
  std::mutex mutex;
  std::optional<std::u16string> executablePath;
  std::optional<std::u16string> commandLine;
};

Identity& Overrides() {
  static Identity identity;
  return identity;
}

}  // namespace

std::u16string ExecutablePath() {
  {
    Identity& identity = Overrides();
    std::lock_guard guard(identity.mutex);
    if (identity.executablePath) return *identity.executablePath;
  }
  return native::ExecutablePath();
}

std::u16string CommandLine() {
  {
    Identity& identity = Overrides();
    std::lock_guard guard(identity.mutex);
    if (identity.commandLine) return *identity.commandLine;
  }
  return native::CommandLine();
}

void OverrideProcessIdentity(std::optional<std::u16string> executablePath,
                             std::optional<std::u16string> commandLine) {
  Identity& identity = Overrides();
  std::lock_guard guard(identity.mutex);
  identity.executablePath = std::move(executablePath);
  identity.commandLine = std::move(commandLine);
}

}  // namespace quillet::platform
