// Writing and checking simulated ID files.
#include "sim/sim_idfile.h"

#include <fstream>
#include <sstream>

namespace quillet::sim {

namespace {
constexpr std::string_view kMagic = "QUILLET-SIM-ID 1";
constexpr std::string_view kUserKey = "user=";
constexpr std::string_view kPasswordKey = "password=";

bool TakeValue(std::istream& in, std::string_view key, std::string& value) {
  std::string line;
  if (!std::getline(in, line) || !line.starts_with(key)) return false;
  value = line.substr(key.size());
  return true;
}
}  // namespace

STATUS WriteIdFile(const std::string& path, std::string_view user, std::string_view password) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << kMagic << '\n' << kUserKey << user << '\n' << kPasswordKey << password << '\n';
  out.close();
  return out ? kNoError : kErrFileWriteFailed;
}

STATUS OpenIdFile(const std::string& path, std::string_view password, std::string& user) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return kErrFileNotFound;
  std::string magic, name, secret;
  if (!std::getline(in, magic) || magic != kMagic || !TakeValue(in, kUserKey, name) ||
      !TakeValue(in, kPasswordKey, secret)) {
    return kErrNotIdFile;
  }
  if (secret != password) return kErrWrongPassword;
  user = std::move(name);
  return kNoError;
}

}  // namespace quillet::sim
