// Serialize: from the module's sections to a new record image.
#include "lsobject/ls_script_module.h"

namespace quillet {
namespace {

// Record bytes a multi-section needs: its data plus one 8-byte header per
// chunk (each segment is chunked on its own).
size_t RecordBytes(const CMultiSection& s) {
  const size_t chunks = static_cast<size_t>(s.Length()) / multi::kMaxChunk + s.SegmentSizes().size() + 1;
  return static_cast<size_t>(s.Length()) + chunks * multi::kRecordHeaderSize;
}

}  // namespace

void CLSScriptModule::WriteType11(ByteWriter& out) {
  for (const auto& unknown : unknownSections_) {
    if (unknown->Type() == record::kUnknown11) {
      unknown->Write(out);
      return;
    }
  }
  if (!header_.Holds(header::kType11Value, 2)) return;  // a module that was never parsed
  if ((header_.U16(header::kFlags) & header::kExtendedFormatFlag) == 0) return;
  const uint16_t value = header_.U16(header::kType11Value);
  if (value == 0) return;
  out.PutU16(record::kUnknown11);
  out.PutU16(8);
  out.PutU32(0);
  out.PutU32(value);
}

std::vector<uint8_t> CLSScriptModule::Serialize() {
  UpdateHeader();

  std::vector<uint8_t> image;
  size_t estimate = ActionPrefix::kSize + 1 + record::kRecordHeaderSize + static_cast<size_t>(header_.Length()) + 12;
  for (const CMultiSection* s :
       {static_cast<const CMultiSection*>(&stringTable_), static_cast<const CMultiSection*>(&stringTable_.Extended()),
        static_cast<const CMultiSection*>(&labelOffsets_), static_cast<const CMultiSection*>(&extendedSymbolTable_),
        static_cast<const CMultiSection*>(&symbolTable_), static_cast<const CMultiSection*>(&byteCode_),
        static_cast<const CMultiSection*>(&productMacros_), static_cast<const CMultiSection*>(&jumpTable_),
        static_cast<const CMultiSection*>(&lineNumbers_)})
    estimate += RecordBytes(*s) + 4 * s->SegmentSizes().size() + 12;
  for (const auto& unknown : unknownSections_) estimate += record::kRecordHeaderSize + unknown->Data().size();
  image.reserve(estimate);

  ByteWriter out(image);
  if (prefix_) out.PutZeros(ActionPrefix::kSize);  // filled in last

  const bool segmentRecords = header_.WritesSegmentRecords();
  header_.Write(out);
  if (segmentRecords) stringTable_.WriteSegmentList(record::kStringSegments, out);
  stringTable_.Extended().Write(out);
  stringTable_.Write(out);
  labelOffsets_.Write(out);
  if (segmentRecords) symbolTable_.WriteSegmentList(record::kSymbolSegments, out);
  extendedSymbolTable_.Write(out);
  symbolTable_.Write(out);
  byteCode_.Write(out);
  productMacros_.Write(out);
  WriteType11(out);
  jumpTable_.Write(out);
  for (const auto& unknown : unknownSections_)
    if (unknown->Type() == record::kUnknown2) unknown->Write(out);
  lineNumbers_.Write(out);
  for (const auto& unknown : unknownSections_)
    if (unknown->Type() != record::kUnknown2 && unknown->Type() != record::kUnknown11) unknown->Write(out);

  if (prefix_) {
    if (image.size() % 2 != 0) out.PutU8(0);
    ActionPrefix& prefix = *prefix_;
    StoreU16(prefix.bytes.data() + ActionPrefix::kRecordLength, static_cast<uint16_t>(image.size() - 2));
    StoreU16(prefix.bytes.data() + ActionPrefix::kScriptLength,
             static_cast<uint16_t>(image.size() - ActionPrefix::kSize));
    std::copy(prefix.bytes.begin(), prefix.bytes.end(), image.begin());
  }
  return image;
}

}  // namespace quillet
