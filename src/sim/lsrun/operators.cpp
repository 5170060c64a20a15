// Conversions and operators: numeric ranks Boolean < Integer < Long <
// Double, strings converted where a number is needed, Integer results that
// leave 16 bits promoted to Long, Long results that leave 32 bits an
// Overflow.
#include "sim/lsrun/operators.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "sim/lsrun/errors.h"
#include "sim/lsrun/ops.h"

namespace quillet::lsrun {
namespace {

enum Rank { kRankBoolean, kRankInteger, kRankLong, kRankSingle, kRankDouble, kRankCurrency, kRankDate };

constexpr double kCurrencyScale = 10000.0;
// The largest magnitude a Currency holds, in ten-thousandths.
constexpr double kCurrencyLimit = 9.2233720368547758e18;

bool IsFloating(Rank r) { return r == kRankSingle || r == kRankDouble || r == kRankDate; }

// The numeric form of a scalar: `i` for Boolean, Integer and Long, `i` in
// ten-thousandths for Currency, `d` otherwise. Strings must read as a number.
int Numeric(const Value& v, Rank& rank, int64_t& i, double& d) {
  switch (v.type()) {
    case Value::Type::kEmpty: rank = kRankInteger; i = 0; return 0;
    case Value::Type::kBoolean: rank = kRankBoolean; i = v.n(); return 0;
    case Value::Type::kByte:
    case Value::Type::kInteger: rank = kRankInteger; i = v.n(); return 0;
    case Value::Type::kLong: rank = kRankLong; i = v.n(); return 0;
    case Value::Type::kSingle: rank = kRankSingle; d = v.d(); return 0;
    case Value::Type::kDouble: rank = kRankDouble; d = v.d(); return 0;
    case Value::Type::kCurrency: rank = kRankCurrency; i = v.c(); return 0;
    case Value::Type::kDate: rank = kRankDate; d = v.d(); return 0;
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
    case Value::Type::kArray:
    case Value::Type::kList:
    case Value::Type::kRecord: break;
  }
  return err::kTypeMismatch;
}

double AsDouble(Rank rank, int64_t i, double d) {
  if (rank == kRankCurrency) return static_cast<double>(i) / kCurrencyScale;
  return IsFloating(rank) ? d : static_cast<double>(i);
}

// Ten-thousandths of a number of any rank; Overflow beyond Currency's range.
int AsCurrency(Rank rank, int64_t i, double d, int64_t& out) {
  if (rank == kRankCurrency) return (out = i, 0);
  if (!IsFloating(rank)) return (out = i * 10000, 0);
  const double scaled = std::nearbyint(d * kCurrencyScale);
  if (!(scaled > -kCurrencyLimit && scaled < kCurrencyLimit)) return err::kOverflow;
  out = static_cast<int64_t>(scaled);
  return 0;
}

int CurrencyResult(__int128 r, Value& out) {
  if (r > INT64_MAX || r < INT64_MIN) return err::kOverflow;
  out = Value::Currency(static_cast<int64_t>(r));
  return 0;
}

// Rounds a quotient of ten-thousandths half away from zero.
__int128 RoundedDiv(__int128 n, __int128 d) {
  const bool negative = (n < 0) != (d < 0);
  if (n < 0) n = -n;
  if (d < 0) d = -d;
  __int128 q = (n + d / 2) / d;
  return negative ? -q : q;
}

int FloatingResult(double r, Rank rank, Value& out) {
  if (!std::isfinite(r)) return err::kOverflow;
  if (rank == kRankSingle) {
    if (std::fabs(r) > std::numeric_limits<float>::max()) return err::kOverflow;
    out = Value::Single(r);
  } else if (rank == kRankDate) {
    out = Value::Date(r);
  } else {
    out = Value::Double(r);
  }
  return 0;
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

// The second forms of the comparisons (Option Compare NoCase) order texts
// as their upper-case forms do.
int CompareNoCase(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t k = 0; k < n; ++k) {
    const int x = std::toupper(static_cast<unsigned char>(a[k]));
    const int y = std::toupper(static_cast<unsigned char>(b[k]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int Compare(int opcode, const Value& a, const Value& b, Value& out) {
  int c = 0;
  const bool aText = a.type() == Value::Type::kString || a.type() == Value::Type::kEmpty;
  const bool bText = b.type() == Value::Type::kString || b.type() == Value::Type::kEmpty;
  if (aText && bText && (a.type() == Value::Type::kString || b.type() == Value::Type::kString)) {
    c = a.text().compare(b.text());
    if (opcode >= op::kLt2 && opcode <= op::kNe2) c = CompareNoCase(a.text(), b.text());
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
  return IntegerResult(r, rank > kRankLong ? kRankLong : rank, out);
}

int Arithmetic(int opcode, const Value& a, const Value& b, Value& out) {
  Operands o;
  if (int e = ReadOperands(a, b, o)) return e;
  const Rank ra = o.ra, rb = o.rb;
  const bool add = opcode == op::kAdd || opcode == op::kAdd2;
  const bool sub = opcode == op::kSub || opcode == op::kSub2;
  const bool mul = opcode == op::kMul || opcode == op::kMul2;
  Rank rank = std::max(std::max(ra, rb), kRankInteger);
  // A date moved by a number of days stays a date; anything else with a
  // date is a plain number.
  if (rank == kRankDate) rank = (add || sub) && (ra == kRankDate) != (rb == kRankDate) ? kRankDate : kRankDouble;
  if (rank == kRankCurrency && opcode != op::kExp) {
    int64_t cx = 0, cy = 0;
    if (int e = AsCurrency(ra, o.x, o.dx, cx)) return e;
    if (int e = AsCurrency(rb, o.y, o.dy, cy)) return e;
    if (add) return CurrencyResult(static_cast<__int128>(cx) + cy, out);
    if (sub) return CurrencyResult(static_cast<__int128>(cx) - cy, out);
    if (mul) return CurrencyResult(RoundedDiv(static_cast<__int128>(cx) * cy, 10000), out);
    if (cy == 0) return err::kDivisionByZero;
    return CurrencyResult(RoundedDiv(static_cast<__int128>(cx) * 10000, cy), out);
  }
  if (opcode == op::kDiv || opcode == op::kDiv2 || opcode == op::kExp || IsFloating(rank) || rank == kRankCurrency) {
    const double dx = AsDouble(ra, o.x, o.dx);
    const double dy = AsDouble(rb, o.y, o.dy);
    double r = 0;
    if (add) {
      r = dx + dy;
    } else if (sub) {
      r = dx - dy;
    } else if (mul) {
      r = dx * dy;
    } else if (opcode == op::kExp) {
      r = std::pow(dx, dy);
    } else {
      if (dy == 0) return err::kDivisionByZero;
      r = dx / dy;
    }
    if (rank != kRankSingle && rank != kRankDate) rank = kRankDouble;
    return FloatingResult(r, rank, out);
  }
  const int64_t x = o.x, y = o.y;
  if (add) return IntegerResult(x + y, rank, out);
  if (sub) return IntegerResult(x - y, rank, out);
  return IntegerResult(x * y, rank, out);
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
  return IntegerResult(r, rank > kRankLong ? kRankLong : rank, out);
}

// One pattern element at p against character c; `next` is the position
// after the element.
bool ElementMatches(std::string_view p, size_t at, char c, size_t& next) {
  if (p[at] == '?') return (next = at + 1, true);
  if (p[at] == '#') return (next = at + 1, c >= '0' && c <= '9');
  if (p[at] != '[') return (next = at + 1, p[at] == c);
  size_t k = at + 1;
  const bool negate = k < p.size() && p[k] == '!';
  if (negate) ++k;
  bool found = false;
  for (; k < p.size() && p[k] != ']'; ++k) {
    if (k + 2 < p.size() && p[k + 1] == '-' && p[k + 2] != ']') {
      found = found || (c >= p[k] && c <= p[k + 2]);
      k += 2;
    } else {
      found = found || p[k] == c;
    }
  }
  next = k < p.size() ? k + 1 : k;
  return found != negate;
}

}  // namespace

bool LikeMatch(std::string_view text, std::string_view pattern) {
  // Iterative matching with one backtrack point for the last "*".
  size_t t = 0, p = 0, starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    size_t next = 0;
    if (p < pattern.size() && pattern[p] == '*') {
      starP = ++p;
      starT = t;
    } else if (p < pattern.size() && ElementMatches(pattern, p, text[t], next)) {
      p = next;
      ++t;
    } else if (starP != std::string_view::npos) {
      p = starP;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

int ToDouble(const Value& v, double& out) {
  Rank rank{};
  int64_t i = 0;
  double d = 0;
  if (int e = Numeric(v, rank, i, d)) return e;
  out = AsDouble(rank, i, d);
  return 0;
}

int ToCurrency(const Value& v, int64_t& out) {
  Rank rank{};
  int64_t i = 0;
  double d = 0;
  if (int e = Numeric(v, rank, i, d)) return e;
  return AsCurrency(rank, i, d, out);
}

int ToLong(const Value& v, int32_t& out) {
  Rank rank{};
  int64_t i = 0;
  double d = 0;
  if (int e = Numeric(v, rank, i, d)) return e;
  if (rank == kRankCurrency) {
    d = static_cast<double>(i) / kCurrencyScale;
    rank = kRankDouble;
  }
  if (IsFloating(rank)) {
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

namespace {

// The value type a slot of `type` holds, kEmpty for a Variant's any.

}  // namespace

int ConvertOther(const Value& v, SlotType type, Value& out) {
  if (v.type() == Value::Type::kRef) return v.ref() ? Convert(*v.ref(), type, out) : err::kTypeMismatch;
  // A Type's value goes only into a slot of a Type, as a copy.
  if (type == SlotType::kRecord || v.type() == Value::Type::kRecord) {
    const RecordRep* record = v.record();
    if (type != SlotType::kRecord || record == nullptr) return err::kTypeMismatch;
    out = Value::Record(record->Clone());
    return 0;
  }
  if (v.type() == HeldType(type)) return (out = v, 0);
  if (v.IsNull() && type != SlotType::kVariant) return err::kInvalidUseOfNull;
  switch (type) {
    case SlotType::kVariant: out = v; return 0;
    case SlotType::kRecord: break;  // above
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
    case SlotType::kDouble:
    case SlotType::kSingle: {
      double d = 0;
      if (int e = ToDouble(v, d)) return e;
      if (type == SlotType::kDouble) return (out = Value::Double(d), 0);
      if (std::fabs(d) > std::numeric_limits<float>::max()) return err::kOverflow;
      out = Value::Single(d);
      return 0;
    }
    case SlotType::kCurrency: {
      int64_t c = 0;
      if (int e = ToCurrency(v, c)) return e;
      out = Value::Currency(c);
      return 0;
    }
    case SlotType::kBoolean: {
      bool b = false;
      if (int e = Truth(v, b)) return e;
      out = Value::Boolean(b);
      return 0;
    }
    case SlotType::kByte: {
      int32_t l = 0;
      if (int e = ToLong(v, l)) return e;
      if (l < 0 || l > 255) return err::kOverflow;
      out = Value::Byte(static_cast<uint8_t>(l));
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
  // Null goes through arithmetic, comparisons and logic; & takes it as an
  // empty text unless both sides are Null.
  const bool aNull = a.IsNull() || (a.type() == Value::Type::kRef && a.ref() && a.ref()->IsNull());
  const bool bNull = b.IsNull() || (b.type() == Value::Type::kRef && b.ref() && b.ref()->IsNull());
  if ((aNull || bNull) && opcode != op::kIs && (opcode != op::kConcat || (aNull && bNull))) {
    out = Value::Null();
    return 0;
  }
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
  if (opcode == op::kLike) {
    std::string x, y;
    if (int e = ToText(a, x)) return e;
    if (int e = ToText(b, y)) return e;
    out = Value::Boolean(LikeMatch(x, y));
    return 0;
  }
  return err::kIllegalFunctionCall;  // IsA: not part of the runtime's subset
}

int Negate(const Value& v, Value& out) {
  if (v.IsNull()) return (out = Value::Null(), 0);
  Rank rank{};
  int64_t i = 0;
  double d = 0;
  if (int e = Numeric(v, rank, i, d)) return e;
  if (rank == kRankCurrency) return CurrencyResult(-static_cast<__int128>(i), out);
  if (IsFloating(rank)) return FloatingResult(-d, rank, out);
  return IntegerResult(-i, std::max(rank, kRankInteger), out);
}

int Not(const Value& v, Value& out) {
  if (v.IsNull()) return (out = Value::Null(), 0);
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
  return IntegerResult(~int64_t{l}, rank > kRankLong ? kRankLong : rank, out);
}

}  // namespace quillet::lsrun
