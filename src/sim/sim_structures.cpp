// Sizes of the Notes fixed structures, from the public C API headers compiled
// with one-byte packing (the on-disk form): every record and sub-structure
// the composite-data records read, header included.
#include "sim/sim_structures.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quillet::sim {
namespace {

// Sorted by code.
constexpr std::array<std::pair<uint16_t, uint16_t>, 51> kNotesStructureSizes{{
    {0, 2},      // WORD, SHORT, USHORT, STATUS, UNICODE
    {1, 4},      // LONG, DWORD, ULONG, NOTEID
    {2, 8},      // FLOAT, NUMBER
    {109, 2},    // CDPARAGRAPH
    {110, 70},   // CDPABDEFINITION
    {111, 4},    // CDPABREFERENCE
    {112, 34},   // CDFIELD_PRE_36
    {113, 8},    // CDTEXT
    {117, 43},   // CDHEADER (odd: its fields are unaligned)
    {118, 36},   // CDFIELD
    {230, 12},   // CDHOTSPOTBEGIN
    {231, 2},    // CDHOTSPOTEND
    {237, 16},   // CDBUTTON
    {308, 12},   // CDBAR
    {314, 6},    // CDQUERYHEADER
    {315, 48},   // CDQUERYTEXTTERM
    {316, 2},    // CDACTIONHEADER
    {317, 12},   // CDACTIONMODIFYFIELD
    {319, 6},    // VIEWMAP_HEADER_RECORD
    {320, 78},   // VIEWMAP_RECT_RECORD
    {321, 74},   // VIEWMAP_BITMAP_RECORD
    {322, 74},   // VIEWMAP_REGION_RECORD
    {323, 80},   // VIEWMAP_POLYGON_RECORD_BYTE
    {324, 74},   // VIEWMAP_POLYLINE_RECORD_BYTE
    {325, 72},   // VIEWMAP_ACTION_RECORD
    {327, 10},   // CDACTIONREPLY
    {332, 10},   // CDACTIONFORMULA
    {333, 12},   // CDACTIONLOTUSSCRIPT
    {334, 48},   // CDQUERYBYFIELD
    {335, 18},   // CDACTIONSENDMAIL
    {336, 12},   // CDACTIONDBCOPY
    {337, 6},    // CDACTIONDELETE
    {338, 12},   // CDACTIONBYFORM
    {339, 12},   // ODS_ASSISTFIELDSTRUCT (no header of its own)
    {340, 22},   // CDACTION (LSIG header)
    {341, 6},    // CDACTIONREADMARKS
    {342, 20},   // CDEXTFIELD
    {347, 278},  // VIEWMAP_DATASET_RECORD
    {358, 14},   // CDPABHIDE
    {359, 6},    // CDPABFORMULAREF
    {360, 28},   // CDACTIONBAR
    {361, 12},   // CDACTIONFOLDER
    {362, 26},   // CDACTIONNEWSLETTER
    {363, 12},   // CDACTIONRUNAGENT
    {364, 6},    // CDACTIONSENDDOCUMENT
    {365, 10},   // CDQUERYFORMULA
    {373, 12},   // CDQUERYBYFORM
    {413, 10},   // CDQUERYBYFOLDER
    {423, 8},    // CDQUERYUSESFORM
    {464, 80},   // VIEWMAP_TEXT_RECORD
    {471, 12},   // CDQUERYTOPIC
}};

static_assert(std::ranges::is_sorted(kNotesStructureSizes));

}  // namespace

std::optional<uint16_t> NotesStructureSize(uint16_t code) {
  auto found = std::ranges::lower_bound(kNotesStructureSizes, code, {}, &std::pair<uint16_t, uint16_t>::first);
  if (found == kNotesStructureSizes.end() || found->first != code) return std::nullopt;
  return found->second;
}

}  // namespace quillet::sim
