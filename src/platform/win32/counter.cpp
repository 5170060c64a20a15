// The performance counter on Windows.
#include "platform/win32/windows_seam.h"

namespace quillet::platform {

int64_t PerformanceCounter() {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return now.QuadPart;
}

int64_t PerformanceFrequency() {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart;
}

}  // namespace quillet::platform
