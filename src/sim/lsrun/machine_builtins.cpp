// Built-in functions: the conversions and math with instructions of their
// own, and those OpBuiltinDisp calls by number (builtin_table.h).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "sim/lsrun/builtin_table.h"
#include "sim/lsrun/dates.h"
#include "sim/lsrun/errors.h"
#include "sim/lsrun/machine.h"
#include "sim/lsrun/number_format.h"
#include "sim/lsrun/operators.h"
#include "sim/lsrun/ops.h"

namespace quillet::lsrun {
namespace {

// The array the list functions (Join, ArrayAppend, ArrayGetIndex, FullTrim)
// work on: one of a single dimension.
ArrayRep* OneDim(const Value& v) {
  ArrayRep* rep = v.array();
  return rep != nullptr && rep->dims.size() == 1 ? rep : nullptr;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

const Value& Held(const Value& v) { return v.type() == Value::Type::kRef && v.ref() ? *v.ref() : v; }

// A date from a date, a number or a date text.
int ToDate(const Value& v, double& serial) {
  const Value& h = Held(v);
  if (h.type() == Value::Type::kDate) return (serial = h.d(), 0);
  if (h.type() == Value::Type::kString) {
    if (ParseDateText(h.text(), serial)) return 0;
    double d = 0;
    if (ToDouble(h, d) != 0) return err::kTypeMismatch;
    serial = d;
    return 0;
  }
  return ToDouble(h, serial);
}

// Find with optional case folding; npos when absent.
size_t FindText(const std::string& s, const std::string& what, size_t from, bool fold) {
  if (!fold) return s.find(what, from);
  return Upper(s).find(Upper(what), from);
}

std::string FormatDate(double serial, const std::string& fmt) {
  const CivilTime t = CivilOf(serial);
  static const char* const kMonths[] = {"January", "February", "March", "April", "May", "June", "July",
                                        "August", "September", "October", "November", "December"};
  const std::string u = Upper(fmt);
  if (u == "SHORT DATE") return FormatDate(serial, "mm/dd/yyyy");
  if (u == "LONG DATE") return FormatDate(serial, "mmmm d, yyyy");
  if (u == "LONG TIME") return FormatDate(serial, "h:nn:ss AM/PM");
  if (u == "SHORT TIME") return FormatDate(serial, "hh:nn");
  if (u == "GENERAL DATE") return DateText(serial);
  const bool twelve = u.find("AM/PM") != std::string::npos;
  std::string out;
  bool afterHour = false;
  for (size_t k = 0; k < fmt.size();) {
    auto run = [&](char c) {
      size_t n = 0;
      while (k + n < u.size() && u[k + n] == c) ++n;
      return n;
    };
    const char c = u[k];
    char buf[32];
    // A run of one letter is the number as it is, of two or more two digits.
    auto number = [&](char letter, int value) {
      const size_t n = run(letter);
      std::snprintf(buf, sizeof buf, n >= 2 ? "%02d" : "%d", value);
      out += buf;
      k += n;
    };
    if (c == 'Y') {
      const size_t n = run('Y');
      std::snprintf(buf, sizeof buf, n <= 2 ? "%02d" : "%04d", n <= 2 ? t.year % 100 : t.year);
      out += buf;
      k += n;
    } else if (c == 'M' && !afterHour) {
      const size_t n = run('M');
      if (n >= 4) {
        out += kMonths[t.month - 1];
      } else if (n == 3) {
        out += std::string(kMonths[t.month - 1]).substr(0, 3);
      } else {
        std::snprintf(buf, sizeof buf, n == 2 ? "%02d" : "%d", t.month);
        out += buf;
      }
      k += n;
    } else if (c == 'D') {
      number('D', t.day);
    } else if (c == 'H') {
      number('H', twelve ? (t.hour % 12 == 0 ? 12 : t.hour % 12) : t.hour);
      afterHour = true;
    } else if (c == 'N' || (c == 'M' && afterHour)) {
      number(c, t.minute);
    } else if (c == 'S') {
      number('S', t.second);
    } else if (u.compare(k, 5, "AM/PM") == 0) {
      out += t.hour < 12 ? "AM" : "PM";
      k += 5;
    } else {
      out += fmt[k++];
    }
  }
  return out;
}

std::string TypeNameOf(const Value& v) {
  switch (v.type()) {
    case Value::Type::kEmpty: return v.IsNull() ? "NULL" : "EMPTY";
    case Value::Type::kBoolean: return "BOOLEAN";
    case Value::Type::kByte: return "BYTE";
    case Value::Type::kInteger: return "INTEGER";
    case Value::Type::kLong: return "LONG";
    case Value::Type::kSingle: return "SINGLE";
    case Value::Type::kDouble: return "DOUBLE";
    case Value::Type::kCurrency: return "CURRENCY";
    case Value::Type::kDate: return "DATE";
    case Value::Type::kString: return "STRING";
    default: return "OBJECT";
  }
}

int DataTypeOf(const Value& v) {
  switch (v.type()) {
    case Value::Type::kEmpty: return v.IsNull() ? 1 : 0;
    case Value::Type::kInteger: return 2;
    case Value::Type::kLong: return 3;
    case Value::Type::kSingle: return 4;
    case Value::Type::kDouble: return 5;
    case Value::Type::kCurrency: return 6;
    case Value::Type::kDate: return 7;
    case Value::Type::kString: return 8;
    case Value::Type::kBoolean: return 11;
    case Value::Type::kByte: return 17;
    case Value::Type::kObject: return v.object() ? 34 : 9;
    default: return 12;
  }
}

std::string SlotTypeName(SlotType t) {
  switch (t) {
    case SlotType::kInteger: return "INTEGER";
    case SlotType::kLong: return "LONG";
    case SlotType::kDouble: return "DOUBLE";
    case SlotType::kSingle: return "SINGLE";
    case SlotType::kCurrency: return "CURRENCY";
    case SlotType::kBoolean: return "BOOLEAN";
    case SlotType::kByte: return "BYTE";
    case SlotType::kString: return "STRING";
    case SlotType::kObject: return "OBJECT";
    default: return "VARIANT";
  }
}

int DataTypeOfSlot(SlotType t) {
  switch (t) {
    case SlotType::kInteger: return 2;
    case SlotType::kLong: return 3;
    case SlotType::kSingle: return 4;
    case SlotType::kDouble: return 5;
    case SlotType::kCurrency: return 6;
    case SlotType::kString: return 8;
    case SlotType::kObject: return 9;
    case SlotType::kBoolean: return 11;
    case SlotType::kByte: return 17;
    default: return 12;
  }
}

// Val: the longest number at the start of the text, blanks ignored; 0 when
// there is none.
double LeadingNumber(const std::string& s) {
  std::string compact;
  for (char c : s) {
    if (c != ' ' && c != '\t') compact += c;
  }
  if (compact.size() > 2 && compact[0] == '&' && (compact[1] == 'H' || compact[1] == 'h')) {
    return static_cast<double>(static_cast<int32_t>(std::strtoul(compact.c_str() + 2, nullptr, 16)));
  }
  return std::strtod(compact.c_str(), nullptr);
}

}  // namespace

Status Machine::Unary(const Insn& in, int& error) {
  Value v = PopValue();
  const Value& h = Held(v);
  Value r;
  switch (in.op) {
    case op::kUMinus: error = Negate(h, r); break;
    case op::kNot: error = Not(h, r); break;
    case op::kCVar:
    case op::kCVarFirst: r = h; break;
    case op::kCByte: error = Convert(h, SlotType::kByte, r); break;
    case op::kCInt: error = Convert(h, SlotType::kInteger, r); break;
    case op::kCLng: error = Convert(h, SlotType::kLong, r); break;
    case op::kCSng: error = Convert(h, SlotType::kSingle, r); break;
    case op::kCDbl: error = Convert(h, SlotType::kDouble, r); break;
    case op::kCCur: error = Convert(h, SlotType::kCurrency, r); break;
    case op::kCStr: error = Convert(h, SlotType::kString, r); break;
    case op::kCBool: error = Convert(h, SlotType::kBoolean, r); break;
    case op::kCDat: {
      double serial = 0;
      error = ToDate(h, serial);
      r = Value::Date(serial);
      break;
    }
    default: {  // Abs, Int, Fix keep the numeric type; a text becomes a Double
      Value n = h;
      if (h.type() == Value::Type::kString || h.type() == Value::Type::kEmpty) {
        double d = 0;
        if ((error = ToDouble(h, d)) != 0) break;
        n = Value::Double(d);
      }
      switch (n.type()) {
        case Value::Type::kBoolean:
        case Value::Type::kByte:
        case Value::Type::kInteger:
        case Value::Type::kLong:
          if (in.op == op::kAbs && n.n() < 0) {
            error = Negate(n, r);
          } else {
            r = n.type() == Value::Type::kBoolean ? Value::Integer(static_cast<int16_t>(n.n())) : n;
          }
          break;
        case Value::Type::kCurrency: {
          const int64_t c = n.c();
          int64_t whole = c / 10000 * 10000;
          if (in.op == op::kInt && c < 0 && whole != c) whole -= 10000;
          r = Value::Currency(in.op == op::kAbs ? (c < 0 ? -c : c) : whole);
          break;
        }
        default: {
          const double d = n.d();
          const double x = in.op == op::kAbs ? std::fabs(d) : in.op == op::kInt ? std::floor(d) : std::trunc(d);
          r = n.type() == Value::Type::kSingle ? Value::Single(x) : n.type() == Value::Type::kDate ? Value::Date(x) : Value::Double(x);
          break;
        }
      }
      break;
    }
  }
  if (error == 0) stack_.push_back(std::move(r));
  return Status::kOk;
}

Status Machine::Builtin(const Insn& in, int& error) {
  const BuiltinSpec* spec = BuiltinByNumber(in.a);
  if (spec == nullptr) return Fatal("built-in function " + std::to_string(in.a) + " is not supported");
  const size_t n = spec->maxArgs;
  if (stack_.size() - current_->stackBase < n) return Fatal("stack underflow");
  // The arguments move into one buffer kept from call to call (a built-in
  // runs no script code, so no other call uses it meanwhile), emptied
  // however the call ends.
  struct EmptiedOnReturn {
    std::vector<Value>& values;
    ~EmptiedOnReturn() { values.clear(); }
  } emptied{builtinArgs_};
  std::vector<Value>& args = builtinArgs_;
  args.assign(std::make_move_iterator(stack_.end() - static_cast<std::ptrdiff_t>(n)),
              std::make_move_iterator(stack_.end()));
  stack_.resize(stack_.size() - n);
  for (Value& a : args) {
    if (a.type() == Value::Type::kRef) a = Value(Held(a));
  }
  if (spec->number >= builtin::kFirstFile && spec->number <= builtin::kLastFile) return FileBuiltin(spec->number, args, error);
  auto missing = [&](size_t i) { return i >= args.size() || args[i].IsMissing(); };
  auto text = [&](size_t i, std::string& out) { return error = ToText(args[i], out); };
  auto lng = [&](size_t i, int32_t& out) { return error = ToLong(args[i], out); };
  auto dbl = [&](size_t i, double& out) { return error = ToDouble(args[i], out); };
  auto push = [&](Value v) {
    stack_.push_back(std::move(v));
    return Status::kOk;
  };
  auto fail = [&](int code) {
    error = code;
    return Status::kOk;
  };
  auto limit = [&](const std::string& s) {
    if (s.size() > options_.maxStringLength) return fail(err::kOutOfStringSpace);
    return push(Value::String(s));
  };
  auto compare = [&](size_t i, bool& fold) {
    int32_t c = 0;
    if (!missing(i) && lng(i, c)) return false;
    fold = c == 1 || c == 5;
    return true;
  };
  auto date = [&](CivilTime& t) {
    double serial = 0;
    if ((error = ToDate(args[0], serial)) != 0) return false;
    t = CivilOf(serial);
    return true;
  };
  std::string s, s2, s3;
  int32_t a = 0, b = 0;
  double d = 0;
  switch (spec->number) {
    case builtin::kLen:
      if (text(0, s)) return Status::kOk;
      return push(Value::Long(static_cast<int32_t>(s.size())));
    case builtin::kLeft:
    case builtin::kRight:
      if (text(0, s) || lng(1, a)) return Status::kOk;
      if (a < 0) return fail(err::kIllegalFunctionCall);
      if (static_cast<size_t>(a) >= s.size()) return push(Value::String(s));
      return push(Value::String(spec->number == builtin::kLeft ? s.substr(0, a) : s.substr(s.size() - a)));
    case builtin::kMid:
      if (text(0, s) || lng(1, a)) return Status::kOk;
      b = INT32_MAX;
      if (!missing(2) && lng(2, b)) return Status::kOk;
      if (a < 1 || b < 0) return fail(err::kIllegalFunctionCall);
      if (static_cast<size_t>(a) > s.size()) return push(Value::String(""));
      return push(Value::String(s.substr(static_cast<size_t>(a) - 1, static_cast<size_t>(b))));
    case builtin::kInStr: {
      a = 1;
      if (!missing(0) && lng(0, a)) return Status::kOk;
      if (text(1, s) || text(2, s2)) return Status::kOk;
      bool fold = false;
      if (!compare(3, fold)) return Status::kOk;
      if (a < 1) return fail(err::kIllegalFunctionCall);
      if (static_cast<size_t>(a) > s.size() + 1) return push(Value::Long(0));
      const size_t at = FindText(s, s2, static_cast<size_t>(a) - 1, fold);
      return push(Value::Long(at == std::string::npos ? 0 : static_cast<int32_t>(at) + 1));
    }
    case builtin::kInStrRev: {
      if (text(0, s) || text(1, s2)) return Status::kOk;
      a = -1;
      if (!missing(2) && lng(2, a)) return Status::kOk;
      bool fold = false;
      if (!compare(3, fold)) return Status::kOk;
      if (a == 0 || a < -1) return fail(err::kIllegalFunctionCall);
      const std::string hay = fold ? Upper(s) : s;
      const std::string needle = fold ? Upper(s2) : s2;
      const size_t end = a == -1 ? hay.size() : std::min<size_t>(hay.size(), static_cast<size_t>(a));
      if (needle.size() > end) return push(Value::Long(0));
      const size_t at = hay.rfind(needle, end - needle.size());
      return push(Value::Long(at == std::string::npos ? 0 : static_cast<int32_t>(at) + 1));
    }
    case builtin::kUCase:
    case builtin::kLCase:
      if (text(0, s)) return Status::kOk;
      return push(Value::String(spec->number == builtin::kUCase ? Upper(s) : Lower(s)));
    case builtin::kTrim:
    case builtin::kLTrim:
    case builtin::kRTrim: {
      if (text(0, s)) return Status::kOk;
      size_t first = 0, last = s.size();
      if (spec->number != builtin::kRTrim) first = std::min(s.find_first_not_of(' '), s.size());
      if (spec->number != builtin::kLTrim) last = s.find_last_not_of(' ') + 1;
      return push(Value::String(first < last ? s.substr(first, last - first) : ""));
    }
    case builtin::kFullTrim: {
      if (ArrayRep* rep = OneDim(args[0])) {
        std::vector<Value> kept;
        for (const Value& v : rep->items) {
          std::string t;
          if (!(v.type() == Value::Type::kString && v.text().empty()) && !(v.type() == Value::Type::kEmpty)) kept.push_back(v);
          (void)t;
        }
        auto* out = new ArrayRep(rep->lower, std::max<size_t>(kept.size(), 1), rep->element);
        for (size_t k = 0; k < kept.size(); ++k) out->items[k] = kept[k];
        return push(Value::Array(out));
      }
      if (text(0, s)) return Status::kOk;
      std::string out;
      for (char c : s) {
        if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
        out += c;
      }
      if (!out.empty() && out.back() == ' ') out.pop_back();
      return push(Value::String(out));
    }
    case builtin::kReplace: {
      if (text(0, s) || text(1, s2) || text(2, s3)) return Status::kOk;
      int32_t start = 1, count = -1;
      if (!missing(3) && lng(3, start)) return Status::kOk;
      if (!missing(4) && lng(4, count)) return Status::kOk;
      bool fold = false;
      if (!compare(5, fold)) return Status::kOk;
      if (start < 1) return fail(err::kIllegalFunctionCall);
      if (s2.empty() || count == 0) return push(Value::String(s));
      std::string out = s.substr(0, std::min<size_t>(s.size(), static_cast<size_t>(start) - 1));
      size_t at = out.size();
      while (at <= s.size()) {
        const size_t hit = count == 0 ? std::string::npos : FindText(s, s2, at, fold);
        if (hit == std::string::npos) {
          out += s.substr(at);
          break;
        }
        out += s.substr(at, hit - at) + s3;
        if (out.size() > options_.maxStringLength) return fail(err::kOutOfStringSpace);
        at = hit + s2.size();
        if (count > 0) --count;
      }
      return limit(out);
    }
    case builtin::kSplit: {
      if (text(0, s)) return Status::kOk;
      s2 = " ";
      if (!missing(1) && text(1, s2)) return Status::kOk;
      int32_t count = -1;
      if (!missing(2) && lng(2, count)) return Status::kOk;
      bool fold = false;
      if (!compare(3, fold)) return Status::kOk;
      std::vector<std::string> parts;
      size_t at = 0;
      while (!s2.empty() && (count < 0 || static_cast<int32_t>(parts.size()) + 1 < count)) {
        const size_t hit = FindText(s, s2, at, fold);
        if (hit == std::string::npos) break;
        parts.push_back(s.substr(at, hit - at));
        at = hit + s2.size();
      }
      parts.push_back(s.substr(at));
      auto* rep = new ArrayRep(0, parts.size(), SlotType::kString);
      for (size_t k = 0; k < parts.size(); ++k) rep->items[k] = Value::String(parts[k]);
      return push(Value::Array(rep));
    }
    case builtin::kJoin: {
      ArrayRep* rep = OneDim(args[0]);
      if (rep == nullptr) return fail(err::kTypeMismatch);
      s2 = " ";
      if (!missing(1) && text(1, s2)) return Status::kOk;
      std::string out;
      for (size_t k = 0; k < rep->items.size(); ++k) {
        std::string t;
        if ((error = ToText(rep->items[k], t)) != 0) return Status::kOk;
        out += (k ? s2 : "") + t;
        if (out.size() > options_.maxStringLength) return fail(err::kOutOfStringSpace);
      }
      return push(Value::String(out));
    }
    case builtin::kStrComp: {
      if (text(0, s) || text(1, s2)) return Status::kOk;
      bool fold = false;
      if (!compare(2, fold)) return Status::kOk;
      const int c = fold ? Upper(s).compare(Upper(s2)) : s.compare(s2);
      return push(Value::Integer(static_cast<int16_t>(c < 0 ? -1 : c > 0 ? 1 : 0)));
    }
    case builtin::kStrConv: {
      if (text(0, s) || lng(1, a)) return Status::kOk;
      if (a == 1) return push(Value::String(Upper(s)));
      if (a == 2) return push(Value::String(Lower(s)));
      if (a != 3) return fail(err::kIllegalFunctionCall);
      s = Lower(s);
      for (size_t k = 0; k < s.size(); ++k) {
        if (k == 0 || s[k - 1] == ' ') s[k] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[k])));
      }
      return push(Value::String(s));
    }
    case builtin::kSpace:
    case builtin::kString: {
      if (lng(0, a)) return Status::kOk;
      if (a < 0) return fail(err::kIllegalFunctionCall);
      if (static_cast<size_t>(a) > options_.maxStringLength) return fail(err::kOutOfStringSpace);
      char c = ' ';
      if (spec->number == builtin::kString) {
        if (Held(args[1]).type() == Value::Type::kString) {
          if (args[1].text().empty()) return fail(err::kIllegalFunctionCall);
          c = args[1].text()[0];
        } else {
          if (lng(1, b)) return Status::kOk;
          if (b < 0 || b > 255) return fail(err::kIllegalFunctionCall);
          c = static_cast<char>(b);
        }
      }
      return push(Value::String(std::string(static_cast<size_t>(a), c)));
    }
    case builtin::kChr:
      if (lng(0, a)) return Status::kOk;
      if (a < 0 || a > 255) return fail(err::kIllegalFunctionCall);
      return push(Value::String(std::string(1, static_cast<char>(a))));
    case builtin::kAsc:
      if (text(0, s)) return Status::kOk;
      if (s.empty()) return fail(err::kIllegalFunctionCall);
      return push(Value::Long(static_cast<unsigned char>(s[0])));
    case builtin::kStr: {
      if (Held(args[0]).type() == Value::Type::kString) {
        if (dbl(0, d)) return Status::kOk;
        args[0] = Value::Double(d);
      }
      if (!args[0].IsNumeric()) return fail(err::kTypeMismatch);
      if (text(0, s)) return Status::kOk;
      return push(Value::String(s.empty() || s[0] == '-' ? s : " " + s));
    }
    case builtin::kVal:
      if (text(0, s)) return Status::kOk;
      return push(Value::Double(LeadingNumber(s)));
    case builtin::kFormat: {
      const Value& v = args[0];
      if (missing(1)) {
        if (text(0, s)) return Status::kOk;
        return push(Value::String(s));
      }
      if (text(1, s2)) return Status::kOk;
      const std::string u = Upper(s2);
      const bool datePattern = v.type() == Value::Type::kDate || u.find("YY") != std::string::npos ||
                               u.find("DD") != std::string::npos || u.find("NN") != std::string::npos ||
                               u.find("HH") != std::string::npos || u.find("DATE") != std::string::npos ||
                               u.find("TIME") != std::string::npos;
      if (datePattern) {
        double serial = 0;
        if ((error = ToDate(v, serial)) != 0) return Status::kOk;
        return push(Value::String(FormatDate(serial, s2)));
      }
      if (v.type() == Value::Type::kString && ToDouble(v, d) != 0) return push(Value::String(v.text()));
      if (dbl(0, d)) return Status::kOk;
      return push(Value::String(FormatNumber(d, s2)));
    }
    case builtin::kRound: {
      if (dbl(0, d)) return Status::kOk;
      a = 0;
      if (!missing(1) && lng(1, a)) return Status::kOk;
      if (a < 0 || a > 15) return fail(err::kIllegalFunctionCall);
      const double scale = std::pow(10.0, a);
      // Halves go to the even neighbour; the scaled value is cleaned of
      // binary noise first so 2.5 and 0.125 * 100 round as written.
      const double scaled = std::nearbyint(d * scale * 1e6) / 1e6;
      return push(Value::Double(std::nearbyint(scaled) / scale));
    }
    case builtin::kSqr:
    case builtin::kExp:
    case builtin::kLog: {
      if (dbl(0, d)) return Status::kOk;
      if ((spec->number == builtin::kSqr && d < 0) || (spec->number == builtin::kLog && d <= 0)) {
        return fail(err::kIllegalFunctionCall);
      }
      const double r = spec->number == builtin::kSqr ? std::sqrt(d) : spec->number == builtin::kExp ? std::exp(d) : std::log(d);
      if (!std::isfinite(r)) return fail(err::kOverflow);
      return push(Value::Double(r));
    }
    case builtin::kSgn:
      if (dbl(0, d)) return Status::kOk;
      return push(Value::Integer(static_cast<int16_t>(d > 0 ? 1 : d < 0 ? -1 : 0)));
    case builtin::kRnd:
    case builtin::kRandomize: {
      if (spec->number == builtin::kRandomize) {
        if (!missing(0)) {
          if (dbl(0, d)) return Status::kOk;
          rndState_ = static_cast<uint64_t>(static_cast<int64_t>(d)) * 0x9E3779B97F4A7C15ull + 1;
        } else {
          rndState_ = static_cast<uint64_t>(std::time(nullptr)) * 0x9E3779B97F4A7C15ull + 1;
        }
        return Status::kOk;
      }
      if (!missing(0)) {
        if (dbl(0, d)) return Status::kOk;
        if (d == 0) return push(Value::Single(static_cast<double>(rndState_ >> 40) / 16777216.0));
      }
      rndState_ ^= rndState_ << 13;
      rndState_ ^= rndState_ >> 7;
      rndState_ ^= rndState_ << 17;
      return push(Value::Single(static_cast<double>(rndState_ >> 40) / 16777216.0));
    }
    case builtin::kLBound:
    case builtin::kUBound: {
      ArrayRep* rep = args[0].array();
      if (rep == nullptr) return fail(err::kTypeMismatch);
      if (rep->dynamic && rep->items.empty()) return fail(err::kSubscriptOutOfRange);  // never sized
      a = 1;
      if (!missing(1) && lng(1, a)) return Status::kOk;
      if (a < 1 || static_cast<size_t>(a) > rep->dims.size()) return fail(err::kSubscriptOutOfRange);
      const ArrayBound& dim = rep->dims[static_cast<size_t>(a) - 1];
      const int64_t bound = spec->number == builtin::kLBound ? dim.lower : dim.lower + int64_t{dim.count} - 1;
      return push(Value::Long(static_cast<int32_t>(bound)));
    }
    case builtin::kNull:
      return push(Value::Null());
    case builtin::kIsArray:
      return push(Value::Boolean(args[0].array() != nullptr));
    case builtin::kArrayAppend: {
      ArrayRep* first = OneDim(args[0]);
      if (first == nullptr) return fail(err::kTypeMismatch);
      std::vector<Value> tail;
      if (args[1].array() != nullptr && OneDim(args[1]) == nullptr) return fail(err::kTypeMismatch);
      if (ArrayRep* second = args[1].array()) {
        tail = second->items;
      } else {
        tail.push_back(args[1]);
      }
      const SlotType element = (args[1].array() && args[1].array()->element == first->element) ? first->element : SlotType::kVariant;
      auto* rep = new ArrayRep(first->lower, first->items.size() + tail.size(), element);
      for (size_t k = 0; k < first->items.size(); ++k) rep->items[k] = first->items[k];
      for (size_t k = 0; k < tail.size(); ++k) rep->items[first->items.size() + k] = tail[k];
      return push(Value::Array(rep));
    }
    case builtin::kArrayGetIndex: {
      ArrayRep* rep = OneDim(args[0]);
      if (rep == nullptr) return fail(err::kTypeMismatch);
      bool fold = false;
      if (!compare(2, fold)) return Status::kOk;
      for (size_t k = 0; k < rep->items.size(); ++k) {
        const Value& item = rep->items[k];
        Value eq;
        if (fold && item.type() == Value::Type::kString && args[1].type() == Value::Type::kString) {
          if (Upper(item.text()) == Upper(args[1].text())) return push(Value::Long(rep->lower + static_cast<int32_t>(k)));
          continue;
        }
        if (Binary(op::kEq, item, args[1], eq) == 0 && eq.n() != 0) {
          return push(Value::Long(rep->lower + static_cast<int32_t>(k)));
        }
      }
      return push(Value::Null());
    }
    case builtin::kIsNumeric: {
      const Value& v = args[0];
      if (v.type() == Value::Type::kString) return push(Value::Boolean(ToDouble(v, d) == 0));
      return push(Value::Boolean((v.IsNumeric() && v.type() != Value::Type::kDate) || (v.type() == Value::Type::kEmpty && !v.IsNull())));
    }
    case builtin::kIsEmpty:
      return push(Value::Boolean(args[0].type() == Value::Type::kEmpty && !args[0].IsNull()));
    case builtin::kIsNull:
      return push(Value::Boolean(args[0].IsNull()));
    case builtin::kIsObject:
      return push(Value::Boolean(args[0].type() == Value::Type::kObject));
    case builtin::kIsDate: {
      const Value& v = args[0];
      return push(Value::Boolean(v.type() == Value::Type::kDate ||
                                 (v.type() == Value::Type::kString && ParseDateText(v.text(), d))));
    }
    case builtin::kTypeName: {
      const Value& v = args[0];
      if (ArrayRep* rep = v.array()) return push(Value::String(SlotTypeName(rep->element) + "( )"));
      if (Instance* o = v.object()) {
        const ClassInfo* cls = ClassAt(o->classOffset);
        return push(Value::String(cls ? Upper(cls->name) : "OBJECT"));
      }
      return push(Value::String(TypeNameOf(v)));
    }
    case builtin::kDataType: {
      const Value& v = args[0];
      if (ArrayRep* rep = v.array()) return push(Value::Integer(static_cast<int16_t>(8192 + DataTypeOfSlot(rep->element))));
      return push(Value::Integer(static_cast<int16_t>(DataTypeOf(v))));
    }
    case builtin::kNow:
      return push(Value::Date(NowSerial()));
    case builtin::kToday:
    case builtin::kDate:
      return push(Value::Date(std::floor(NowSerial())));
    case builtin::kTime: {
      const double now = NowSerial();
      return push(Value::Date(now - std::floor(now)));
    }
    case builtin::kTimer:
      return push(Value::Single(SecondsSinceMidnight()));
    case builtin::kYear:
    case builtin::kMonth:
    case builtin::kDay:
    case builtin::kHour:
    case builtin::kMinute:
    case builtin::kSecond: {
      CivilTime t;
      if (!date(t)) return Status::kOk;
      const int parts[] = {t.year, t.month, t.day, t.hour, t.minute, t.second};
      return push(Value::Integer(static_cast<int16_t>(parts[spec->number - builtin::kYear])));
    }
    case builtin::kWeekday: {
      double serial = 0;
      if ((error = ToDate(args[0], serial)) != 0) return Status::kOk;
      // Day 0 (30 December 1899) was a Saturday; Sunday is 1.
      const int64_t day = static_cast<int64_t>(std::floor(serial));
      return push(Value::Integer(static_cast<int16_t>(((day + 6) % 7 + 7) % 7 + 1)));
    }
    case builtin::kDateNumber:
    case builtin::kTimeNumber: {
      int32_t c = 0;
      if (lng(0, a) || lng(1, b) || lng(2, c)) return Status::kOk;
      if (spec->number == builtin::kTimeNumber) {
        const double t = TimeSerial(a, b, c);
        if (t < 0 || t >= 1) return fail(err::kIllegalFunctionCall);
        return push(Value::Date(t));
      }
      if (a < 100 || a > 9999) return fail(err::kIllegalFunctionCall);
      return push(Value::Date(DateSerial(a, b, c)));
    }
    case builtin::kDateValue:
    case builtin::kTimeValue: {
      if (text(0, s)) return Status::kOk;
      if (!ParseDateText(s, d)) return fail(err::kTypeMismatch);
      return push(Value::Date(spec->number == builtin::kDateValue ? std::floor(d) : d - std::floor(d)));
    }
    case builtin::kEnviron: {
      if (text(0, s)) return Status::kOk;
      const char* v = std::getenv(s.c_str());
      return push(Value::String(v ? v : ""));
    }
    case builtin::kMsgBox: {
      // The simulator has no screen: the message goes to the output.
      if (text(0, s)) return Status::kOk;
      output_ += s + "\n";
      return push(Value::Integer(1));  // the OK button
    }
    case builtin::kHex:
    case builtin::kOct: {
      if (lng(0, a)) return Status::kOk;
      uint32_t bits = static_cast<uint32_t>(a);
      if (Held(args[0]).type() == Value::Type::kInteger || Held(args[0]).type() == Value::Type::kByte) bits &= 0xFFFF;
      char buf[24];
      std::snprintf(buf, sizeof buf, spec->number == builtin::kHex ? "%X" : "%o", bits);
      return push(Value::String(buf));
    }
    default:
      break;
  }
  return Fatal("built-in function " + std::string(spec->name) + " is not supported");
}

}  // namespace quillet::lsrun
