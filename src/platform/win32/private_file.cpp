// Owner-only files on Windows: created new, shared with no other opener, in
// a place whose access list the caller chose (the data directory).
#include "platform/private_file.h"
#include "platform/win32/windows_seam.h"

namespace quillet::platform {

bool CreatePrivateFile(std::u16string_view path) {
  HANDLE file = ::CreateFileW(win32::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  return ::CloseHandle(file) != 0;
}

}  // namespace quillet::platform
