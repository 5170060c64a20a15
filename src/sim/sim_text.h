// Text services of the simulated host, whose character set is UTF-8 (standing
// in for LMBCS): translation, comparison, status texts and network paths.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/status.h"

namespace quillet::sim {

// Modes 0 and 24 copy; 3 upper-cases; 20 gives UTF-16LE bytes; 23 reads
// UTF-16LE bytes (an odd byte count is refused). Other modes: 0x0117.
[[nodiscard]] STATUS TranslateText(uint16_t mode, std::span<const uint8_t> in, std::vector<uint8_t>& out);

// Upper case of ASCII and Latin-1 letters in UTF-8 text; other bytes stay.
std::string UpperText(std::string_view text);

// Option 3 compares the upper-cased texts, every other option the bytes as
// they are. Unsigned bytewise; a proper prefix orders first.
int CompareText(std::string_view a, std::string_view b, uint16_t option);

// The simulator's text for a status (flag bits 14-15 ignored); false when none.
bool StatusTextOf(STATUS status, std::string& text);

// "server!!file", or the file alone when the server is empty.
std::string BuildNetworkPath(std::string_view server, std::string_view file);

}  // namespace quillet::sim
