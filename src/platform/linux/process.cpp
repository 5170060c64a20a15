// Process identity on Linux: /proc/self/exe and /proc/self/cmdline, both
// replaceable by the simulated host so that tests can pose as any host process.
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <mutex>

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

std::u16string RealExecutablePath() {
  std::string buffer(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0) return {};
  buffer.resize(static_cast<size_t>(length));
  return Utf8ToUtf16(buffer);
}

// The arguments are NUL-separated; joined with spaces they read like the
// command line Windows hands a process (without its quoting).
std::u16string RealCommandLine() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  while (!raw.empty() && raw.back() == '\0') raw.pop_back();
  for (char& c : raw) {
    if (c == '\0') c = ' ';
  }
  return Utf8ToUtf16(raw);
}

}  // namespace

std::u16string ExecutablePath() {
  {
    Identity& identity = Overrides();
    std::lock_guard guard(identity.mutex);
    if (identity.executablePath) return *identity.executablePath;
  }
  return RealExecutablePath();
}

std::u16string CommandLine() {
  {
    Identity& identity = Overrides();
    std::lock_guard guard(identity.mutex);
    if (identity.commandLine) return *identity.commandLine;
  }
  return RealCommandLine();
}

void OverrideProcessIdentity(std::optional<std::u16string> executablePath,
                             std::optional<std::u16string> commandLine) {
  Identity& identity = Overrides();
  std::lock_guard guard(identity.mutex);
  identity.executablePath = std::move(executablePath);
  identity.commandLine = std::move(commandLine);
}

}  // namespace quillet::platform
