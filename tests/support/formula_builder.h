// Writes compiled formulas from a readable description: records, and in the
// expression records their operations, strings, names and jumps to labels.
// Lengths, padding, the total length and every jump offset are computed as
// the compiled-formula format lays them out, so tests never hand-code bytes.
//
//   auto formula = FormulaBuilder()
//                      .Main()
//                      .Number(1).Jump("end").String("skipped").Operator(0x20, 2)
//                      .Label("end")
//                      .Build();
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::kit {

class FormulaBuilder {
 public:
  // --- Records: each starts a new record; operations go to the last one.
  FormulaBuilder& Main();                               // type 0
  FormulaBuilder& Expression();                         // type 8
  FormulaBuilder& TempField(std::string_view name);     // type 1
  FormulaBuilder& Column(std::string_view name);        // type 2
  FormulaBuilder& Field(std::string_view name);         // type 3
  FormulaBuilder& Environment(std::string_view name);   // type 6
  FormulaBuilder& Remark(std::string_view text);        // type 7
  // Any other record, its bytes after the header given (type 4 marks where
  // re-encoding starts).
  FormulaBuilder& Record(uint16_t type, std::vector<uint8_t> body = {});

  // --- Operations of the current expression record.
  FormulaBuilder& Number(double value);                 // op 0
  FormulaBuilder& String(std::string_view text);        // op 1
  FormulaBuilder& Name(std::string_view text);          // op 5
  // An operation taking `operands` values: word (operands << 8) | code.
  FormulaBuilder& Operator(uint8_t code, uint8_t operands);
  FormulaBuilder& Extended(uint16_t code);              // op 251
  FormulaBuilder& Jump(std::string label);              // op 174
  FormulaBuilder& TwoWayJump(std::string first, std::string second);  // op 175
  // The next operation (or the end of the stream) is `label`.
  FormulaBuilder& Label(std::string label);
  // Any operation as its raw bytes, operation word first.
  FormulaBuilder& Raw(std::vector<uint8_t> bytes);

  // The compiled formula. Throws std::logic_error for a jump to an unknown
  // label or an operation outside an expression record.
  std::vector<uint8_t> Build() const;

 private:
  struct Operation {
    std::vector<uint8_t> bytes{};
    std::vector<std::string> targets{};  // jumps: one per offset field
  };
  struct RecordSpec {
    uint16_t type = 0;
    bool expression = false;
    bool named = false;
    std::string name{};           // name of a named record
    std::vector<uint8_t> body{};  // other records
    std::vector<Operation> operations{};
    std::map<std::string, size_t> labels{};  // label -> index of the operation it marks
  };
  RecordSpec& Current();
  FormulaBuilder& Add(Operation operation);
  FormulaBuilder& Named(uint16_t type, std::string_view name);
  static std::vector<uint8_t> Stream(const RecordSpec& record);

  std::vector<RecordSpec> records_;
};

}  // namespace quillet::kit
