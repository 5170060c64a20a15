// Server-side error lines on the host console.
#pragma once

#include <cstddef>

#include "config/status.h"

namespace quillet {

inline constexpr size_t kLogErrorTextMax = 255;

// Writes "PROFILER: error: 0x%.4X. %s" with the full status and the formatted
// text (at most kLogErrorTextMax characters). Does nothing unless the
// application object is a server object and the status is non-zero; a
// status whose code is kErrReadOnly (582) is not reported either.
void LogError(Status32 status, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace quillet
