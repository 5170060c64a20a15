// Builds whole design items in their stored form: a form's "$Body", an
// action bar ("$ACTIONS"), an agent's "$AssistQuery" and "$AssistAction",
// a navigator's "$ViewMapLayout". Each builder gives the records of the
// item; CompositeValue or CompositeSegments of rich_text_builder.h turn them
// into item values. Object code comes from the LotusScript compiler of the
// simulated toolchain, so what a test rewrites can be run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/rich_text_builder.h"

namespace quillet::kit {

// --- Pieces --------------------------------------------------------------

// A text list without a type word: entry count, lengths, entries.
Bytes TextList(const std::vector<std::string>& entries);
// A compiled formula that yields `text`.
Bytes TextFormula(std::string_view text);
// LotusScript source as the design tools store it, with the header line
// that starts each module.
std::string ScriptSource(std::string_view subName);

// --- Rich-text records ------------------------------------------------------

using sim::ButtonFace;  // 0xFFAB, 16-byte fixed part
using sim::HotspotEnd;  // 0xAE, after a 0xFFAD begin
// An event (0xFFF9, 32-byte fixed part): `actionType` 1 formula, 2 copied
// bytes, 3 LotusScript source, 4 JavaScript.
Bytes EventRecord(uint16_t eventType, uint16_t actionType, const Bytes& action);

// Extended field attributes (0xFFB0, 20-byte fixed part): the lookup
// database and view names and, when `htmlFormula` is not empty, the HTML
// attributes formula after its length block.
Bytes ExtField(std::string_view database, std::string_view view, const Bytes& htmlFormula);
// A section title bar (0xFFAC, 12-byte fixed part): a colour word when
// `colour` is set, then the title, a formula when `formula` is set.
Bytes SectionBar(const Bytes& title, bool formula, bool colour);

// An embedded object (hotspot type 15): its 52-byte block, the four texts,
// then each parameter as a 6-byte block, its name and its value formula.
struct EmbeddedObjectSpec {
  uint16_t objectKind = 1;  // 1 applet, 2 plug-in, 3 active object
  std::string docUrl{}, codebase{}, code{}, objectName{};
  struct Parameter {
    std::string name;
    Bytes formula;
  };
  std::vector<Parameter> parameters{};
};
Bytes EmbeddedObject(const EmbeddedObjectSpec& spec);

// Elements of a page or form: a caption (0xFF76, 28-byte fixed part), a
// field hint (0xFFE9, 14), an embedded view with its restriction formula
// and then its name (0xFFED, 32), a frame with its name, target and any
// data after them (0xFFF1, 36), a table's extra properties with its name
// (0xFFFB, 44), and an HTML formula (0xFFCE, 12; flag 0x1 attributes, 0x2
// alternate HTML).
Bytes CaptionRecord(std::string_view text);
Bytes FieldHintRecord(std::string_view hint, uint16_t flags = 0);  // flag 0x0001: limited rich text
Bytes EmbeddedViewRecord(const Bytes& restriction, std::string_view name);
Bytes FrameRecord(std::string_view name, std::string_view target, const Bytes& after = {}, uint16_t dataFlags = 0);
// The data of a frame's caption (data flag 0x2000): the formula's length
// and the formula, border and text alignment, how far it opens, then the
// background colour, font and text colour of the caption.
Bytes FrameCaptionData(const Bytes& formula);
// A table's tab (flag 0x2) or row (0x1) label (0xFFE3, 140 bytes).
Bytes TableLabelRecord(std::string_view label, uint16_t flags);
// An embedded outline (0xFFEC, 270-byte fixed part): its name, target frame
// and root entry (each flagged when not empty), then `images`, resource
// link records each followed by a 0x3F pad byte when odd.
Bytes EmbeddedOutlineRecord(std::string_view name, std::string_view target, std::string_view root,
                            const std::vector<Bytes>& images = {});
Bytes PreTableRecord(std::string_view name);
Bytes HtmlFormulaRecord(uint32_t flags, const Bytes& formula);
// A resource link (26-byte fixed part): the server and file hints, then
// `prefix` (a note link's index or inline link, a named element's replica
// ID) and the type's piece (URL, anchor or element name, or a formula when
// flag 0x1 is set).
Bytes HRefRecord(uint16_t signature, uint16_t type, uint32_t flags, std::string_view server, std::string_view file,
                 const Bytes& prefix, const Bytes& piece);

// A button (hotspot begin with the LotusScript source, face, object code,
// hotspot end).
using sim::ScriptButton;
// A hot region over `text` whose click runs LotusScript.
std::vector<Bytes> ScriptHotspot(std::string_view text, std::string_view source, const Bytes& objectCode);

// The records of a form body: paragraphs and text, a field with default,
// translation and validation formulas, a keyword list and extended
// attributes, a second field whose keywords come from a formula, a
// hide-when formula, a section with a computed title, a button and a hot
// region with the given object code.
std::vector<Bytes> FormBody(const Bytes& buttonCode, const Bytes& hotspotCode);

// --- Action bar ($ACTIONS, item type 0x0001) -------------------------------

struct ActionSpec {
  std::string title;
  uint16_t type = 1;  // 1 formula, 2 LotusScript, 3 simple actions
  Bytes body{};       // the formula, the source, or the simple-action stream
  Bytes hideWhen{};   // a compiled formula, or empty
  Bytes objectCode{}; // LotusScript actions: stored in a 0xFFB1 record after it
};
// One action (0xFFBE, 22-byte fixed part with a 32-bit length): title
// (padded to even), body, hide-when formula.
Bytes ActionRecord(const ActionSpec& action);
// The bar, its extension, then every action and its object code.
std::vector<Bytes> ActionBar(const std::vector<ActionSpec>& actions);
// A simple-action stream for an action body: the type word, the header, and
// one run-agent action naming `agent`, records padded to even.
Bytes RunAgentStream(std::string_view agent);

// --- Agents (item types 0x000F and 0x0010) ----------------------------------

// Query header and one text term per entry of `terms`.
std::vector<Bytes> AssistQuery(const std::vector<std::string>& terms);
// Action header and a formula action (the formula padded to even).
std::vector<Bytes> AssistActionFormula(const Bytes& formula);
// Action header and a LotusScript action holding `source`.
std::vector<Bytes> AssistActionScript(std::string_view source);

// Simple actions that write mail. Each field is text, or a compiled formula
// when `formula` is not empty (its flag is then set; the body is always
// text).
struct MailField {
  std::string text{};
  Bytes formula{};
};
struct MailSpec {
  MailField to{}, cc{}, bcc{}, subject{}, body{};
  std::string view{};  // newsletters only
};
// Send mail (0xFF86, 18-byte fixed part): text fields NUL-terminated and
// padded to even, formulas padded to even.
Bytes SendMailRecord(const MailSpec& mail);
// Newsletter (0xFF8F, 26-byte fixed part): the view name, then the text
// fields packed, formulas padded to even.
Bytes NewsLetterRecord(const MailSpec& mail);

// A field and the values a by-form record gives it.
struct FieldValues {
  std::string name;
  std::vector<std::string> values;
};
// Modify fields by form (0xFF89 in actions) or find by form (0xFF87 in
// queries), 12-byte fixed part: one 12-byte block per field (name, then its
// values as a text list behind the text-list type word, padded to even),
// then the form name.
Bytes ByFormRecord(uint16_t signature, std::string_view form, const std::vector<FieldValues>& fields);
// Documents using one of `forms` (0xFF89 in queries, 8-byte fixed part).
Bytes UsesFormRecord(const std::vector<std::string>& forms);

// --- Outlines (item type 0x001A) ---------------------------------------------

// One entry (72-byte fixed part, then its pieces, each behind its data type
// word: 0x0500 text, 0x0600 compiled formula); empty pieces are left out.
struct OutlineEntrySpec {
  std::string title{};
  Bytes onClick{};   // a compiled formula
  Bytes hideWhen{};  // a compiled formula
  std::string alias{};
  std::string source{};
  Bytes after{};     // bytes after the pieces, counted in the variable size
};
Bytes OutlineEntry(const OutlineEntrySpec& entry);
// The data of an outline value (no type word): a header (version 1.1) that
// gives the number of entries of each item, then the entries unpadded.
Bytes OutlineData(const std::vector<Bytes>& entries, const std::vector<uint16_t>& entriesPerItem);

// --- Navigator ($ViewMapLayout, item type 0x0013) ---------------------------

// The layout header, then a rectangle `name` whose click runs LotusScript
// with `objectCode` (0xFFBA action).
std::vector<Bytes> NavigatorLayout(std::string_view name, std::string_view source, const Bytes& objectCode);

}  // namespace quillet::kit
