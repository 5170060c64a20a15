// Rich-text elements of pages and forms in their stored form: captions,
// field hints, embedded views, frames, tables, HTML formulas and resource
// links.
#include <stdexcept>

#include "support/design_items_builder.h"

namespace quillet::kit {
namespace {

uint16_t Length16(size_t size) {
  if (size > 0xFFFF) throw std::length_error("piece over 64K");
  return static_cast<uint16_t>(size);
}
void AppendTo(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }
void AppendTo(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }
void Zeros(Bytes& out, size_t n) { out.insert(out.end(), n, 0); }
void Colour(Bytes& out) {
  PutU16(out, 0x0001);  // RGB
  out.insert(out.end(), {0x20, 0x40, 0x60, 0});
}

}  // namespace

Bytes CaptionRecord(std::string_view text) {
  Bytes body;
  PutU16(body, Length16(text.size()));
  body.push_back(0);      // centred below
  PutU32(body, 0x0A000001);  // Swiss 10 pt
  Colour(body);
  Zeros(body, 11);
  AppendTo(body, text);
  return WordRecord(0xFF76, body);
}

Bytes FieldHintRecord(std::string_view hint, uint16_t flags) {
  Bytes body;
  PutU16(body, Length16(hint.size()));
  PutU16(body, flags);
  PutU16(body, 0);
  PutU32(body, 0);
  AppendTo(body, hint);
  return WordRecord(0xFFE9, body);
}

Bytes EmbeddedViewRecord(const Bytes& restriction, std::string_view name) {
  Bytes body;
  PutU32(body, 0x1);
  PutU32(body, 0x0A000001);
  PutU16(body, Length16(restriction.size()));
  PutU16(body, 10);  // web lines
  PutU16(body, Length16(name.size()));
  PutU16(body, 0);
  Zeros(body, 12);
  AppendTo(body, restriction);
  AppendTo(body, name);
  return WordRecord(0xFFED, body);
}

Bytes FrameRecord(std::string_view name, std::string_view target, const Bytes& after) {
  Bytes body;
  PutU32(body, 0x10);  // scrolling given
  PutU16(body, 0);
  body.push_back(1);   // border
  body.push_back(0);
  PutU16(body, 3);     // scroll when needed
  PutU16(body, 4);
  PutU16(body, 4);
  PutU32(body, 0);
  PutU16(body, Length16(name.size()));
  PutU16(body, 0);
  PutU16(body, Length16(target.size()));
  Colour(body);
  PutU16(body, 0);
  AppendTo(body, name);
  AppendTo(body, target);
  AppendTo(body, after);
  return WordRecord(0xFFF1, body);
}

Bytes PreTableRecord(std::string_view name) {
  Bytes body;
  PutU32(body, 0);
  body.push_back(2);  // rows
  body.push_back(3);  // columns
  Zeros(body, 8 + 2 + 2 + 2 + 8);
  Colour(body);
  PutU16(body, Length16(name.size()));
  PutU16(body, 0);
  PutU16(body, 0);
  AppendTo(body, name);
  return WordRecord(0xFFFB, body);
}

Bytes HtmlFormulaRecord(uint32_t flags, const Bytes& formula) {
  Bytes body;
  PutU32(body, flags);
  Zeros(body, 4);
  AppendTo(body, formula);
  return WordRecord(0xFFCE, body);
}

Bytes HRefRecord(uint16_t signature, uint16_t type, uint32_t flags, std::string_view server, std::string_view file,
                 const Bytes& prefix, const Bytes& piece) {
  Bytes body;
  PutU32(body, flags);
  PutU16(body, type);
  PutU16(body, 1);  // an image
  PutU16(body, Length16(piece.size()));
  PutU16(body, Length16(server.size()));
  PutU16(body, Length16(file.size()));
  Zeros(body, 8);
  AppendTo(body, server);
  AppendTo(body, file);
  AppendTo(body, prefix);
  AppendTo(body, piece);
  return WordRecord(signature, body);
}

}  // namespace quillet::kit
