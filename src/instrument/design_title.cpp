// Display titles of design notes.
#include "instrument/design_title.h"

#include <algorithm>

#include "config/message_catalog.h"
#include "design/item_text.h"
#include "lsobject/design_kind.h"
#include "lsobject/script_items.h"

namespace quillet {
namespace {

constexpr size_t kProfileLengthDigits = 3;

// Kinds named like files ("home.xsp"): the title is the name before its extension.
bool IsFileNamedKind(int32_t kind) {
  using namespace design_kind;
  return kind == kXPage || (kind >= kCompositeApplication && kind <= kPropertiesFile);
}

}  // namespace

std::string ProfileNameFromName(std::string_view name) {
  const size_t underscore = name.find('_');
  if (underscore == std::string_view::npos) return {};
  std::string_view rest = name.substr(underscore + 1);
  const std::string_view digits = rest.substr(0, std::min(kProfileLengthDigits, rest.size()));
  int length = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') break;
    length = length * 10 + (c - '0');
  }
  if (length <= 0) return {};
  rest.remove_prefix(digits.size());
  // A length beyond the text takes what there is.
  const std::string_view profile = rest.substr(0, std::min(static_cast<size_t>(length), rest.size()));
  rest.remove_prefix(profile.size());
  if (rest.empty()) return std::string(profile);
  return std::string(profile) + " - " + std::string(rest.substr(1));
}

void GetDesignTitle(NoteHandle note, std::string& text) {
  using namespace design_kind;
  const int32_t kind = GetDesignKind(note);
  if (kind == kDatabaseIcon || kind == kHelpAbout || kind == kHelpUsing) {
    text = DesignKindName(kind);
    return;
  }
  text.clear();
  if (kind == kDocument) {
    static_cast<void>(ReadItemAsLine(note, kDocumentTitleItem, text));
  } else if (kind == kProfileDocument) {
    std::string name;
    static_cast<void>(Notes().ItemText(note, kNameItem, name, kNameTextLimit + 1));
    text = ProfileNameFromName(name);
  } else {
    static_cast<void>(ReadItemAsLine(note, kTitleItem, text));
  }
  if (IsFileNamedKind(kind)) {
    if (const size_t dot = text.rfind('.'); dot != std::string::npos) text.resize(dot);
  }
  ItemInfo conflict;
  if (Notes().ItemFind(note, kConflictItem, conflict) == kNoError) text += " " + MessageText(kSaveConflictMessage);
}

}  // namespace quillet
