// Design kinds from note class and "$Flags" letters.
#include "lsobject/design_kind.h"

#include <string_view>

#include "config/message_catalog.h"

namespace quillet {
namespace {

constexpr std::string_view kProfileNameMarker = "$profile_";

bool Has(const std::string& text, char letter) { return text.find(letter) != std::string::npos; }

int32_t FormKind(const std::string& flags) {
  using namespace design_kind;
  // The letters are tested in this order; the first present one decides.
  static constexpr struct {
    char letter;
    int32_t kind;
  } kFormLetters[] = {{'U', kSubform},       {'#', kFrameset},          {'W', kPage},
                      {'i', kImageResource}, {'@', kAppletResource},    {'y', kSharedActions},
                      {'=', kStyleSheet},    {'|', kCompositeApplication}, {':', kWiringProperties}};
  for (const auto& rule : kFormLetters)
    if (Has(flags, rule.letter)) return rule.kind;
  if (!Has(flags, 'g')) return Has(flags, 'z') ? kDb2AccessView : kForm;
  // Design resources ("g"): files of one kind or another.
  static constexpr struct {
    char letter;
    int32_t kind;
  } kResourceLetters[] = {{'2', kPropertiesFile}, {'K', kXPage},      {'`', kTheme},
                          {';', kCustomControl},  {'_', kComponent}, {'[', kJavaFile}};
  for (const auto& rule : kResourceLetters)
    if (Has(flags, rule.letter)) return rule.kind;
  return kFileResource;
}

int32_t ViewKind(const std::string& flags) {
  using namespace design_kind;
  if (Has(flags, 'G')) return kNavigator;
  if (Has(flags, 'F')) return kFolder;
  if (Has(flags, '^')) return kSharedColumn;
  return kView;
}

int32_t FilterKind(const std::string& flags, const std::string& flagsExt) {
  using namespace design_kind;
  if (Has(flags, 'm')) return kOutline;
  if (Has(flags, 'f')) return kAgent;
  if (Has(flags, 't')) return kDatabaseScript;
  if (Has(flags, 's') || Has(flags, 'h')) return Has(flagsExt, 'W') ? kWebserviceConsumer : kScriptLibrary;
  if (Has(flags, '.')) return kScriptLibrary;
  if (Has(flags, 'k')) return kDataConnection;
  if (Has(flags, 'X') || Has(flags, 'Q')) return kDesignNote;
  if (Has(flags, '{')) return kWebService;
  return kV3Macro;
}

}  // namespace

int32_t DesignKindOf(uint16_t noteClass, const std::string& name, const std::string& flags,
                     const std::string& flagsExt) {
  using namespace design_kind;
  if (noteClass & kNoteClassDocument)
    return name.find(kProfileNameMarker) != std::string::npos ? kProfileDocument : kDocument;
  if (noteClass & kNoteClassDesign) return kDesignNote;
  if (noteClass & kNoteClassForm) return FormKind(flags);
  if (noteClass & kNoteClassView) return ViewKind(flags);
  if (noteClass & kNoteClassFilter) return FilterKind(flags, flagsExt);
  if (noteClass & kNoteClassField) return kSharedField;
  if (noteClass & kNoteClassInfo) return kHelpAbout;
  if (noteClass & kNoteClassHelp) return kHelpUsing;
  if (noteClass & kNoteClassIcon) return kDatabaseIcon;
  if (noteClass & kNoteClassReplFormula) return kReplicationFormula;
  return (noteClass & kNoteClassDocument) ? kDocument : kDesignNote;
}

int32_t GetDesignKind(NoteHandle note) {
  NotesApi& notes = Notes();
  const uint16_t noteClass = notes.NoteClass(note);
  std::string name, flags, flagsExt;
  if (noteClass & kNoteClassDocument) {
    static_cast<void>(notes.ItemText(note, kNameItem, name, kNameTextLimit + 1));
  } else if ((noteClass & kNoteClassDesign) == 0) {
    static_cast<void>(notes.ItemText(note, kFlagsItem, flags, kFlagsTextLimit + 1));
    static_cast<void>(notes.ItemText(note, kFlagsExtItem, flagsExt, kFlagsTextLimit + 1));
  }
  return DesignKindOf(noteClass, name, flags, flagsExt);
}

std::string DesignKindName(int32_t kind) {
  return MessageText(kDesignKindMessageBase + static_cast<uint32_t>(kind));
}

}  // namespace quillet
