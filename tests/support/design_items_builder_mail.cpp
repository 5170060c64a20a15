// Agent records that write mail or name forms, in their stored form.
#include <array>
#include <stdexcept>

#include "support/design_items_builder.h"

namespace quillet::kit {
namespace {

constexpr uint16_t kTypeTextListWord = 0x0501;
constexpr uint16_t kSigSendMail = 0xFF86;
constexpr uint16_t kSigNewsLetter = 0xFF8F;
constexpr uint16_t kSigUsesForm = 0xFF89;
// The flags that make To, cc, bcc and subject formulas.
constexpr std::array<uint32_t, 4> kFormulaFlags = {0x08, 0x10, 0x20, 0x40};

uint16_t Length16(size_t size) {
  if (size > 0xFFFF) throw std::length_error("piece over 64K");
  return static_cast<uint16_t>(size);
}
void AppendTo(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }
void AppendTo(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

// The stored fields and the formula flags they need.
std::array<Bytes, 5> MailFields(const MailSpec& mail, bool terminated, uint32_t& flags) {
  const std::array<const MailField*, 5> fields = {&mail.to, &mail.cc, &mail.bcc, &mail.subject, &mail.body};
  std::array<Bytes, 5> stored;
  flags = 0;
  for (size_t i = 0; i < fields.size(); ++i) {
    const bool formula = !fields[i]->formula.empty() && i < kFormulaFlags.size();
    if (formula) {
      flags |= kFormulaFlags[i];
      stored[i] = fields[i]->formula;
      if (stored[i].size() % 2 != 0) stored[i].push_back(0);  // formulas are kept even
      continue;
    }
    AppendTo(stored[i], fields[i]->text);
    if (terminated) {
      stored[i].push_back(0);
      if (stored[i].size() % 2 != 0) stored[i].push_back(0);
    }
  }
  return stored;
}

}  // namespace

Bytes SendMailRecord(const MailSpec& mail) {
  uint32_t flags = 0;
  const std::array<Bytes, 5> fields = MailFields(mail, true, flags);
  Bytes body;
  PutU32(body, flags | 0x1);  // the document goes with the mail
  for (const Bytes& field : fields) PutU16(body, Length16(field.size()));
  for (const Bytes& field : fields) AppendTo(body, field);
  return WordRecord(kSigSendMail, body);
}

Bytes NewsLetterRecord(const MailSpec& mail) {
  uint32_t flags = 0;
  const std::array<Bytes, 5> fields = MailFields(mail, false, flags);
  Bytes body;
  PutU32(body, flags | 0x1);  // a summary
  PutU32(body, 5);            // gather five documents
  PutU16(body, Length16(mail.view.size()));
  PutU16(body, 0);
  for (const Bytes& field : fields) PutU16(body, Length16(field.size()));
  AppendTo(body, mail.view);
  for (const Bytes& field : fields) AppendTo(body, field);
  return WordRecord(kSigNewsLetter, body);
}

Bytes ByFormRecord(uint16_t signature, std::string_view form, const std::vector<FieldValues>& fields) {
  Bytes body;
  PutU32(body, 0);
  PutU16(body, Length16(fields.size()));
  PutU16(body, Length16(form.size()));
  for (const FieldValues& field : fields) {
    Bytes value;
    PutU16(value, kTypeTextListWord);
    AppendTo(value, TextList(field.values));
    Bytes block;
    const size_t total = 12 + field.name.size() + value.size();
    PutU16(block, Length16(total + total % 2));
    PutU16(block, 1);  // replace
    PutU16(block, Length16(field.name.size()));
    PutU16(block, Length16(value.size()));
    PutU16(block, 0);
    PutU16(block, 0);
    AppendTo(block, field.name);
    AppendTo(block, value);
    if (block.size() % 2 != 0) block.push_back(0);
    AppendTo(body, block);
  }
  AppendTo(body, form);
  return WordRecord(signature, body);
}

Bytes UsesFormRecord(const std::vector<std::string>& forms) {
  Bytes body;
  PutU32(body, 0);
  AppendTo(body, TextList(forms));
  return WordRecord(kSigUsesForm, body);
}

}  // namespace quillet::kit
