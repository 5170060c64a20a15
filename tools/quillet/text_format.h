// printf-style appending to a string, without a length limit.
#pragma once

#include <cstdio>
#include <string>

namespace quillet::tool {

template <typename... Args>
void Append(std::string& out, const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  if (n <= 0) return;
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(n) + 1);
  std::snprintf(out.data() + at, static_cast<size_t>(n) + 1, format, args...);
  out.resize(at + static_cast<size_t>(n));
}

}  // namespace quillet::tool
