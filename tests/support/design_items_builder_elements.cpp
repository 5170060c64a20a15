// Rich-text elements of pages and forms in their stored form: captions,
// field hints, embedded views, frames, tables and their labels, HTML
// formulas, resource links and embedded outlines; and outline values.
#include <algorithm>
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

Bytes FrameRecord(std::string_view name, std::string_view target, const Bytes& after, uint16_t dataFlags) {
  Bytes body;
  PutU32(body, 0x10);  // scrolling given
  PutU16(body, dataFlags);
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


Bytes FrameCaptionData(const Bytes& formula) {
  Bytes data;
  PutU16(data, Length16(formula.size()));
  AppendTo(data, formula);
  PutU16(data, 0);   // border at the top
  PutU16(data, 2);   // caption centred
  PutU16(data, 40);  // open 40 (percent with the frame flag)
  Colour(data);
  PutU32(data, 0x0A000001);
  Colour(data);
  return data;
}

Bytes TableLabelRecord(std::string_view label, uint16_t flags) {
  Bytes body(128, 0);
  std::copy_n(label.begin(), std::min<size_t>(label.size(), 127), body.begin());
  Zeros(body, 6);
  PutU16(body, flags);
  return WordRecord(0xFFE3, body);
}

Bytes EmbeddedOutlineRecord(std::string_view name, std::string_view target, std::string_view root,
                            const std::vector<Bytes>& images) {
  Bytes body(266, 0);  // the fixed part after the header
  auto put = [&body](size_t at, uint32_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) body[at - 4 + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  uint32_t flags = 0x20 | 0x200;  // twisties, tree style
  if (!name.empty()) flags |= 0x400;
  if (!target.empty()) flags |= 0x800;
  if (!root.empty()) flags |= 0x80000;
  put(4, flags, 4);
  put(26, 2, 2);  // hierarchical titles
  put(46, Length16(name.size()), 2);
  put(48, Length16(target.size()), 2);
  put(246, Length16(root.size()), 2);
  for (size_t i = 0; i < images.size(); ++i) put(202 + 2 * i, 1, 2);  // the image is set
  AppendTo(body, name);
  AppendTo(body, target);
  AppendTo(body, root);
  for (const Bytes& image : images) {
    AppendTo(body, image);
    if (image.size() % 2 != 0) body.push_back(0x3F);
  }
  return WordRecord(0xFFEC, body);
}

Bytes OutlineEntry(const OutlineEntrySpec& entry) {
  constexpr uint16_t kText = 0x0500;
  constexpr uint16_t kFormula = 0x0600;
  auto piece = [](uint16_t type, const Bytes& data) {
    Bytes out;
    if (data.empty()) return out;
    PutU16(out, type);
    AppendTo(out, data);
    return out;
  };
  auto text = [&piece](std::string_view value) { return piece(kText, Bytes(value.begin(), value.end())); };
  const Bytes title = text(entry.title), onClick = piece(kFormula, entry.onClick),
              hideWhen = piece(kFormula, entry.hideWhen), alias = text(entry.alias), source = text(entry.source);
  const size_t variable = title.size() + onClick.size() + hideWhen.size() + alias.size() + source.size() +
                          entry.after.size();
  Bytes out;
  PutU16(out, 72);
  PutU16(out, Length16(variable));
  PutU32(out, 0x1);  // expanded
  PutU32(out, 7);    // entry ID
  PutU16(out, 0);
  PutU16(out, 1);    // level
  PutU16(out, Length16(title.size()));    // 16
  PutU16(out, 0);                          // 18 popup
  PutU16(out, Length16(onClick.size()));  // 20
  PutU16(out, Length16(source.size()));   // 22
  PutU16(out, 0);                          // 24 images
  PutU16(out, 0);
  PutU16(out, 0);                          // 28 target frame
  PutU16(out, 0);
  PutU16(out, Length16(hideWhen.size()));  // 32
  PutU16(out, 0);
  PutU16(out, Length16(alias.size()));     // 36
  PutU16(out, 2);                          // 38 entry type: named element
  PutU16(out, 1);                          // 40 class
  Zeros(out, 72 - out.size());
  AppendTo(out, title);
  AppendTo(out, onClick);
  AppendTo(out, hideWhen);
  AppendTo(out, alias);
  AppendTo(out, source);
  AppendTo(out, entry.after);
  return out;
}

Bytes OutlineData(const std::vector<Bytes>& entries, const std::vector<uint16_t>& entriesPerItem) {
  Bytes out;
  out.push_back(1);  // version 1.1
  out.push_back(1);
  out.push_back(0);
  out.push_back(0);
  PutU16(out, static_cast<uint16_t>(entriesPerItem.size()));
  PutU16(out, static_cast<uint16_t>(entries.size()));
  Zeros(out, 74 - out.size());
  for (uint16_t count : entriesPerItem) PutU16(out, count);
  for (const Bytes& entry : entries) AppendTo(out, entry);
  return out;
}

}  // namespace quillet::kit
