// Which items of a design note hold compiled LotusScript, and the names,
// limits and marker that loading and storing modules in notes use.
//
// A module image is stored in items of at most kScriptItemLimit bytes each
// (without the 2-byte type word); an agent whose image is longer keeps it in
// "$AgentHScript_O" (text type) and an empty script action in
// "$AssistAction_Ex":
//
//   | off | width | value  | meaning                                  |
//   |   0 | u16   | 0x0281 | action-header record                     |
//   |   2 | u16   | 0xFF85 | script action record                     |
//   |   4 | u16   | 12     | its length                               |
//   |   6 | u16   | 0      | action flags, low word                   |
//   |   8 | u32   | 0      | action flags high word, script length low |
//   |  12 | u16   | 0      | script length high word                  |
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/notes_api.h"

namespace quillet {

inline constexpr size_t kScriptItemLimit = 61310;  // 0xEF7E bytes of image per item

inline constexpr char kAgentActionItem[] = "$AssistAction_Ex";
inline constexpr char kAgentLargeScriptItem[] = "$AgentHScript_O";
inline constexpr char kDatabaseScriptItem[] = "$DBScript_O";
inline constexpr char kScriptLibraryItem[] = "$ScriptLib_O";
inline constexpr char kGlobalScriptItem[] = "$$Script_O";
inline constexpr char kBodyItem[] = "$Body";
inline constexpr char kViewMapLayoutItem[] = "$ViewMapLayout";
// Action bars of forms, subforms, pages and views: rich text whose actions
// may carry object code ("$V5ACTIONS" holds the actions older releases
// cannot read).
inline constexpr char kActionsItem[] = "$ACTIONS";
inline constexpr char kV5ActionsItem[] = "$V5ACTIONS";
inline constexpr char kTitleItem[] = "$TITLE";
inline constexpr char kGlobalsTitleSuffix[] = " (Globals)";
inline constexpr uint16_t kTitleTextLimit = 130;

// The one other data type a module is loaded from (a large agent's code).
inline constexpr uint16_t kTypeScriptAsText = kTypeText;

// An agent action that runs no code: a script action of an empty script.
inline constexpr std::array<uint8_t, 14> kEmptyScriptAction = {0x81, 0x02, 0x85, 0xFF, 12, 0, 0, 0,
                                                               0,    0,    0,    0,    0,  0};

// A module saved without a script item to replace goes into an item of this
// data type, signed like every stored script item.
inline constexpr uint16_t kNewScriptItemType = kTypeLsObject;
inline constexpr uint16_t kNewScriptItemFlags = kItemSigned | kItemSummary;

// Statuses of the script items (texts in the message catalogue).
inline constexpr Status32 kErrModuleNotWritten = 0x10878;  // "The module could not be written"

// Whether an item of this name and data type holds object code: type 20, or
// one of the script item names (exact comparison).
bool IsScriptItem(std::string_view name, uint16_t type);

// Whether the script item is rich text whose records carry pieces of object
// code ("$Body", "$ViewMapLayout", the action bars; ignoring case) rather
// than a whole module.
bool IsRichTextScriptItem(std::string_view name);

// Whether a loaded module may come from an item of this data type.
constexpr bool IsLoadableScriptType(uint16_t type) { return type == kTypeLsObject || type == kTypeScriptAsText; }

// The names of the note's script items, each once (names that differ only in
// case count as one), sorted ascending ignoring case. A failing item scan
// returns its status and leaves `names` empty. Exceptions from the host
// pass through to the caller's boundary.
[[nodiscard]] STATUS ListScriptItems(NoteHandle note, std::vector<std::string>& names);

// "%X_KVX": the name of the marker item of a module stored with `checksum`.
std::string MarkerItemName(uint32_t checksum);

}  // namespace quillet
