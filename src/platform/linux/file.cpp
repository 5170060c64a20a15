// Files on Linux: attributes, delete, the unbuffered output file and the
// whole-file helpers behind profile files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <iterator>

#include "platform/linux/linux_files.h"
#include "platform/platform.h"

namespace quillet::platform {

namespace linux_files {

std::string NativePath(std::u16string_view path) {
  std::string native = Utf16ToUtf8(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return contents;
}

namespace {

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::string_view contents) {
  static std::atomic<unsigned> sequence{0};
  const std::string temporary =
      path + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(sequence++);
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0) ::fchmod(fd, existing.st_mode & 07777);
  const bool written = WriteAll(fd, contents.data(), contents.size());
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace linux_files

std::optional<FileAttributes> GetFileAttributes(std::u16string_view path) {
  struct stat info {};
  if (::stat(linux_files::NativePath(path).c_str(), &info) != 0) return std::nullopt;
  return FileAttributes{.directory = S_ISDIR(info.st_mode),
                        .device = !S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode)};
}

// Like DeleteFileW, refuses directories (unlink fails on them).
bool DeleteFile(std::u16string_view path) {
  return ::unlink(linux_files::NativePath(path).c_str()) == 0;
}

bool MoveFileReplacing(std::u16string_view from, std::u16string_view to) {
  return ::rename(linux_files::NativePath(from).c_str(), linux_files::NativePath(to).c_str()) == 0;
}

OutputFile::~OutputFile() { Close(); }

bool OutputFile::Create(std::u16string_view path) {
  if (IsOpen()) Close();
  fd_ = ::open(linux_files::NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return IsOpen();
}

bool OutputFile::Write(const void* data, size_t size) {
  if (!IsOpen()) return false;
  return linux_files::WriteAll(static_cast<int>(fd_), static_cast<const char*>(data), size);
}

bool OutputFile::Close() {
  if (!IsOpen()) return false;
  const int fd = static_cast<int>(fd_);
  fd_ = -1;
  return ::close(fd) == 0;
}

}  // namespace quillet::platform
