// Status words: 16-bit host statuses (low 14 bits the code, bits 14-15 flags)
// and the system's own 32-bit codes above 0xFFFF. Owners of further codes add
// them next to their message tables.
#pragma once

#include <cstdint>

namespace quillet {

// A host status as the host's C interface passes it.
using StatusWord = uint16_t;

// A host status as the host returns it. A thin value type only so that a
// status cannot be dropped unseen ([[nodiscard]]); it converts to and from
// its 16-bit word, so values and comparisons are the word's own. Deliberate
// discards are written static_cast<void>(...).
class [[nodiscard]] STATUS {
 public:
  constexpr STATUS() = default;
  constexpr STATUS(StatusWord word) : word_(word) {}
  constexpr operator StatusWord() const { return word_; }

 private:
  StatusWord word_ = 0;
};

// A host status or one of the system's own codes above 0xFFFF; as STATUS,
// never dropped unseen.
class [[nodiscard]] Status32 {
 public:
  constexpr Status32() = default;
  constexpr Status32(uint32_t code) : code_(code) {}
  constexpr Status32(STATUS status) : code_(status) {}
  constexpr operator uint32_t() const { return code_; }

 private:
  uint32_t code_ = 0;
};

inline constexpr uint16_t kStatusCodeMask = 0x3FFF;

// The code of a host status with its flag bits 14 and 15 cleared.
constexpr uint16_t StatusCode(uint32_t status) { return static_cast<uint16_t>(status & kStatusCodeMask); }

inline constexpr STATUS kNoError = 0;
inline constexpr STATUS kErrFileNotFound = 0x0103;        // database or file does not exist
inline constexpr STATUS kErrNoModifiedNotes = 572;        // 0x023C: nothing modified since the given time
inline constexpr STATUS kErrItemNotFound = 0x0222;        // 546: item not found
inline constexpr STATUS kErrFunctionNotAvailable = 546;   // same word: a host function is not available
inline constexpr STATUS kErrNoteNotFound = 0x0224;        // note ID or universal ID not in the database
inline constexpr STATUS kErrInvalidHandle = 0x0118;       // handle unknown to the host
inline constexpr STATUS kErrInvalidArgument = 0x0117;     // argument the host refuses
inline constexpr STATUS kErrBufferTooSmall = 0x0206;      // value or buffer too small
inline constexpr STATUS kErrQueueExists = 0x0A01;         // message queue already exists
inline constexpr STATUS kErrQueueNotFound = 0x0A02;       // message queue does not exist
inline constexpr STATUS kErrQueueFull = 0x0A03;           // message queue quota reached
inline constexpr STATUS kErrRemoveMessage = 1131;         // queue-scan callback result: remove this message
inline constexpr STATUS kErrWrongPassword = 0x1969;       // ID file password does not match
inline constexpr STATUS kErrNotSigned = 0x0243;           // note carries no signature
inline constexpr STATUS kErrAttachmentNotFound = 0x0227;  // attachment item missing
inline constexpr STATUS kErrFileExists = 0x0113;          // target file or database exists
inline constexpr STATUS kErrReadOnly = 0x0246;            // 582: write access refused (ignored by LogError)
inline constexpr STATUS kStampNotesHandled = 0x3300;      // probe answered, host stamps nothing
inline constexpr STATUS kErrDesignSaveRefused = 0x8246;   // design save refused while profiling
inline constexpr STATUS kErrFileWriteFailed = 0x0108;     // a file could not be created or written
inline constexpr STATUS kErrNotIdFile = 0x1968;           // the file is not an ID file
inline constexpr STATUS kErrUnknownStructure = 0x0119;    // no fixed structure has this structure code
inline constexpr STATUS kErrBadCompositeRecord = 0x011A;  // a composite-data record does not fit its value
inline constexpr STATUS kErrValuesHeld = 0x011B;          // the note cannot change while its item values are viewed
inline constexpr STATUS kErrInvalidFormula = 0x050C;      // a compiled formula is malformed

// The system's own codes (texts in the message catalogue).
inline constexpr Status32 kErrStringNotFound = 67703;     // 0x10877 "Error: String not found"
inline constexpr Status32 kErrEntryNotFound = 67674;      // 0x1085A "Entry not found"

}  // namespace quillet
