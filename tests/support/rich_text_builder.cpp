// Navigator records, fields and small compiled modules in their stored form.
#include "support/rich_text_builder.h"

#include <stdexcept>
#include <string>

#include "sim/lsc/compiler.h"
#include "util/bytes.h"

namespace quillet::kit {
namespace {

void PutAt(Bytes& out, size_t at, uint16_t value) { StoreU16(out.data() + at, value); }
void AppendTo(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }
void AppendTo(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

}  // namespace

Bytes Rectangle(std::string_view name) {
  Bytes body(76, 0);
  PutAt(body, 18, static_cast<uint16_t>(name.size()));  // name length at 20 of the record
  AppendTo(body, name);
  return kit::ByteRecord(0xB1, body);
}

Bytes ClickAction(uint16_t signature, uint16_t type, const Bytes& first, const Bytes& second) {
  Bytes body(68, 0);
  PutAt(body, 8, type);                                       // action type at 12
  PutAt(body, 10, static_cast<uint16_t>(first.size()));       // first piece length at 14
  PutAt(body, 56, static_cast<uint16_t>(second.size()));      // second piece length at 60
  body[20] = 0x77;                                            // link information, copied
  AppendTo(body, first);
  AppendTo(body, second);
  // 0x00B5 keeps the word-length layout; a long-length reader sees the
  // highlight word after the length as the length's high word, which is 0.
  return kit::WordRecord(signature, body);
}

Bytes Field(const FieldSpec& f) {
  Bytes body(32, 0);
  PutAt(body, 0, f.flags);
  PutAt(body, 18, static_cast<uint16_t>(f.defaultValue.size()));
  PutAt(body, 20, static_cast<uint16_t>(f.translation.size()));
  PutAt(body, 22, 7);  // tab order, not a length
  PutAt(body, 24, static_cast<uint16_t>(f.validation.size()));
  PutAt(body, 26, static_cast<uint16_t>(f.name.size()));
  PutAt(body, 28, static_cast<uint16_t>(f.description.size()));
  PutAt(body, 30, static_cast<uint16_t>(f.keywords.size()));
  for (const Bytes* formula : {&f.defaultValue, &f.translation, &f.validation}) AppendTo(body, *formula);
  AppendTo(body, f.name);
  AppendTo(body, f.description);
  AppendTo(body, f.keywords);
  return kit::WordRecord(0xFF8A, body);
}

Bytes CompiledModule(std::string_view subName, int lines) {
  std::string source = "Sub " + std::string(subName) + "\n  Dim total As Integer\n";
  for (int i = 0; i < lines; ++i) source += "  total = total + " + std::to_string(i) + "\n";
  source += "End Sub\n";
  Bytes image;
  std::vector<CompileError> errors;
  if (!CompileLotusScript(source, image, errors)) throw std::runtime_error("module does not compile");
  return image;
}

}  // namespace quillet::kit
