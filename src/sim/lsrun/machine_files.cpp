// The file built-ins: FreeFile, EOF and the forms the compiler gives Open,
// Close, Print #, Line Input # and Input #.
#include <cerrno>
#include <cstdlib>

#include "sim/lsrun/builtin_table.h"
#include "sim/lsrun/dates.h"
#include "sim/lsrun/errors.h"
#include "sim/lsrun/machine.h"
#include "sim/lsrun/operators.h"

namespace quillet::lsrun {
namespace {

// An unquoted Input # field: a whole number as a Long (a Double beyond
// 32 bits), a decimal number as a Double, what Write # puts between #
// (#TRUE#, #FALSE#, #NULL#, a date) as that value, anything else as its text.
Value FieldValue(const std::string& field) {
  if (field.empty()) return Value::String("");
  if (field.size() > 2 && field.front() == '#' && field.back() == '#') {
    const std::string inner = field.substr(1, field.size() - 2);
    if (inner == "TRUE" || inner == "FALSE") return Value::Boolean(inner == "TRUE");
    if (inner == "NULL") return Value::Null();
    double serial = 0;
    if (ParseDateText(inner, serial)) return Value::Date(serial);
  }
  char* end = nullptr;
  errno = 0;
  const long long i = std::strtoll(field.c_str(), &end, 10);
  if (*end == '\0' && errno == 0 && i >= INT32_MIN && i <= INT32_MAX) return Value::Long(static_cast<int32_t>(i));
  const double d = std::strtod(field.c_str(), &end);
  if (*end == '\0') return Value::Double(d);
  return Value::String(field);
}

// An item as Write # puts it, so that Input # reads it back: texts in
// quotes, Booleans and Null as #TRUE#, #FALSE#, #NULL#, dates between #,
// numbers as Print shows them, Empty as nothing.
bool FormatWritten(const Value& v, std::string& text) {
  if (v.IsNull()) return (text = "#NULL#", true);
  switch (v.type()) {
    case Value::Type::kString: text = "\"" + v.text() + "\""; return true;
    case Value::Type::kBoolean: text = v.n() ? "#TRUE#" : "#FALSE#"; return true;
    case Value::Type::kDate:
      if (!FormatValue(v, text)) return false;
      text = "#" + text + "#";
      return true;
    default: return FormatValue(v, text);
  }
}

}  // namespace

Status Machine::FileBuiltin(uint8_t number, std::vector<Value>& args, int& error) {
  // The file number comes first, except for Open (last) and the
  // argument-less forms.
  int32_t n = 0;
  const bool numbered = number == builtin::kEof || number == builtin::kFilePrint ||
                        number == builtin::kFileLineInput || number == builtin::kFileInput;
  if (numbered && (error = ToLong(args[0], n)) != 0) return Status::kOk;
  switch (number) {
    case builtin::kFreeFile: {
      const int free = files_.FreeNumber();
      if (free == 0) return (error = err::kTooManyFiles, Status::kOk);
      stack_.push_back(Value::Integer(static_cast<int16_t>(free)));
      return Status::kOk;
    }
    case builtin::kEof: {
      bool atEnd = false;
      if ((error = files_.AtEnd(n, atEnd)) == 0) stack_.push_back(Value::Boolean(atEnd));
      return Status::kOk;
    }
    case builtin::kFileOpen: {
      // path, mode, number
      std::string path;
      int32_t mode = 0, file = 0;
      if ((error = ToText(args[0], path)) != 0 || (error = ToLong(args[1], mode)) != 0 ||
          (error = ToLong(args[2], file)) != 0) {
        return Status::kOk;
      }
      error = files_.Open(path, mode, file);
      return Status::kOk;
    }
    case builtin::kFileClose:
      if (args[0].IsMissing()) {
        files_.CloseAll();
        return Status::kOk;
      }
      if ((error = ToLong(args[0], n)) == 0) error = files_.Close(n);
      return Status::kOk;
    case builtin::kFilePrint: {
      int32_t part = 0;
      if ((error = ToLong(args[2], part)) != 0) return Status::kOk;
      std::string text;
      if (part == builtin::kPartZone) {
        size_t column = 0;
        if ((error = files_.Column(n, column)) != 0) return Status::kOk;
        text.assign(kPrintZoneWidth - column % kPrintZoneWidth, ' ');
      } else if (part == builtin::kPartItem && !FormatValue(args[1], text)) {
        return (error = err::kTypeMismatch, Status::kOk);
      } else if (part == builtin::kPartWriteItem && !FormatWritten(args[1], text)) {
        return (error = err::kTypeMismatch, Status::kOk);
      } else if (part == builtin::kPartWriteComma) {
        text = ",";
      }
      error = files_.Write(n, text, part == builtin::kPartEndLine);
      return Status::kOk;
    }
    case builtin::kFileLineInput: {
      std::string line;
      if ((error = files_.ReadLine(n, line)) != 0) return Status::kOk;
      if (line.size() > options_.maxStringLength) return (error = err::kOutOfStringSpace, Status::kOk);
      stack_.push_back(Value::String(std::move(line)));
      return Status::kOk;
    }
    case builtin::kFileInput: {
      std::string field;
      bool quoted = false;
      if ((error = files_.ReadField(n, field, quoted)) != 0) return Status::kOk;
      if (field.size() > options_.maxStringLength) return (error = err::kOutOfStringSpace, Status::kOk);
      stack_.push_back(quoted ? Value::String(std::move(field)) : FieldValue(field));
      return Status::kOk;
    }
    default:
      return Fatal("built-in function " + std::to_string(number) + " is not supported");
  }
}

}  // namespace quillet::lsrun
