// The record factory: the item type selects a table, unlisted signatures
// fall through to the general table (except in action and query items,
// whose unlisted records are plain records at once).

#include "config/notes_api.h"
#include "design/cd_action.h"
#include "design/cd_embedded_outline.h"
#include "design/cd_event.h"
#include "design/cd_field_parts.h"
#include "design/cd_frame.h"
#include "design/cd_form_terms.h"
#include "design/cd_hotspot.h"
#include "design/cd_href.h"
#include "design/cd_html_formula.h"
#include "design/cd_lsobject.h"
#include "design/cd_mail_action.h"
#include "design/cd_navigator.h"
#include "design/cd_outline_entry.h"
#include "design/cd_pieces.h"
#include "design/cd_record.h"
#include "design/cd_table_label.h"
#include "design/cd_text.h"
#include "design/design_messages.h"
#include "design/item_types.h"

namespace quillet {
namespace {

// Makes the member of the general table for `signature`; false when the
// table does not list it.
bool GeneralMember(uint16_t signature, std::span<const uint8_t> record, RecordArena& arena, CKVXCDRecord*& made) {
  switch (signature) {
    case kSigLsObject: made = MakeRecord<CKVXCDLSObject>(arena, signature, record); return true;
    case 0xFFA9:
    case 0xFFAD:
    case 0xFF74:
    case 0xFF7E: made = MakeRecord<CKVXCDHotspotBegin>(arena, signature, record); return true;
    case 0xFF84:
    case 0xFF8A: made = MakeRecord<CKVXCDField>(arena, signature, record); return true;
    case 0xFFBB: made = MakeRecord<CKVXCDPABHide>(arena, signature, record); return true;
    case 0xFFBE: made = MakeRecord<CKVXCDAction>(arena, signature, record); return true;
    case 0xFF66:
    case 0xFFF9: made = MakeRecord<CKVXCDEvent>(arena, signature, record); return true;
    case 0xFF85: made = MakeRecord<CKVXCDText>(arena, signature, record); return true;
    case 0xFFAB: made = MakeRecord<CKVXCDButton>(arena, signature, record); return true;
    case 0xFFB0: made = MakeRecord<CKVXCDExtField>(arena, signature, record); return true;
    case 0xFFAC: made = MakeRecord<CKVXCDBar>(arena, signature, record); return true;
    case 0xFFCE: made = MakeRecord<CKVXCDHTMLFormula>(arena, signature, record); return true;
    case 0xFFE9: made = MakeRecord<CKVXCDFieldHint>(arena, signature, record); return true;
    case 0xFF5A:
    case 0xFF5B:
    case 0xFF71:
    case 0xFF78:
    case 0xFFF6: made = MakeRecord<CKVXCDHRef>(arena, signature, record); return true;
    case 0xFFEC: made = MakeRecord<CKVXCDEmbeddedOutline>(arena, signature, record); return true;
    case 0xFFE3: made = MakeRecord<CKVXCDTableLabel>(arena, signature, record); return true;
    case 0xFFF1: made = MakeRecord<CKVXCDFrame>(arena, signature, record); return true;
    default: return MakePiecesMember(kTypeCompositeData, signature, record, arena, made);
  }
}

// The members of action items whose pieces hang on flags or nest: mail,
// newsletter and by-form actions.
bool MailOrFormAction(uint16_t signature, std::span<const uint8_t> record, RecordArena& arena,
                      CKVXCDRecord*& made) {
  switch (signature) {
    case 0xFF86: made = MakeRecord<CKVXCDSimpleActionSendMail>(arena, signature, record); return true;
    case 0xFF89: made = MakeRecord<CKVXCDSimpleActionByForm>(arena, signature, record); return true;
    case 0xFF8F: made = MakeRecord<CKVXCDSimpleActionNewsLetter>(arena, signature, record); return true;
    default: return false;
  }
}

// The form terms of query items.
bool FormQueryTerm(uint16_t signature, std::span<const uint8_t> record, RecordArena& arena, CKVXCDRecord*& made) {
  switch (signature) {
    case 0xFF87: made = MakeRecord<CKVXCDQueryByForm>(arena, signature, record); return true;
    case 0xFF89: made = MakeRecord<CKVXCDQueryUsesForm>(arena, signature, record); return true;
    default: return false;
  }
}

// The entries of outline values; their header is copied as it is.
bool OutlineMember(uint16_t signature, std::span<const uint8_t> record, RecordArena& arena, CKVXCDRecord*& made) {
  constexpr uint16_t kSigOutlineEntry = 0x51;
  if (signature != kSigOutlineEntry) return false;
  made = MakeRecord<CKVXCDOutlineEntry>(arena, signature, record);
  return true;
}

}  // namespace

Status32 CreateRecord(uint16_t itemType, uint16_t signature, std::span<const uint8_t> record, RecordArena& arena,
                      CKVXCDRecord*& out, bool& plain) {
  CKVXCDRecord* made = nullptr;
  const bool ownTableOnly = itemType == kTypeAction || itemType == kTypeQuery;
  bool listed = (itemType == kTypeViewMapLayout && MakeViewMapMember(signature, record, arena, made)) ||
                (itemType == kTypeOutline && OutlineMember(signature, record, arena, made)) ||
                (itemType == kTypeAction && (MakeActionMember(signature, record, arena, made) ||
                                             MakePiecesMember(kTypeAction, signature, record, arena, made) ||
                                             MailOrFormAction(signature, record, arena, made))) ||
                (itemType == kTypeQuery && (MakePiecesMember(kTypeQuery, signature, record, arena, made) ||
                                            FormQueryTerm(signature, record, arena, made)));
  if (!listed && !ownTableOnly) listed = GeneralMember(signature, record, arena, made);
  if (!listed) made = MakeRecord<CKVXCDRecord>(arena, signature, record);
  out = made;
  plain = !listed;
  return made != nullptr ? kNoError : kErrOutOfMemory;
}

}  // namespace quillet
