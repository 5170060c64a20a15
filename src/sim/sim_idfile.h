// Simulated ID files: small text files on disk naming a user and a password.
//   line 1  "QUILLET-SIM-ID 1"
//   line 2  "user=" + user name
//   line 3  "password=" + password
#pragma once

#include <string>
#include <string_view>

#include "config/status.h"

namespace quillet::sim {

// Writes an ID file at `path` (created or replaced).
[[nodiscard]] STATUS WriteIdFile(const std::string& path, std::string_view user, std::string_view password);

// Reads the ID file at `path` and checks `password` (exact match). Returns
// 0x103 when the file is missing, kErrNotIdFile when it is not an ID file,
// kErrWrongPassword when the password differs; on success `user` is set.
[[nodiscard]] STATUS OpenIdFile(const std::string& path, std::string_view password, std::string& user);

}  // namespace quillet::sim
