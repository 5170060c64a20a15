// The formula builder: records laid out with their lengths and padding,
// operation streams with labels resolved to 16-bit jump offsets.
#include "support/formula_builder.h"

#include <bit>
#include <stdexcept>

#include "util/bytes.h"

namespace quillet::kit {
namespace {

void PutU16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void PadEven(std::vector<uint8_t>& out) {
  if (out.size() % 2 != 0) out.push_back(0);
}

std::vector<uint8_t> TextOperation(uint16_t op, std::string_view text) {
  std::vector<uint8_t> bytes;
  PutU16(bytes, op);
  PutU16(bytes, static_cast<uint16_t>(text.size()));
  bytes.insert(bytes.end(), text.begin(), text.end());
  PadEven(bytes);
  return bytes;
}

}  // namespace

FormulaBuilder::RecordSpec& FormulaBuilder::Current() {
  if (records_.empty() || !records_.back().expression) throw std::logic_error("operation outside an expression");
  return records_.back();
}

FormulaBuilder& FormulaBuilder::Add(Operation operation) {
  Current().operations.push_back(std::move(operation));
  return *this;
}

FormulaBuilder& FormulaBuilder::Main() {
  records_.push_back(RecordSpec{.type = 0, .expression = true});
  return *this;
}
FormulaBuilder& FormulaBuilder::Expression() {
  records_.push_back(RecordSpec{.type = 8, .expression = true});
  return *this;
}
FormulaBuilder& FormulaBuilder::Named(uint16_t type, std::string_view name) {
  records_.push_back(RecordSpec{.type = type, .expression = true, .named = true, .name = std::string(name)});
  return *this;
}
FormulaBuilder& FormulaBuilder::TempField(std::string_view name) { return Named(1, name); }
FormulaBuilder& FormulaBuilder::Column(std::string_view name) { return Named(2, name); }
FormulaBuilder& FormulaBuilder::Field(std::string_view name) { return Named(3, name); }
FormulaBuilder& FormulaBuilder::Environment(std::string_view name) { return Named(6, name); }

FormulaBuilder& FormulaBuilder::Remark(std::string_view text) {
  std::vector<uint8_t> body;
  PutU16(body, static_cast<uint16_t>(text.size()));
  body.insert(body.end(), text.begin(), text.end());
  PadEven(body);
  return Record(7, std::move(body));
}

FormulaBuilder& FormulaBuilder::Record(uint16_t type, std::vector<uint8_t> body) {
  records_.push_back(RecordSpec{.type = type, .body = std::move(body)});
  return *this;
}

FormulaBuilder& FormulaBuilder::Number(double value) {
  std::vector<uint8_t> bytes;
  PutU16(bytes, 0);
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  return Add({std::move(bytes), {}});
}
FormulaBuilder& FormulaBuilder::String(std::string_view text) { return Add({TextOperation(1, text), {}}); }
FormulaBuilder& FormulaBuilder::Name(std::string_view text) { return Add({TextOperation(5, text), {}}); }

FormulaBuilder& FormulaBuilder::Operator(uint8_t code, uint8_t operands) {
  std::vector<uint8_t> bytes;
  PutU16(bytes, static_cast<uint16_t>((operands << 8) | code));
  if (code == 0xFB && operands > 0) PutU16(bytes, 0);  // such operations carry one more word
  return Add({std::move(bytes), {}});
}

FormulaBuilder& FormulaBuilder::Extended(uint16_t code) {
  std::vector<uint8_t> bytes;
  PutU16(bytes, 251);
  PutU16(bytes, code);
  return Add({std::move(bytes), {}});
}

FormulaBuilder& FormulaBuilder::Jump(std::string label) {
  return Add({{174, 0, 0, 0}, {std::move(label)}});
}
FormulaBuilder& FormulaBuilder::TwoWayJump(std::string first, std::string second) {
  return Add({{175, 0, 0, 0, 0, 0}, {std::move(first), std::move(second)}});
}

FormulaBuilder& FormulaBuilder::Label(std::string label) {
  RecordSpec& record = Current();
  record.labels[std::move(label)] = record.operations.size();
  return *this;
}

FormulaBuilder& FormulaBuilder::Raw(std::vector<uint8_t> bytes) { return Add({std::move(bytes), {}}); }

std::vector<uint8_t> FormulaBuilder::Stream(const RecordSpec& record) {
  std::vector<size_t> offsets;  // of every operation, then of the end
  size_t at = 0;
  for (const Operation& operation : record.operations) {
    offsets.push_back(at);
    at += operation.bytes.size();
  }
  offsets.push_back(at);
  std::vector<uint8_t> stream;
  for (size_t i = 0; i < record.operations.size(); ++i) {
    std::vector<uint8_t> bytes = record.operations[i].bytes;
    for (size_t field = 0; field < record.operations[i].targets.size(); ++field) {
      auto label = record.labels.find(record.operations[i].targets[field]);
      if (label == record.labels.end()) throw std::logic_error("unknown label " + record.operations[i].targets[field]);
      // The first offset counts from the operation, a second from its own field.
      const size_t origin = offsets[i] + (field == 0 ? 0 : 4);
      StoreU16(bytes.data() + 2 + 2 * field, static_cast<uint16_t>(offsets[label->second] - origin));
    }
    stream.insert(stream.end(), bytes.begin(), bytes.end());
  }
  return stream;
}

std::vector<uint8_t> FormulaBuilder::Build() const {
  std::vector<uint8_t> formula(2, 0);
  for (const RecordSpec& record : records_) {
    std::vector<uint8_t> body = record.body;
    if (record.named) {
      PutU16(body, static_cast<uint16_t>(record.name.size()));
      body.insert(body.end(), record.name.begin(), record.name.end());
      PadEven(body);
    }
    if (record.expression) {
      std::vector<uint8_t> stream = Stream(record);
      body.insert(body.end(), stream.begin(), stream.end());
    }
    PutU16(formula, record.type);
    PutU16(formula, static_cast<uint16_t>(4 + body.size()));
    formula.insert(formula.end(), body.begin(), body.end());
    PadEven(formula);
  }
  StoreU16(formula.data(), static_cast<uint16_t>(formula.size()));
  return formula;
}

}  // namespace quillet::kit
