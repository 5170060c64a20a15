// Structure sizes and conversion: the host's service for Notes codes, the
// library's own size table for the codes above them.
#include "design/structures.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quillet {
namespace {

// The library's own structure codes used by the records, with their sizes
// (on-disk = host), sorted by code.
constexpr std::array<std::pair<uint16_t, uint16_t>, 29> kLibraryStructureSizes{{
    {kStructLsObject, 12},        // LotusScript object code in rich text
    {kStructEmbeddedObject, 52},  // embedded object of a hotspot
    {kStructEmbeddedParameter, 6},  // parameter of an embedded object
    {551, 82},                    // navigator polygon
    {552, 76},                    // navigator polyline
    {561, 12},                    // alternate text
    {562, 18},                    // Java agent and Java simple action
    {566, 12},                    // HTML formula
    {615, 32},                    // embedded view
    {620, 270},                   // embedded outline
    {628, 36},                    // frame
    {629, 12},                    // target
    {631, 26},                    // resource reference
    {632, 34},                    // map element
    {kStructEvent, 32},           // event
    {640, 44},                    // pre-table begin
    {672, 80},                    // second extended field
    {674, 116},                   // embedded schedule
    {695, 18},                    // blob part
    {702, 72},                    // outline entry
    {708, 26},                    // ID and name
    {728, 28},                    // caption
    {742, 14},                    // field hint
    {767, 28},                    // DECS field
    {816, 64},                    // embedded editor
    {818, 158},                   // embedded schedule extension
    {848, 28},                    // action extension
    {849, 62},                    // embedded calendar
    {934, 30},                    // embedded extra information
}};

static_assert(std::ranges::is_sorted(kLibraryStructureSizes));

bool LibrarySize(uint16_t code, uint16_t& size) {
  auto found = std::ranges::lower_bound(kLibraryStructureSizes, code, {}, &std::pair<uint16_t, uint16_t>::first);
  if (found == kLibraryStructureSizes.end() || found->first != code) return false;
  size = found->second;
  return true;
}

Status32 Convert(uint16_t code, StructureForm from, std::span<const uint8_t> in, std::span<uint8_t> out) {
  StructureSizes sizes;
  if (code <= kLastNotesStructureCode) {
    if (out.empty()) return kErrBufferTooSmall;  // an empty `out` would only ask for the sizes
    return Notes().StructureConvert(code, from, in, out, sizes);
  }
  uint16_t size = 0;
  if (!LibrarySize(code, size)) return kErrUnknownStructure;
  if (in.size() < size || out.size() < size) return kErrBufferTooSmall;
  std::copy_n(in.begin(), size, out.begin());
  return kNoError;
}

}  // namespace

Status32 StructureSize(uint16_t code, StructureSizes& sizes) {
  if (code <= kLastNotesStructureCode) return Notes().StructureConvert(code, StructureForm::Host, {}, {}, sizes);
  uint16_t size = 0;
  if (!LibrarySize(code, size)) return kErrUnknownStructure;
  sizes = StructureSizes{size, size};
  return kNoError;
}

Status32 StructureToDisk(uint16_t code, std::span<const uint8_t> host, std::span<uint8_t> disk) {
  return Convert(code, StructureForm::Host, host, disk);
}

Status32 StructureFromDisk(uint16_t code, std::span<const uint8_t> disk, std::span<uint8_t> host) {
  return Convert(code, StructureForm::OnDisk, disk, host);
}

}  // namespace quillet
