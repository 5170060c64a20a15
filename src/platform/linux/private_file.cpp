// Owner-only files on Linux: mode 0600, created exclusively.
#include <fcntl.h>
#include <unistd.h>

#include "platform/linux/linux_files.h"
#include "platform/private_file.h"

namespace quillet::platform {

bool CreatePrivateFile(std::u16string_view path) {
  const std::string native = linux_files::NativePath(path);
  const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  return ::close(fd) == 0;
}

}  // namespace quillet::platform
