// Conversions and operators: numeric ranks Boolean < Integer < Long <
// Double, strings converted where a number is needed, Integer results that
// leave 16 bits promoted to Long, Long results that leave 32 bits an
// Overflow.
#include "sim/lsrun/operators.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "sim/lsrun/errors.h"
#include "sim/lsrun/ops.h"

namespace quillet::lsrun {
namespace {

enum Rank { kRankBoolean, kRankInteger, kRankLong, kRankDouble };

// The numeric form of a scalar: strings must read as a whole number text.
int Numeric(const Value& v, Rank& rank, int64_t& i, double& d) {
  switch (v.type()) {
    case Value::Type::kEmpty: rank = kRankInteger; i = 0; return 0;
    case Value::Type::kBoolean: rank = kRankBoolean; i = v.n(); return 0;
    case Value::Type::kInteger: rank = kRankInteger; i = v.n(); return 0;
    case Value::Type::kLong: rank = kRankLong; i = v.n(); return 0;
    case Value::Type::kDouble: rank = kRankDouble; d = v.d(); return 0;
    case Value::Type::kString: {
      const std::string& t = v.text();
      const char* begin = t.c_str();
      while (*begin == ' ') ++begin;
      if (*begin == '\0') return err::kTypeMismatch;
      char* end = nullptr;
      const double parsed = std::strtod(begin, &end);
      while (*end == ' ') ++end;
      if (*end != '\0' || !std::isfinite(parsed)) return err::kTypeMismatch;
      rank = kRankDouble;
      d = parsed;
      return 0;
    }
    case Value::Type::kRef:
      return v.ref() ? Numeric(*v.ref(), rank, i, d) : err::kTypeMismatch;
    case Value::Type::kObject:
    case Value::Type::kArray: break;
  }
  return err::kTypeMismatch;
}

// An integer result of rank Integer or Long: Integer when it fits 16 bits
// and both operands were at most Integer, Long when it fits 32 bits.
int IntegerResult(int64_t r, Rank rank, Value& out) {
  if (rank <= kRankInteger && r >= INT16_MIN && r <= INT16_MAX) {
    out = Value::Integer(static_cast<int16_t>(r));
    return 0;
  }
  if (r < INT32_MIN || r > INT32_MAX) return err::kOverflow;
  out = Value::Long(static_cast<int32_t>(r));
  return 0;
}

int Compare(int opcode, const Value& a, const Value& b, Value& out) {
  int c = 0;
  const bool aText = a.type() == Value::Type::kString || a.type() == Value::Type::kEmpty;
  const bool bText = b.type() == Value::Type::kString || b.type() == Value::Type::kEmpty;
  if (aText && bText && (a.type() == Value::Type::kString || b.type() == Value::Type::kString)) {
    c = a.text().compare(b.text());
  } else {
    double x = 0, y = 0;
    if (int e = ToDouble(a, x)) return e;
    if (int e = ToDouble(b, y)) return e;
    c = x < y ? -1 : x > y ? 1 : 0;
  }
  bool r = false;
  switch (opcode) {
    case op::kLt: case op::kLt2: r = c < 0; break;
    case op::kLe: case op::kLe2: r = c <= 0; break;
    case op::kEq: case op::kEq2: r = c == 0; break;
    case op::kGe: case op::kGe2: r = c >= 0; break;
    case op::kGt: case op::kGt2: r = c > 0; break;
    default: r = c != 0; break;  // <>, both forms
  }
  out = Value::Boolean(r);
  return 0;
}

// Both operands of a binary operator as numbers: rank and value of each.
struct Operands {
  Rank ra{}, rb{};
  int64_t x = 0, y = 0;
  double dx = 0, dy = 0;
};

int ReadOperands(const Value& a, const Value& b, Operands& o) {
  if (int e = Numeric(a, o.ra, o.x, o.dx)) return e;
  return Numeric(b, o.rb, o.y, o.dy);
}

// Both operands rounded to Long, for the bitwise and integer-division operators.
int ReadLongs(const Value& a, const Value& b, int32_t& lx, int32_t& ly) {
  if (int e = ToLong(a, lx)) return e;
  return ToLong(b, ly);
}

int Logical(int opcode, const Value& a, const Value& b, Value& out) {
  Operands o;
  if (int e = ReadOperands(a, b, o)) return e;
  int32_t lx = 0, ly = 0;
  if (int e = ReadLongs(a, b, lx, ly)) return e;
  const Rank ra = o.ra, rb = o.rb;
  int32_t r = 0;
  switch (opcode) {
    case op::kImp: r = ~lx | ly; break;     // Imp
    case op::kEqv: r = ~(lx ^ ly); break;   // Eqv
    case op::kXor: r = lx ^ ly; break;      // Xor
    case op::kOr: r = lx | ly; break;      // Or
    default: r = lx & ly; break;       // And
  }
  if (ra == kRankBoolean && rb == kRankBoolean) {
    out = Value::Boolean(r != 0);
    return 0;
  }
  const Rank rank = std::max(std::max(ra, rb), kRankInteger);
  return IntegerResult(r, rank == kRankDouble ? kRankLong : rank, out);
}

int Arithmetic(int opcode, const Value& a, const Value& b, Value& out) {
  Operands o;
  if (int e = ReadOperands(a, b, o)) return e;
  const Rank ra = o.ra, rb = o.rb;
  const int64_t x = o.x, y = o.y;
  double dx = o.dx, dy = o.dy;
  const Rank rank = std::max(std::max(ra, rb), kRankInteger);
  if (opcode == op::kDiv || opcode == op::kDiv2 || opcode == op::kExp || rank == kRankDouble) {
    if (ra != kRankDouble) dx = static_cast<double>(x);
    if (rb != kRankDouble) dy = static_cast<double>(y);
    double r = 0;
    switch (opcode) {
      case op::kAdd: case op::kAdd2: r = dx + dy; break;
      case op::kSub: case op::kSub2: r = dx - dy; break;
      case op::kMul: case op::kMul2: r = dx * dy; break;
      case op::kExp: r = std::pow(dx, dy); break;
      default:  // "/"
        if (dy == 0) return err::kDivisionByZero;
        r = dx / dy;
        break;
    }
    if (!std::isfinite(r)) return err::kOverflow;
    out = Value::Double(r);
    return 0;
  }
  switch (opcode) {
    case op::kAdd: case op::kAdd2: return IntegerResult(x + y, rank, out);
    case op::kSub: case op::kSub2: return IntegerResult(x - y, rank, out);
    default: return IntegerResult(x * y, rank, out);
  }
}

// "\" and Mod: both operands rounded to integers first.
int IntegerDivision(int opcode, const Value& a, const Value& b, Value& out) {
  Operands o;
  if (int e = ReadOperands(a, b, o)) return e;
  int32_t lx = 0, ly = 0;
  if (int e = ReadLongs(a, b, lx, ly)) return e;
  const Rank ra = o.ra, rb = o.rb;
  if (ly == 0) return err::kDivisionByZero;
  const Rank rank = std::max(std::max(ra, rb), kRankInteger);
  const int64_t r = opcode == op::kIntDiv ? int64_t{lx} / ly : int64_t{lx} % ly;
  return IntegerResult(r, rank == kRankDouble ? kRankLong : rank, out);
}

}  // namespace

int ToDouble(const Value& v, double& out) {
  Rank rank{};
  int64_t i = 0;
  double d = 0;
  if (int e = Numeric(v, rank, i, d)) return e;
  out = rank == kRankDouble ? d : static_cast<double>(i);
  return 0;
}

int ToLong(const Value& v, int32_t& out) {
  Rank rank{};
  int64_t i = 0;
  double d = 0;
  if (int e = Numeric(v, rank, i, d)) return e;
  if (rank == kRankDouble) {
    const double r = std::nearbyint(d);
    if (!(r >= INT32_MIN && r <= INT32_MAX)) return err::kOverflow;
    i = static_cast<int64_t>(r);
  }
  out = static_cast<int32_t>(i);
  return 0;
}

int ToText(const Value& v, std::string& out) {
  return FormatValue(v, out) ? 0 : err::kTypeMismatch;
}

int Convert(const Value& v, SlotType type, Value& out) {
  if (v.type() == Value::Type::kRef) return v.ref() ? Convert(*v.ref(), type, out) : err::kTypeMismatch;
  switch (type) {
    case SlotType::kVariant: out = v; return 0;
    case SlotType::kObject:
      if (v.type() != Value::Type::kObject) return err::kTypeMismatch;
      out = v;
      return 0;
    case SlotType::kString: {
      std::string t;
      if (int e = ToText(v, t)) return e;
      out = Value::String(std::move(t));
      return 0;
    }
    case SlotType::kDouble: {
      double d = 0;
      if (int e = ToDouble(v, d)) return e;
      out = Value::Double(d);
      return 0;
    }
    case SlotType::kInteger:
    case SlotType::kLong: {
      int32_t l = 0;
      if (int e = ToLong(v, l)) return e;
      if (type == SlotType::kLong) {
        out = Value::Long(l);
      } else if (l < INT16_MIN || l > INT16_MAX) {
        return err::kOverflow;
      } else {
        out = Value::Integer(static_cast<int16_t>(l));
      }
      return 0;
    }
  }
  return err::kTypeMismatch;
}

int Truth(const Value& v, bool& out) {
  double d = 0;
  if (int e = ToDouble(v, d)) return e;
  out = d != 0;
  return 0;
}

int Binary(int opcode, const Value& a, const Value& b, Value& out, size_t maxString) {
  if (opcode == op::kConcat) {  // &
    std::string x, y;
    if (int e = ToText(a, x)) return e;
    if (int e = ToText(b, y)) return e;
    if (x.size() > maxString || y.size() > maxString - x.size()) return err::kOutOfStringSpace;
    out = Value::String(x + y);
    return 0;
  }
  if (opcode == op::kIs) {  // Is: the same object (or both Nothing)
    if (a.type() != Value::Type::kObject || b.type() != Value::Type::kObject) return err::kTypeMismatch;
    out = Value::Boolean(a.object() == b.object());
    return 0;
  }
  if ((opcode == op::kAdd || opcode == op::kAdd2) && a.type() == Value::Type::kString && b.type() == Value::Type::kString) {
    if (a.text().size() > maxString || b.text().size() > maxString - a.text().size()) return err::kOutOfStringSpace;
    out = Value::String(a.text() + b.text());
    return 0;
  }
  if (opcode >= op::kLt && opcode <= op::kNe2) return Compare(opcode, a, b, out);
  if (opcode >= op::kImp && opcode <= op::kAnd) return Logical(opcode, a, b, out);
  if (opcode == op::kIntDiv || opcode == op::kMod) return IntegerDivision(opcode, a, b, out);
  if ((opcode >= op::kAdd && opcode <= op::kDiv2) || opcode == op::kExp) return Arithmetic(opcode, a, b, out);
  return err::kIllegalFunctionCall;  // Like, IsA: not part of the runtime's subset
}

int Negate(const Value& v, Value& out) {
  Rank rank{};
  int64_t i = 0;
  double d = 0;
  if (int e = Numeric(v, rank, i, d)) return e;
  if (rank == kRankDouble) {
    out = Value::Double(-d);
    return 0;
  }
  return IntegerResult(-i, std::max(rank, kRankInteger), out);
}

int Not(const Value& v, Value& out) {
  Rank rank{};
  int64_t i = 0;
  double d = 0;
  if (int e = Numeric(v, rank, i, d)) return e;
  if (rank == kRankBoolean) {
    out = Value::Boolean(i == 0);
    return 0;
  }
  int32_t l = 0;
  if (int e = ToLong(v, l)) return e;
  return IntegerResult(~int64_t{l}, rank == kRankDouble ? kRankLong : rank, out);
}

}  // namespace quillet::lsrun
