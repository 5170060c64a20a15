// LogError: the server's console error line.
#include "hook/log_error.h"

#include <cstdarg>
#include <cstdio>

#include "config/notes_api.h"
#include "hook/quillet_app.h"

namespace quillet {

void LogError(Status32 status, const char* format, ...) {
  const AppUse app;
  if (!app || !app->IsServer()) return;
  // Only the flag bits 14-15 are cleared: a 32-bit code is compared whole.
  if (status == 0 || (status & ~0xC000u) == kErrReadOnly) return;
  char text[kLogErrorTextMax + 1] = {};
  if (format != nullptr) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
  }
  char line[kLogErrorTextMax + 64];
  std::snprintf(line, sizeof line, "PROFILER: error: 0x%.4X. %s", static_cast<unsigned>(status), text);
  Notes().ConsoleLine(line);
}

}  // namespace quillet
