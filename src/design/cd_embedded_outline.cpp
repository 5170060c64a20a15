// Embedded outlines, piece by piece, their image links rebuilt in place.
#include "design/cd_embedded_outline.h"

#include <array>

#include "design/cd_fixed.h"
#include "design/cd_href.h"
#include "design/code_location.h"
#include "design/design_messages.h"
#include "util/bytes.h"

namespace quillet {
namespace {

constexpr uint16_t kStructEmbeddedOutline = 620;
constexpr size_t kRecordLengthAt = 2;
constexpr size_t kFlagsAt = 4;
constexpr size_t kLabelLengthAt = 24;
struct OutlineText {
  size_t lengthAt;
  uint32_t flag;  // set when the text is stored
};
constexpr OutlineText kTexts[] = {{46, 0x400}, {48, 0x800}, {246, 0x80000}};

constexpr uint16_t kSigImageLink = 0xFFF6;
constexpr size_t kLinkHeaderSize = 4;
constexpr size_t kLinkFixedSize = 26;  // a resource link's fixed part
constexpr size_t kMaxImages = 4;
constexpr uint8_t kImagePad = 0x3F;  // what writers put after an odd image link
constexpr int32_t kEntryEmbeddedOutline = 30;
constexpr int32_t kEntryFirstImage = 33;  // control, title, top-level, sub-level image

// The image links at the start of `rest`, each with its pad byte; stops at
// the first bytes that are not a whole link.
size_t ImageLinks(std::span<const uint8_t> rest, std::array<std::span<const uint8_t>, kMaxImages>& links) {
  size_t count = 0;
  size_t pos = 0;
  while (count < kMaxImages && rest.size() - pos >= kLinkHeaderSize && LoadU16(rest.data() + pos) == kSigImageLink) {
    const size_t length = LoadU16(rest.data() + pos + 2);
    const size_t padded = length + length % 2;
    if (length < kLinkFixedSize || padded > rest.size() - pos) break;
    links[count++] = rest.subspan(pos, padded);
    pos += padded;
  }
  return count;
}

// Emits an image link as a resource link record under its own entry, and
// its pad byte (the stored one) when its new length is odd.
Status32 EmitImage(std::span<const uint8_t> stored, int32_t entry, const RewriteArgs& args, RecordBuffer& out) {
  const size_t length = LoadU16(stored.data() + 2);
  const uint8_t pad = length % 2 != 0 ? stored[length] : kImagePad;
  CodeLocation* location = args.location;
  if (location != nullptr) location->Push(entry, "");
  const size_t start = out.length();
  const CKVXCDHRef link(kSigImageLink, stored.first(length));
  Status32 status = link.Emit(args, out);
  if (status == kNoError && (out.length() - start) % 2 != 0) status = out.Append(std::span(&pad, 1));
  if (location != nullptr) {
    location->DropTransient();
    location->Pop();
  }
  return status;
}

}  // namespace

Status32 CKVXCDEmbeddedOutline::Emit(const RewriteArgs& args, RecordBuffer& out) const {
  CdFixedRecord fixed;
  if (Status32 status = fixed.Read(kStructEmbeddedOutline, Data())) return status;
  if (args.location != nullptr) args.location->Replace(kEntryEmbeddedOutline, "");
  const uint32_t flags = fixed.U32(kFlagsAt);
  if (fixed.U16(kLabelLengthAt) != 0) return CopyRaw(out);
  std::array<std::span<const uint8_t>, std::size(kTexts)> texts;
  for (size_t i = 0; i < texts.size(); ++i) {
    const uint16_t length = fixed.U16(kTexts[i].lengthAt);
    if (length != 0 && (flags & kTexts[i].flag) == 0) return CopyRaw(out);
    if (!fixed.Piece(length, texts[i])) return kErrBadCompositeRecord;
  }
  std::array<std::span<const uint8_t>, kMaxImages> images;
  const size_t imageCount = ImageLinks(fixed.Rest(), images);
  size_t imageBytes = 0;
  for (size_t i = 0; i < imageCount; ++i) imageBytes += images[i].size();

  if (Status32 status = fixed.Begin(out)) return status;
  for (size_t i = 0; i < texts.size(); ++i) {
    size_t length = 0;
    if (Status32 status = fixed.Emit(PieceKind::Text, texts[i], args, out, length)) return status;
    fixed.SetU16(kTexts[i].lengthAt, static_cast<uint16_t>(length));
  }
  for (size_t i = 0; i < imageCount; ++i) {
    if (Status32 status = EmitImage(images[i], kEntryFirstImage + static_cast<int32_t>(i), args, out)) return status;
  }
  if (Status32 status = out.Append(fixed.Rest().subspan(imageBytes))) return status;
  return fixed.Finish(out, kRecordLengthAt);
}

}  // namespace quillet
