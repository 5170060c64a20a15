// The design-element kind of a note, decided from its class and design
// flags, and the kind's display name from the message catalogue.
#pragma once

#include <cstdint>
#include <string>

#include "config/notes_api.h"

namespace quillet {

// Design-kind codes; the display name of kind k is message kDesignKindMessageBase + k.
namespace design_kind {
inline constexpr int32_t kNone = 0;
inline constexpr int32_t kForm = 1;
inline constexpr int32_t kSubform = 2;
inline constexpr int32_t kView = 3;
inline constexpr int32_t kNavigator = 4;
inline constexpr int32_t kSharedField = 5;
inline constexpr int32_t kDatabaseIcon = 6;
inline constexpr int32_t kAgent = 7;
inline constexpr int32_t kV3Macro = 8;
inline constexpr int32_t kHelpAbout = 9;
inline constexpr int32_t kHelpUsing = 10;
inline constexpr int32_t kScriptLibrary = 11;
inline constexpr int32_t kDatabaseScript = 12;
inline constexpr int32_t kFolder = 13;
inline constexpr int32_t kDesignNote = 14;
inline constexpr int32_t kDocument = 15;
inline constexpr int32_t kOutline = 16;
inline constexpr int32_t kFrameset = 17;
inline constexpr int32_t kPage = 18;
inline constexpr int32_t kImageResource = 19;
inline constexpr int32_t kAppletResource = 20;
inline constexpr int32_t kSharedActions = 21;
inline constexpr int32_t kReplicationFormula = 22;
inline constexpr int32_t kProfileDocument = 27;
inline constexpr int32_t kFileResource = 30;
inline constexpr int32_t kStyleSheet = 31;
inline constexpr int32_t kDataConnection = 32;
inline constexpr int32_t kSharedColumn = 33;
inline constexpr int32_t kWebService = 34;
inline constexpr int32_t kDb2AccessView = 35;
inline constexpr int32_t kXPage = 36;
inline constexpr int32_t kWebserviceConsumer = 37;
inline constexpr int32_t kCompositeApplication = 38;
inline constexpr int32_t kWiringProperties = 39;
inline constexpr int32_t kComponent = 40;
inline constexpr int32_t kCustomControl = 41;
inline constexpr int32_t kTheme = 42;
inline constexpr int32_t kJavaFile = 43;
inline constexpr int32_t kPropertiesFile = 44;
inline constexpr int32_t kLast = kPropertiesFile;
}  // namespace design_kind

inline constexpr uint32_t kDesignKindMessageBase = 0x1095F;
// "(**Save Conflict**)", appended to the title of a note in conflict.
inline constexpr uint32_t kSaveConflictMessage = 0x1084E;

// Design items the kind is read from, and how many bytes of each are read.
inline constexpr char kNameItem[] = "$Name";
inline constexpr char kFlagsItem[] = "$Flags";
inline constexpr char kFlagsExtItem[] = "$FlagsExt";
inline constexpr uint16_t kNameTextLimit = 254;
inline constexpr uint16_t kFlagsTextLimit = 31;

// The kind of `note`: documents (15, profile documents 27), design notes of
// class 0x0020 (14), forms, views and filters by their "$Flags" letters,
// other design classes by class bit.
int32_t GetDesignKind(NoteHandle note);

// The kind decided from the class and the two flag texts alone (the rule
// GetDesignKind applies once it has read them).
int32_t DesignKindOf(uint16_t noteClass, const std::string& name, const std::string& flags,
                     const std::string& flagsExt);

// The display name of `kind` ("Agent", "Script Library", ...); the
// catalogue's "Undef" text for a code without a name.
std::string DesignKindName(int32_t kind);

}  // namespace quillet
