// The texts the simulated host gives for the statuses it returns.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <utility>

#include "config/status.h"

namespace quillet::sim {

inline constexpr std::array<std::pair<uint16_t, std::string_view>, 22> kSimStatusTexts{{
    {kErrFileNotFound, "File does not exist"},
    {kErrNoModifiedNotes, "No documents have been modified since specified time."},
    {kErrItemNotFound, "Note item not found"},
    {kErrNoteNotFound, "Invalid or nonexistent document"},
    {kErrInvalidHandle, "Invalid handle"},
    {kErrInvalidArgument, "Invalid argument"},
    {kErrBufferTooSmall, "Buffer is too small"},
    {kErrQueueExists, "Message queue already exists"},
    {kErrQueueNotFound, "Message queue does not exist"},
    {kErrQueueFull, "Message queue is full"},
    {kErrRemoveMessage, "Remove message from queue"},
    {kErrWrongPassword, "Wrong Password. (Passwords are case sensitive - be sure to use correct upper and lower case.)"},
    {kErrNotSigned, "Document is not signed."},
    {kErrAttachmentNotFound, "Attachment not found"},
    {kErrFileExists, "File already exists"},
    {kErrReadOnly, "You are not authorized to perform that operation"},
    {kErrFileWriteFailed, "Cannot write file"},
    {kErrNotIdFile, "The file is not an ID file"},
    {kErrUnknownStructure, "Unknown structure type"},
    {kErrBadCompositeRecord, "Invalid composite data record"},
    {kErrValuesHeld, "Document items are locked in memory"},
    {kErrInvalidFormula, "Invalid formula format"},
}};

}  // namespace quillet::sim
