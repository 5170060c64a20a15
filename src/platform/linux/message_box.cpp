// The message box on Linux: there is no desktop, so it is printed to stderr.
#include <cstdio>

#include "platform/native.h"

namespace quillet::platform::native {

void ShowMessageBox(std::string_view title, std::string_view text) {
  std::fprintf(stderr, "[%.*s] %.*s\n", static_cast<int>(title.size()), title.data(),
               static_cast<int>(text.size()), text.data());
}

}  // namespace quillet::platform::native
