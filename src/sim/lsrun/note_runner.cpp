// Loading a module from an open note's items for the runner.
#include "sim/lsrun/note_runner.h"

#include <memory>

#include "config/host_text.h"
#include "design/code_location.h"
#include "design/design_messages.h"
#include "design/item_reader.h"

namespace quillet {
namespace {

constexpr std::string_view kActionItem = "$AssistAction_Ex";
constexpr std::string_view kLargeAgentItem = "$AgentHScript_O";
constexpr size_t kTypeWordSize = 2;

RunResult Failed(std::string error) {
  RunResult result;
  result.error = std::move(error);
  return result;
}

// Records every object-code piece and hands it back unchanged, so that the
// record walk goes on exactly as a rewrite would; nothing is written.
Status32 CollectPiece(PieceKind kind, std::span<const uint8_t> piece, uint32_t, RecordBuffer& out,
                      CodeLocation* location, void* user) {
  if (kind == PieceKind::ObjectCode) {
    static_cast<std::vector<NoteCodePiece>*>(user)->push_back(
        {location != nullptr ? location->Render() : std::string(), {piece.begin(), piece.end()}});
  }
  return out.Append(piece);
}

}  // namespace

STATUS ReadScriptItemImage(NoteHandle note, std::string_view itemName, std::vector<uint8_t>& image) {
  image.clear();
  ItemInfo info;
  STATUS status = Notes().ItemFind(note, itemName, info);
  if (status != kNoError) return status;
  const bool firstOnly = HostCompare(itemName, kActionItem, kCompareExact) == 0;
  while (status == kNoError) {
    if (info.value.size() >= kTypeWordSize) image.insert(image.end(), info.value.begin() + kTypeWordSize, info.value.end());
    if (firstOnly) break;
    status = Notes().ItemFindNext(note, info.item, info);
  }
  return kNoError;
}

RunResult RunNoteItem(NoteHandle note, std::string_view itemName, const RunOptions& options) {
  std::vector<uint8_t> image;
  if (ReadScriptItemImage(note, itemName, image) != kNoError) {
    return Failed("the note has no item '" + std::string(itemName) + "'");
  }
  return RunModule(image, options);
}

RunResult RunAgent(NoteHandle note, const RunOptions& options) {
  ItemInfo info;
  const bool large = Notes().ItemFind(note, kLargeAgentItem, info) == kNoError;
  return RunNoteItem(note, large ? kLargeAgentItem : kActionItem, options);
}

Status32 ListObjectCode(NoteHandle note, std::string_view itemName, std::vector<NoteCodePiece>& pieces) {
  pieces.clear();
  CKVXItemReader reader;
  if (const Status32 status = reader.Open(note, itemName, kReadPlaceholder)) return status;
  std::unique_ptr<CodeLocation> location;
  if (const Status32 status = CodeLocation::Create(location)) return status;
  const RewriteArgs args{kRewriteObjectCode, location.get(), &CollectPiece, &pieces};
  RecordBuffer scratch;
  std::unique_ptr<RewriteCursor> cursor;
  Status32 status = kNoError;
  do {
    scratch.Clear();
    status = reader.value()->Rewrite(args, scratch, cursor);
  } while (status == kNoError && cursor);
  return status == kStatusNothingToWrite ? kNoError : status;
}

RunResult RunNoteObjectCode(NoteHandle note, std::string_view itemName, std::string_view place,
                            const RunOptions& options, size_t index) {
  std::vector<NoteCodePiece> pieces;
  if (const Status32 status = ListObjectCode(note, itemName, pieces)) {
    return Failed("the rich text of '" + std::string(itemName) + "' cannot be read: status " + std::to_string(status));
  }
  size_t seen = 0;
  for (const NoteCodePiece& piece : pieces) {
    if (piece.place == place && seen++ == index) return RunModule(piece.image, options);
  }
  return Failed("no object code at '" + std::string(place) + "'");
}

}  // namespace quillet
