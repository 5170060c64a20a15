// Parse: from a record image to the module's sections.
#include <algorithm>
#include <new>

#include "lsobject/ls_script_module.h"
#include "lsobject/symbol_hashes.h"

namespace quillet {
namespace {

constexpr uint8_t kCompiledSourceMarker[4] = {0x42, 0x4F, 0x53, 0x4C};  // "BOSL"

}  // namespace

bool CLSScriptModule::Parse(std::span<const uint8_t> image) {
  Reset();
  if (image.size() < header::kMinLength) return false;
  itemInfo_.ModuleLength = static_cast<int32_t>(std::min<size_t>(image.size(), INT32_MAX));

  size_t position = 0;
  if (LoadU16(image.data()) == ActionPrefix::kMarker) {
    ActionPrefix prefix;
    std::copy_n(image.begin(), ActionPrefix::kSize, prefix.bytes.begin());
    prefix_ = prefix;
    position = ActionPrefix::kSize;
  }
  // The image is at least 300 bytes long, so the first record's first four
  // body bytes are inside it.
  if (std::equal(std::begin(kCompiledSourceMarker), std::end(kCompiledSourceMarker),
                 image.begin() + position + record::kRecordHeaderSize))
    return false;

  try {
    if (!ReadRecords(image, position)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  // A link into the checksum word or into the middle of another entry would
  // have the next serialisation write over intact entries.
  if (!ScopeHashesFitEntries(Symbols(), header_, stringTable_)) {
    Reset();
    return false;
  }
  LinkProcedureOwners();
  return true;
}

bool CLSScriptModule::ReadRecords(std::span<const uint8_t> image, size_t position) {
  bool haveHeader = false;
  // Up to two bytes may trail the last record (the prefix pads to even length).
  while (position + 2 < image.size()) {
    ByteReader reader(image);
    uint16_t type = 0, length = 0;
    if (!reader.Seek(position) || !reader.ReadU16(type) || !reader.ReadU16(length) || !reader.Skip(length))
      return false;

    bool ok = true;
    switch (type) {
      case record::kHeader:
        if (haveHeader) return false;
        haveHeader = true;
        ok = header_.Read(image, position) && header_.Length() >= static_cast<int32_t>(header::kMinLength);
        break;
      case record::kStringTable: ok = stringTable_.Read(image, position); break;
      case record::kByteCode: ok = byteCode_.Read(image, position); break;
      case record::kSymbolTable: ok = symbolTable_.Read(image, position); break;
      case record::kProductMacros: ok = productMacros_.Read(image, position); break;
      case record::kExtendedStringTable: ok = stringTable_.Extended().Read(image, position); break;
      case record::kExtendedSymbolTable: ok = extendedSymbolTable_.Read(image, position); break;
      case record::kLabelOffsetTable: ok = labelOffsets_.Read(image, position); break;
      case record::kJumpTable: ok = jumpTable_.Read(image, position); break;
      case record::kFunctionLineNumbers: ok = lineNumbers_.Read(image, position); break;
      case record::kUnknown2:
      case record::kUnknown10:
      case record::kUnknown11: {
        auto unknown = std::make_unique<CUnknownSection>(static_cast<uint8_t>(type));
        ok = unknown->Read(image, position);
        unknownSections_.push_back(std::move(unknown));
        break;
      }
      case record::kStringSegments:
      case record::kSymbolSegments:
        break;  // recomputed from the sections when written
      default:
        return false;  // 0, 6, 12 and anything above 17
    }
    if (!ok) return false;
    position = reader.pos();
  }
  // Everything after Parse relies on a header of full length.
  return haveHeader;
}

}  // namespace quillet
