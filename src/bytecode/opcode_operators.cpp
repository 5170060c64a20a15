// Binary operators: the symbol and precedence table and the encoding.
#include "bytecode/opcode_operators.h"

#include <array>

namespace quillet {
namespace {

struct OperatorRow {
  int first;   // opcode
  int second;  // the same operator's second form; 0 when there is none
  const char* symbol;
  int32_t precedence;
};

// Arithmetic and comparison operators come in two forms with the same meaning.
constexpr OperatorRow kOperators[] = {
    {168, 172, "+", 11},   {169, 173, "-", 11},   {170, 174, "*", 14},   {171, 175, "/", 14},
    {176, 182, "<", 9},    {177, 183, "<=", 9},   {178, 184, "=", 9},    {179, 185, ">=", 9},
    {180, 186, ">", 9},    {181, 187, "<>", 9},   {188, 0, "\\", 13},    {189, 0, "Mod", 12},
    {191, 0, "&", 10},     {192, 0, "Imp", 2},    {193, 0, "Eqv", 3},    {194, 0, "Xor", 4},
    {195, 0, "Or", 5},     {196, 0, "And", 6},    {197, 0, "Is", 9},     {198, 0, "Like", 9},
    {216, 0, "IsA", 9},
};

// The row of each opcode byte (either form), found once instead of by a
// search per decoded operator; the first row listing a byte wins.
constexpr std::array<const OperatorRow*, 256> kRowByOpcode = [] {
  std::array<const OperatorRow*, 256> rows{};
  for (const OperatorRow& row : kOperators) {
    for (const int form : {row.first, row.second}) {
      if (form > 0 && form < 256 && rows[static_cast<size_t>(form)] == nullptr) rows[static_cast<size_t>(form)] = &row;
    }
  }
  return rows;
}();

}  // namespace

bool LookupBinaryOperator(int opcode, const char*& symbol, int32_t& precedence) {
  if (opcode < 0 || opcode >= static_cast<int>(kRowByOpcode.size())) return false;
  const OperatorRow* row = kRowByOpcode[static_cast<size_t>(opcode)];
  if (row == nullptr) return false;
  symbol = row->symbol;
  precedence = row->precedence;
  return true;
}

std::unique_ptr<OpBinaryOperator> OpBinaryOperator::Decoded(int variant_opcode) {
  const char* symbol = nullptr;
  int32_t precedence = 0;
  if (!LookupBinaryOperator(variant_opcode, symbol, precedence)) return nullptr;
  auto op = std::make_unique<OpBinaryOperator>(variant_opcode);
  op->symbol = symbol;
  op->precedence = precedence;
  return op;
}

int OpBinaryOperator::emit(std::vector<uint8_t>& buffer, int position) const {
  EmitSpace(buffer, position, 1)[0] = static_cast<uint8_t>(variant);
  return 1;
}

}  // namespace quillet
