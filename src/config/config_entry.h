// The item rules of a configuration document: how each item's text or
// number becomes a field of ConfigEntry.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "config/notes_api.h"

namespace quillet {

inline constexpr size_t kConfigTextMax = 255;  // text items are read into 256-byte buffers

// An agent note ID written in hexadecimal ("2A", "0x2A", surrounding blanks
// allowed); none for empty text, a non-hex character or more than 8 digits.
std::optional<uint32_t> ParseHexNoteId(std::string_view text);

// A universal ID written as 32 hexadecimal digits in four groups of 8; the
// groups are the ID's second, first, fourth and third 32-bit words (the
// order FormatUNID prints). Text after the 32 digits is ignored. None when
// fewer than 32 hexadecimal digits start the text.
std::optional<Unid> ParseUnidText(std::string_view text);

// "AgentRunCount": the number truncated toward zero and held to the 32-bit
// range; 1 when the item is absent or not a number (nullopt).
int32_t RunCountFrom(std::optional<double> number);

// "AgentProfileFlags": "ENTRY" 0x80, "FUNC_LINE" 3, "FUNC" 1, any other 3,
// letter case ignored.
int32_t ProfileFlagsFrom(std::string_view text);

// "Enabled": the text "1".
bool EnabledFrom(std::string_view text);

}  // namespace quillet
