// Reading the runnable modules of an open note.
#include "sim/client/note_scripts.h"

#include <algorithm>

#include "design/cd_lsobject.h"
#include "sim/client/design_notes.h"
#include "util/ascii.h"
#include "util/bytes.h"

namespace quillet::sim {
namespace {

inline constexpr size_t kLsObjectHeader = 12;  // signature, length, code size, reserved
inline constexpr size_t kCodeSizeOffset = 4;

// The code of one object-code record; empty when its code size overruns it.
std::vector<uint8_t> RecordCode(std::span<const uint8_t> record) {
  if (record.size() < kLsObjectHeader) return {};
  const uint32_t size = LoadU32(record.data() + kCodeSizeOffset);
  if (size > record.size() - kLsObjectHeader) return {};
  return {record.begin() + kLsObjectHeader, record.begin() + kLsObjectHeader + size};
}

}  // namespace

STATUS ReadNoteScripts(NotesApi& host, NoteHandle note, std::vector<NoteScript>& scripts) {
  std::vector<NoteScript> modules;
  std::vector<NoteScript> buttons;
  STATUS status = host.ItemScan(note, [&](const ItemInfo& item) -> STATUS {
    if (item.value.size() < 2) return kNoError;
    const std::span<const uint8_t> data = std::span(item.value).subspan(2);
    if (AsciiEqualNoCase(item.name, kFormBodyItem) && item.type == kTypeCompositeData) {
      static_cast<void>(host.EnumerateCompositeRecords(item.value, [&](uint16_t signature,
                                                                       std::span<const uint8_t> record) -> STATUS {
        if (signature != kSigLsObject) return kNoError;
        std::vector<uint8_t> code = RecordCode(record);
        if (!code.empty()) buttons.push_back(NoteScript{item.name, std::move(code)});
        return kNoError;
      }));
      return kNoError;
    }
    if (item.type != kTypeLsObject) return kNoError;
    auto same = std::find_if(modules.begin(), modules.end(),
                             [&](const NoteScript& module) { return AsciiEqualNoCase(module.itemName, item.name); });
    if (same == modules.end()) same = modules.insert(modules.end(), NoteScript{item.name, {}});
    same->image.insert(same->image.end(), data.begin(), data.end());
    return kNoError;
  });
  if (status != kNoError) return status;
  scripts = std::move(modules);
  scripts.insert(scripts.end(), std::make_move_iterator(buttons.begin()), std::make_move_iterator(buttons.end()));
  return kNoError;
}

}  // namespace quillet::sim
