// InstrumentCodeBlob: one piece of object code met in a rich-text item,
// rewritten in place of the old bytes or copied as it was.
#include <exception>
#include <string>
#include <vector>

#include "config/message_catalog.h"
#include "design/code_location.h"
#include "instrument/module_instrument.h"
#include "instrument/note_instrument.h"
#include "lsobject/module_text.h"

namespace quillet {
namespace {

// The record that carries object code has a 12-byte header, and a record's
// length is a 16-bit word: the image must leave room for both.
constexpr size_t kObjectRecordHeader = 12;
constexpr size_t kRecordLengthLimit = 0xFFFF;

// Cuts `out` back to where the blob began and appends the blob unchanged.
Status32 CopyUnchanged(RecordBuffer& out, size_t start, std::span<const uint8_t> piece) {
  out.Truncate(start);
  return out.Append(piece);
}

// "Instrument failed: Hotspot > 64k: (%d) %s." with the blob's position and
// place; the place goes in verbatim, never read as a format.
void AddHotspotMessage(CLSProfileApp& profile, const ItemContext& context) {
  std::string text = MessageText(kErrHotspotTooLarge);
  if (const size_t at = text.find("%d"); at != std::string::npos) {
    text.replace(at, 2, std::to_string(context.HotspotCount));
  }
  if (const size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, context.DisplayName);
  profile.Messages.push_back(std::move(text));
}

// Appends the new image, padded to even; false (out as it was) when the
// record could not hold it.
bool AppendImage(RecordBuffer& out, size_t start, const std::vector<uint8_t>& image) {
  if (image.size() + kObjectRecordHeader >= kRecordLengthLimit) return false;
  if (out.Append(image) == kNoError && (image.size() % 2 == 0 || out.AppendZeros(1) == kNoError)) return true;
  out.Truncate(start);
  return false;
}

Status32 RewriteBlob(std::span<const uint8_t> piece, RecordBuffer& out, CodeLocation* location, CodeBlobUser& user) {
  ItemContext& context = *user.context;
  CLSProfileApp& profile = *user.profile;
  ++context.HotspotCount;
  const size_t start = out.length();

  const NotesModuleText text(Notes());
  CLSScriptModule module(text);
  ResetSymbolHandles(profile);
  if (!module.Parse(piece)) return CopyUnchanged(out, start, piece);
  if (IsInstrumentedModule(module)) {
    RegisterModule(module, context, profile);
    if (const Status32 status = out.Append(piece)) return status;
    RemapModuleKey(profile, NoteHandle{context.NoteHandle}, module);
    return kNoError;
  }
  context.DisplayName = location != nullptr ? location->Render() : std::string();
  // A module that failed part-way is not written: it may hold half a timer
  // class. Its blob keeps the code it had, as a script item would.
  if (InstrumentModule(module, context, profile) != kNoError) return CopyUnchanged(out, start, piece);
  const std::vector<uint8_t> image = module.Serialize();
  if (!AppendImage(out, start, image)) {
    *user.status = kErrHotspotTooLarge;
    AddHotspotMessage(profile, context);
    return CopyUnchanged(out, start, piece);
  }
  RemapModuleKey(profile, NoteHandle{context.NoteHandle}, module);
  return kNoError;
}

}  // namespace

Status32 InstrumentCodeBlob(PieceKind /*kind*/, std::span<const uint8_t> piece, uint32_t /*flags*/, RecordBuffer& out,
                            CodeLocation* location, void* user) {
  const size_t start = out.length();
  try {
    return RewriteBlob(piece, out, location, *static_cast<CodeBlobUser*>(user));
  } catch (...) {
    // Nothing of a failed rewrite reaches the record: the old bytes stay.
    return CopyUnchanged(out, start, piece);
  }
}

}  // namespace quillet
