// Process identity on Linux: /proc/self/exe and /proc/self/cmdline.
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "platform/native.h"
#include "platform/platform.h"

namespace quillet::platform::native {

std::u16string ExecutablePath() {
  std::string buffer(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0) return {};
  buffer.resize(static_cast<size_t>(length));
  return Utf8ToUtf16(buffer);
}

// The arguments are NUL-separated; joined with spaces they read like the
// command line Windows hands a process (without its quoting).
std::u16string CommandLine() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  while (!raw.empty() && raw.back() == '\0') raw.pop_back();
  for (char& c : raw) {
    if (c == '\0') c = ' ';
  }
  return Utf8ToUtf16(raw);
}

}  // namespace quillet::platform::native
