// Whole-file reads and writes for the tool's commands.
#include "tools/quillet/tool_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

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
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    error = Reason(path);
    return false;
  }
  if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() || std::fflush(file.get()) != 0) {
    error = Reason(path);
    return false;
  }
  return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  return WriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error);
}

int Fail(std::string_view command, std::string_view message) {
  std::fprintf(stderr, "quillet %.*s: %.*s\n", static_cast<int>(command.size()), command.data(),
               static_cast<int>(message.size()), message.data());
  return kExitFailed;
}

}  // namespace quillet::tool
