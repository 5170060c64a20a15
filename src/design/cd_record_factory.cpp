// The record factory: the item type selects a table, unlisted signatures
// fall through to the general table (except in action and query items,
// whose unlisted records are plain records at once).
#include <new>

#include "design/cd_action.h"
#include "design/cd_event.h"
#include "design/cd_hotspot.h"
#include "design/cd_lsobject.h"
#include "design/cd_navigator.h"
#include "design/cd_pieces.h"
#include "design/cd_record.h"
#include "design/cd_text.h"
#include "design/design_messages.h"
#include "design/item_types.h"

namespace quillet {
namespace {

// Makes the member of the general table for `signature`; false when the
// table does not list it.
bool GeneralMember(uint16_t signature, std::span<const uint8_t> record, CKVXCDRecord*& made) {
  switch (signature) {
    case kSigLsObject: made = new (std::nothrow) CKVXCDLSObject(signature, record); return true;
    case 0xFFA9:
    case 0xFFAD:
    case 0xFF74:
    case 0xFF7E: made = new (std::nothrow) CKVXCDHotspotBegin(signature, record); return true;
    case 0xFF84:
    case 0xFF8A: made = new (std::nothrow) CKVXCDField(signature, record); return true;
    case 0xFFBB: made = new (std::nothrow) CKVXCDPABHide(signature, record); return true;
    case 0xFFBE: made = new (std::nothrow) CKVXCDAction(signature, record); return true;
    case 0xFF66:
    case 0xFFF9: made = new (std::nothrow) CKVXCDEvent(signature, record); return true;
    case 0xFF85: made = new (std::nothrow) CKVXCDText(signature, record); return true;
    case 0xFFAB: made = new (std::nothrow) CKVXCDButton(signature, record); return true;
    default: return false;
  }
}

}  // namespace

Status32 CreateRecord(uint16_t itemType, uint16_t signature, std::span<const uint8_t> record,
                      std::unique_ptr<CKVXCDRecord>& out) {
  CKVXCDRecord* made = nullptr;
  const bool ownTableOnly = itemType == kTypeAction || itemType == kTypeQuery;
  bool listed = (itemType == kTypeViewMapLayout && MakeViewMapMember(signature, record, made)) ||
                (itemType == kTypeAction && (MakeActionMember(signature, record, made) ||
                                             MakePiecesMember(false, signature, record, made))) ||
                (itemType == kTypeQuery && MakePiecesMember(true, signature, record, made));
  if (!listed && !ownTableOnly) listed = GeneralMember(signature, record, made);
  if (!listed) made = new (std::nothrow) CKVXCDRecord(signature, record);
  out.reset(made);
  return made != nullptr ? kNoError : kErrOutOfMemory;
}

}  // namespace quillet
