// Whole-file reads and writes for the tool's commands.
#include "tools/quillet/tool_io.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/quillet/commands.h"

namespace quillet::tool {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string Reason(const std::string& path) { return path + ": " + std::strerror(errno); }

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = Reason(path);
    return false;
  }
  std::vector<uint8_t> data;
  uint8_t block[65536];
  for (;;) {
    const size_t n = std::fread(block, 1, sizeof block, file.get());
    if (n > 0) {
      if (data.size() + n > kMaxInputBytes) {
        error = path + ": larger than the tool reads";
        return false;
      }
      data.insert(data.end(), block, block + n);
    }
    if (n < sizeof block) break;
  }
  if (std::ferror(file.get())) {
    error = Reason(path);
    return false;
  }
  bytes = std::move(data);
  return true;
}

bool WriteWholeFile(const std::string& path, std::string_view text, std::string& error) {
  // A device or pipe is written in place; a file is replaced only once its
  // new contents are wholly written, so a failed write leaves the old file.
  struct stat target {};
  const bool existing = ::stat(path.c_str(), &target) == 0;
  if (existing && !S_ISREG(target.st_mode)) {
    File file(std::fopen(path.c_str(), "wb"));
    if (!file || std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
        std::fflush(file.get()) != 0) {
      error = Reason(path);
      return false;
    }
    return true;
  }
  // An existing file keeps its permissions, and a link stays a link: the
  // file it leads to is the one replaced.
  std::string file = path;
  if (existing) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    if (real) file = real.get();
  }
  const std::string temporary = file + ".quillet-" + std::to_string(::getpid()) + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = Reason(path);
    return false;
  }
  const char* data = text.data();
  size_t left = text.size();
  int failure = 0;  // errno of the first step that failed
  if (existing && ::fchmod(fd, target.st_mode & 07777) != 0) failure = errno;
  while (failure == 0 && left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n > 0) {
      data += n;
      left -= static_cast<size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      failure = n == 0 ? EIO : errno;
    }
  }
  if (failure == 0 && ::fsync(fd) != 0) failure = errno;
  if (::close(fd) != 0 && failure == 0) failure = errno;
  if (failure == 0 && ::rename(temporary.c_str(), file.c_str()) != 0) failure = errno;
  if (failure != 0) {
    ::unlink(temporary.c_str());
    errno = failure;
    error = Reason(path);
    return false;
  }
  return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  return WriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error);
}

bool CheckWritable(const std::string& path, std::string& error) {
  struct stat target {};
  if (::stat(path.c_str(), &target) == 0) {
    if (S_ISDIR(target.st_mode)) errno = EISDIR;
    // A device is written in place; a file is replaced from beside it.
    if (S_ISDIR(target.st_mode) || (!S_ISREG(target.st_mode) && ::access(path.c_str(), W_OK) != 0)) {
      error = Reason(path);
      return false;
    }
    if (!S_ISREG(target.st_mode)) return true;
  }
  const std::string folder = std::filesystem::path(path).parent_path().string();
  const std::string probe =
      (folder.empty() ? std::string(".") : folder) + "/.quillet-" + std::to_string(::getpid()) + ".probe";
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = Reason(path);
    return false;
  }
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

int Fail(std::string_view command, std::string_view message) {
  std::fprintf(stderr, "quillet %.*s: %.*s\n", static_cast<int>(command.size()), command.data(),
               static_cast<int>(message.size()), message.data());
  return kExitFailed;
}

}  // namespace quillet::tool
