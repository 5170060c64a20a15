// Parse: from a record image to the module's sections.
#include <algorithm>
#include <new>
#include <string>

#include "lsobject/ls_script_module.h"
#include "lsobject/symbol_hashes.h"

namespace quillet {
namespace {

constexpr uint8_t kCompiledSourceMarker[4] = {0x42, 0x4F, 0x53, 0x4C};  // "BOSL"

// Where the first record of `wanted` type starts in an image whose records
// all read; `position` (the first record) when there is none.
size_t FirstRecordOf(std::span<const uint8_t> image, size_t position, uint16_t wanted) {
  const size_t first = position;
  ParseError ignored;
  while (position + 2 < image.size()) {
    uint16_t type = 0;
    std::span<const uint8_t> body;
    if (!ReadRecordBody(image, position, type, body, ignored)) break;
    if (type == wanted) return position;
    position = static_cast<size_t>(body.data() + body.size() - image.data());
  }
  return first;
}

}  // namespace

bool CLSScriptModule::Parse(std::span<const uint8_t> image, ParseError& error) {
  Reset();
  if (image.size() < header::kMinLength)
    return error.Refuse(kModuleSubject, 0, "image length",
                        std::to_string(image.size()) + " bytes, a module has at least " +
                            std::to_string(header::kMinLength));
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
  const size_t markerAt = position + record::kRecordHeaderSize;
  if (std::equal(std::begin(kCompiledSourceMarker), std::end(kCompiledSourceMarker), image.begin() + markerAt))
    return error.Refuse(kModuleSubject, markerAt, "module marker", "\"BOSL\" modules are not read");

  try {
    if (!ReadRecords(image, position, error)) return false;
  } catch (const std::bad_alloc&) {
    return error.Refuse(kModuleSubject, position, "sections", "out of memory");
  }
  // A link into the checksum word or into the middle of another entry would
  // have the next serialisation write over intact entries.
  if (uint64_t conflict = 0; !ScopeHashesFitEntries(Symbols(), header_, stringTable_, &conflict)) {
    Reset();
    return error.Refuse(kModuleSubject, FirstRecordOf(image, position, record::kSymbolTable), "symbol table scope links",
                        conflict == 0 ? std::string("an entry lies in the table's checksum word")
                                      : "a link written at symbol-table byte " + std::to_string(conflict) +
                                            " would land in another entry");
  }
  LinkProcedureOwners();
  return true;
}

bool CLSScriptModule::ReadRecords(std::span<const uint8_t> image, size_t position, ParseError& error) {
  bool haveHeader = false;
  // Up to two bytes may trail the last record (the prefix pads to even length).
  while (position + 2 < image.size()) {
    uint16_t type = 0;
    std::span<const uint8_t> body;
    if (!ReadRecordBody(image, position, type, body, error)) return false;

    bool ok = true;
    switch (type) {
      case record::kHeader:
        if (haveHeader) return error.Refuse(kModuleSubject, position, "record type", "a second header");
        haveHeader = true;
        ok = header_.ReadRecord(image, position, error);
        if (ok && header_.Length() < static_cast<int32_t>(header::kMinLength))
          return error.Refuse(kModuleSubject, position + 2, "header record length",
                              std::to_string(header_.Length()) + " bytes, a header has at least " +
                                  std::to_string(header::kMinLength));
        break;
      case record::kStringTable: ok = stringTable_.ReadRecord(image, position, error); break;
      case record::kByteCode: ok = byteCode_.ReadRecord(image, position, error); break;
      case record::kSymbolTable: ok = symbolTable_.ReadRecord(image, position, error); break;
      case record::kProductMacros: ok = productMacros_.ReadRecord(image, position, error); break;
      case record::kExtendedStringTable: ok = stringTable_.Extended().ReadRecord(image, position, error); break;
      case record::kExtendedSymbolTable: ok = extendedSymbolTable_.ReadRecord(image, position, error); break;
      case record::kLabelOffsetTable: ok = labelOffsets_.ReadRecord(image, position, error); break;
      case record::kJumpTable: ok = jumpTable_.ReadRecord(image, position, error); break;
      case record::kFunctionLineNumbers: ok = lineNumbers_.ReadRecord(image, position, error); break;
      case record::kUnknown2:
      case record::kUnknown10:
      case record::kUnknown11: {
        auto unknown = std::make_unique<CUnknownSection>(static_cast<uint8_t>(type));
        ok = unknown->ReadRecord(image, position, error);
        unknownSections_.push_back(std::move(unknown));
        break;
      }
      case record::kStringSegments:
      case record::kSymbolSegments:
        break;  // recomputed from the sections when written
      default:
        // 0, 6, 12 and anything above 17
        return error.Refuse(kModuleSubject, position, "record type", "type " + std::to_string(type) + " is refused");
    }
    if (!ok) return false;
    position = static_cast<size_t>(body.data() + body.size() - image.data());
  }
  // Everything after Parse relies on a header of full length.
  if (!haveHeader) return error.Refuse(kModuleSubject, position, "header record", "the image has none");
  return true;
}

}  // namespace quillet
