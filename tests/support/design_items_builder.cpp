// Design items in their stored form, built from the record builders.
#include "support/design_items_builder.h"

#include <stdexcept>

#include "support/formula_builder.h"
#include "util/bytes.h"

namespace quillet::kit {
namespace {

void AppendTo(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }
void AppendTo(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }
void PadToEven(Bytes& out) {
  if (out.size() % 2 != 0) out.push_back(0);
}
uint16_t Length16(size_t size) {
  if (size > 0xFFFF) throw std::length_error("piece over 64K");
  return static_cast<uint16_t>(size);
}

constexpr uint16_t kHotspotEmbeddedObject = 15;
constexpr uint16_t kFieldEditable = 0x0002;
constexpr uint16_t kFieldKeywords = 0x0200;
constexpr uint16_t kTypeActionWord = 0x0010;
constexpr uint16_t kViewMapRunScript = 5;

}  // namespace

Bytes TextList(const std::vector<std::string>& entries) {
  Bytes list;
  PutU16(list, Length16(entries.size()));
  for (const std::string& entry : entries) PutU16(list, Length16(entry.size()));
  for (const std::string& entry : entries) AppendTo(list, entry);
  return list;
}

Bytes TextFormula(std::string_view text) { return FormulaBuilder().Main().String(text).Build(); }

std::string ScriptSource(std::string_view subName) {
  const std::string sub(subName);
  return "'++LotusScript Development Environment:2:5:(Options):0:66\nOption Public\n\n"
         "'++LotusScript Development Environment:2:2:" + sub + ":1:12\nSub " + sub +
         "(Source As Button)\n  Print \"" + sub + "\"\nEnd Sub\n";
}

Bytes EventRecord(uint16_t eventType, uint16_t actionType, const Bytes& action) {
  Bytes body;
  PutU32(body, 0);  // flags
  PutU16(body, eventType);
  PutU16(body, actionType);
  PutU32(body, static_cast<uint32_t>(action.size()));
  body.resize(body.size() + 16, 0xEE);  // reserved, copied as it is
  AppendTo(body, action);
  return WordRecord(0xFFF9, body);
}

Bytes ExtField(std::string_view database, std::string_view view, const Bytes& htmlFormula) {
  Bytes body;
  PutU32(body, 0x00010000);                           // look up each character
  PutU32(body, htmlFormula.empty() ? 0 : 0x2);        // HTML attributes kept in the field
  PutU16(body, 3);                                    // view dialog
  PutU16(body, Length16(database.size()));
  PutU16(body, Length16(view.size()));
  PutU16(body, 1);                                    // column
  AppendTo(body, database);
  AppendTo(body, view);
  if (!htmlFormula.empty()) {
    PutU16(body, Length16(htmlFormula.size()));
    PutU16(body, 0);
    AppendTo(body, htmlFormula);
  }
  return WordRecord(0xFFB0, body);
}

Bytes SectionBar(const Bytes& title, bool formula, bool colour) {
  Bytes body;
  PutU32(body, 0x2 | (formula ? 0x2000u : 0u) | (colour ? 0x04000000u : 0u));  // expanded
  PutU32(body, 0x0C010001);
  if (colour) PutU16(body, 5);
  AppendTo(body, title);
  return WordRecord(0xFFAC, body);
}

Bytes EmbeddedObject(const EmbeddedObjectSpec& spec) {
  Bytes data;
  PutU16(data, 1);  // version
  PutU16(data, spec.objectKind);
  PutU32(data, 0x5);                 // flags
  PutU16(data, 0);                   // width unit
  PutU16(data, 0);                   // height unit
  PutU32(data, 400);                 // width
  PutU32(data, 300);                 // height
  PutU16(data, 0);                   // spacing unit
  PutU16(data, 2);                   // horizontal space
  PutU16(data, 2);                   // vertical space
  PutU16(data, Length16(spec.docUrl.size()));
  PutU16(data, Length16(spec.codebase.size()));
  PutU16(data, Length16(spec.code.size()));
  PutU16(data, Length16(spec.objectName.size()));
  PutU16(data, 0);                   // storage links
  PutU16(data, Length16(spec.parameters.size()));
  data.resize(52, 0);
  for (const std::string* text : {&spec.docUrl, &spec.codebase, &spec.code, &spec.objectName}) AppendTo(data, *text);
  for (const auto& parameter : spec.parameters) {
    PutU16(data, Length16(parameter.name.size()));
    PutU16(data, Length16(parameter.formula.size()));
    PutU16(data, 0);
    AppendTo(data, parameter.name);
    AppendTo(data, parameter.formula);
  }
  return Hotspot(kHotspotEmbeddedObject, 0, data);
}

std::vector<Bytes> ScriptHotspot(std::string_view text, std::string_view source, const Bytes& objectCode) {
  return {Hotspot(sim::kHotspotHotRegion, sim::kHotspotScript, Bytes(source.begin(), source.end())), TextRun(text),
          LsObjectRecord(objectCode), HotspotEnd()};
}

std::vector<Bytes> FormBody(const Bytes& buttonCode, const Bytes& hotspotCode) {
  FieldSpec subject;
  subject.defaultValue = TextFormula("New request");
  subject.translation = TextFormula("trimmed");
  subject.validation = TextFormula("valid");
  subject.name = "Subject";
  subject.description = "What the request is about";
  subject.keywords = TextList({"Low", "Normal", "Urgent"});
  subject.flags = kFieldEditable | kFieldKeywords;

  FieldSpec category;
  category.name = "Category";
  category.description = "Kind";
  category.keywords = {0, 0};  // no static entries: the keyword formula follows
  AppendTo(category.keywords, TextFormula("Hardware"));
  category.flags = kFieldEditable | kFieldKeywords;

  Bytes hide;
  PutU16(hide, 1);      // paragraph attribute block
  hide.resize(10, 0);   // reserved
  AppendTo(hide, TextFormula("hidden"));

  std::vector<Bytes> records = {Paragraph(),
                                TextRun("Subject: "),
                                Field(subject),
                                ExtField("names.nsf", "People", TextFormula("class=subject")),
                                Paragraph(),
                                TextRun("Category: "),
                                Field(category),
                                WordRecord(0xFFBB, hide),
                                Paragraph(),
                                Hotspot(13, 0, {}),  // a section
                                SectionBar(TextFormula("Details of the request"), true, true),
                                TextRun("Inside the section."),
                                ByteRecord(0xAE, {}),
                                Paragraph()};
  for (Bytes& record : ScriptButton("Submit", ScriptSource("Click"), buttonCode)) records.push_back(std::move(record));
  records.push_back(Paragraph());
  for (Bytes& record : ScriptHotspot("Details", ScriptSource("Details"), hotspotCode)) {
    records.push_back(std::move(record));
  }
  records.push_back(Paragraph());
  records.push_back(TextRun("End of form."));
  return records;
}

Bytes ActionRecord(const ActionSpec& action) {
  Bytes record;
  PutU16(record, 0xFFBE);
  PutU32(record, 0);  // the length, set below
  PutU16(record, action.type);
  PutU16(record, 3);                       // icon
  PutU32(record, 0x0000001A);              // shown in the bar, when reading and editing
  PutU16(record, Length16(action.title.size()));
  PutU16(record, Length16(action.hideWhen.size()));
  PutU32(record, 0);                       // not a shared action
  AppendTo(record, action.title);
  PadToEven(record);
  AppendTo(record, action.body);
  AppendTo(record, action.hideWhen);
  if (action.hideWhen.size() % 2 != 0) record.push_back(0);  // the formula's pad, counted in the length
  StoreU32(record.data() + 2, static_cast<uint32_t>(record.size()));
  return record;
}

std::vector<Bytes> ActionBar(const std::vector<ActionSpec>& actions) {
  std::vector<Bytes> records = {ByteRecord(0xBD, Bytes(26, 0)), WordRecord(0xFF79, Bytes(104, 0))};
  for (const ActionSpec& action : actions) {
    records.push_back(ActionRecord(action));
    if (!action.objectCode.empty()) records.push_back(LsObjectRecord(action.objectCode));
  }
  return records;
}

Bytes RunAgentStream(std::string_view agent) {
  Bytes body;
  PutU32(body, 0);
  PutU16(body, Length16(agent.size()));
  PutU16(body, 0);
  AppendTo(body, agent);
  return CompositeValue(kTypeActionWord, {ByteRecord(0x81, {}), WordRecord(0xFF90, body)});
}

std::vector<Bytes> AssistQuery(const std::vector<std::string>& terms) {
  constexpr size_t kMaxTerms = 10;
  if (terms.size() > kMaxTerms) throw std::length_error("more than ten terms");
  Bytes body;
  PutU32(body, 0x4);  // all terms must match
  for (size_t i = 0; i < kMaxTerms; ++i) PutU32(body, i < terms.size() ? static_cast<uint32_t>(terms[i].size()) : 0);
  for (const std::string& term : terms) AppendTo(body, term);
  return {ByteRecord(0x81, {0, 0, 0, 0}), WordRecord(0xFF82, body)};
}

std::vector<Bytes> AssistActionFormula(const Bytes& formula) {
  Bytes padded = formula;
  PadToEven(padded);
  Bytes body;
  PutU32(body, 0x1);  // select documents
  PutU16(body, Length16(padded.size()));
  AppendTo(body, padded);
  return {ByteRecord(0x81, {}), WordRecord(0xFF84, body)};
}

std::vector<Bytes> AssistActionScript(std::string_view source) {
  Bytes text(source.begin(), source.end());
  PadToEven(text);
  Bytes body;
  PutU32(body, 0);
  PutU32(body, static_cast<uint32_t>(text.size()));
  AppendTo(body, text);
  return {ByteRecord(0x81, {}), WordRecord(0xFF85, body)};
}

std::vector<Bytes> NavigatorLayout(std::string_view name, std::string_view source, const Bytes& objectCode) {
  return {ByteRecord(0xAF, {8, 0, 0, 0}), Rectangle(name),
          ClickAction(0xFFBA, kViewMapRunScript, Bytes(source.begin(), source.end()), objectCode)};
}

}  // namespace quillet::kit
