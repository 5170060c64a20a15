// Files on Windows: attributes, delete and the unbuffered output file.
#include "platform/win32/windows_seam.h"

namespace quillet::platform {

std::optional<FileAttributes> GetFileAttributes(std::u16string_view path) {
  const DWORD attributes = ::GetFileAttributesW(win32::Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return FileAttributes{.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                        .device = (attributes & FILE_ATTRIBUTE_DEVICE) != 0};
}

bool DeleteFile(std::u16string_view path) { return ::DeleteFileW(win32::Wide(path).c_str()) != FALSE; }

bool MoveFileReplacing(std::u16string_view from, std::u16string_view to) {
  return ::MoveFileExW(win32::Wide(from).c_str(), win32::Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// fd_ holds the HANDLE; INVALID_HANDLE_VALUE is -1, so IsOpen() holds as is.
OutputFile::~OutputFile() { Close(); }

bool OutputFile::Create(std::u16string_view path) {
  if (IsOpen()) Close();
  HANDLE file = ::CreateFileW(win32::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  fd_ = file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(file);
  return IsOpen();
}

bool OutputFile::Write(const void* data, size_t size) {
  if (!IsOpen()) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(reinterpret_cast<HANDLE>(fd_), bytes, chunk, &written, nullptr) || written == 0) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

bool OutputFile::Close() {
  if (!IsOpen()) return false;
  HANDLE file = reinterpret_cast<HANDLE>(fd_);
  fd_ = -1;
  return ::CloseHandle(file) != FALSE;
}

}  // namespace quillet::platform
