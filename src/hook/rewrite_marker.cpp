// Recognising the marker items of rewritten notes.
#include "hook/rewrite_marker.h"

#include <algorithm>

namespace quillet {

bool IsRewriteMarkerName(std::string_view name) {
  if (name.size() <= kRewriteMarkerSuffix.size() || !name.ends_with(kRewriteMarkerSuffix)) return false;
  const std::string_view digits = name.substr(0, name.size() - kRewriteMarkerSuffix.size());
  return std::all_of(digits.begin(), digits.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

bool CarriesRewriteMarker(NoteHandle note) {
  bool found = false;
  const STATUS status = Notes().ItemScan(note, [&](const ItemInfo& item) -> STATUS {
    found = found || (item.type == kTypeNumber && IsRewriteMarkerName(item.name));
    return kNoError;
  });
  return status == kNoError && found;
}

}  // namespace quillet
