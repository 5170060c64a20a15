// The built-in functions and statements the compiler turns into OpBuiltinDisp
// and the runner executes: one number each, with the argument counts. The
// caller pushes exactly `maxArgs` values, an OpDefaultArg for each omitted
// optional argument (for InStr the omitted one is the leading start).
#pragma once

#include <cstdint>
#include <string_view>

namespace quillet::lsrun {

namespace builtin {
enum : uint8_t {
  kLen, kLeft, kRight, kMid, kInStr, kInStrRev, kUCase, kLCase, kTrim, kLTrim, kRTrim, kReplace,
  kSplit, kJoin, kStrComp, kStrConv, kSpace, kString, kChr, kAsc, kFullTrim, kStr, kVal, kFormat,
  kRound, kSqr, kSgn, kExp, kLog, kRnd, kRandomize, kLBound, kUBound, kIsArray, kArrayAppend,
  kArrayGetIndex, kIsNumeric, kIsEmpty, kIsNull, kIsObject, kTypeName, kDataType, kNow, kToday,
  kDate, kTime, kTimer, kYear, kMonth, kDay, kHour, kMinute, kSecond, kDateNumber, kTimeNumber,
  kWeekday, kEnviron, kMsgBox, kIsDate, kHex, kOct, kDateValue, kTimeValue,
  // Files (machine_files.cpp); the names starting with "#" are the forms the
  // compiler gives the file statements, which no source can call by name.
  kFreeFile, kEof, kFileOpen, kFileClose, kFilePrint, kFileLineInput, kFileInput,
  // Later additions take the numbers after the files', so that the numbers
  // compiled modules carry keep their meaning.
  kNull, kCount
};
inline constexpr uint8_t kFirstFile = kFreeFile;
inline constexpr uint8_t kLastFile = kFileInput;
// The third argument of "#PRINT": what the second one is.
// Write # items go as kPartWriteItem (texts quoted), with kPartWriteComma
// between them.
enum PrintPart : uint8_t { kPartItem, kPartZone, kPartEndLine, kPartEndNoLine, kPartWriteItem, kPartWriteComma };
}  // namespace builtin

struct BuiltinSpec {
  std::string_view name;  // upper case; a "$" form is accepted for text results
  uint8_t number;
  uint8_t minArgs;
  uint8_t maxArgs;
  bool isFunction;        // pushes a result
  bool leadingOptional;   // omitted arguments are the first ones (InStr)
};

inline constexpr BuiltinSpec kBuiltins[] = {
    {"LEN", builtin::kLen, 1, 1, true, false},
    {"LEFT", builtin::kLeft, 2, 2, true, false},
    {"RIGHT", builtin::kRight, 2, 2, true, false},
    {"MID", builtin::kMid, 2, 3, true, false},
    {"INSTR", builtin::kInStr, 2, 4, true, true},
    {"INSTRREV", builtin::kInStrRev, 2, 4, true, false},
    {"UCASE", builtin::kUCase, 1, 1, true, false},
    {"LCASE", builtin::kLCase, 1, 1, true, false},
    {"TRIM", builtin::kTrim, 1, 1, true, false},
    {"LTRIM", builtin::kLTrim, 1, 1, true, false},
    {"RTRIM", builtin::kRTrim, 1, 1, true, false},
    {"REPLACE", builtin::kReplace, 3, 6, true, false},
    {"SPLIT", builtin::kSplit, 1, 4, true, false},
    {"JOIN", builtin::kJoin, 1, 2, true, false},
    {"STRCOMP", builtin::kStrComp, 2, 3, true, false},
    {"STRCONV", builtin::kStrConv, 2, 2, true, false},
    {"SPACE", builtin::kSpace, 1, 1, true, false},
    {"STRING", builtin::kString, 2, 2, true, false},
    {"CHR", builtin::kChr, 1, 1, true, false},
    {"ASC", builtin::kAsc, 1, 1, true, false},
    {"FULLTRIM", builtin::kFullTrim, 1, 1, true, false},
    {"STR", builtin::kStr, 1, 1, true, false},
    {"VAL", builtin::kVal, 1, 1, true, false},
    {"FORMAT", builtin::kFormat, 1, 2, true, false},
    {"ROUND", builtin::kRound, 1, 2, true, false},
    {"SQR", builtin::kSqr, 1, 1, true, false},
    {"SGN", builtin::kSgn, 1, 1, true, false},
    {"EXP", builtin::kExp, 1, 1, true, false},
    {"LOG", builtin::kLog, 1, 1, true, false},
    {"RND", builtin::kRnd, 0, 1, true, false},
    {"RANDOMIZE", builtin::kRandomize, 0, 1, false, false},
    {"LBOUND", builtin::kLBound, 1, 2, true, false},
    {"UBOUND", builtin::kUBound, 1, 2, true, false},
    {"ISARRAY", builtin::kIsArray, 1, 1, true, false},
    {"ARRAYAPPEND", builtin::kArrayAppend, 2, 2, true, false},
    {"ARRAYGETINDEX", builtin::kArrayGetIndex, 2, 3, true, false},
    {"ISNUMERIC", builtin::kIsNumeric, 1, 1, true, false},
    {"ISEMPTY", builtin::kIsEmpty, 1, 1, true, false},
    {"ISNULL", builtin::kIsNull, 1, 1, true, false},
    {"ISOBJECT", builtin::kIsObject, 1, 1, true, false},
    {"TYPENAME", builtin::kTypeName, 1, 1, true, false},
    {"DATATYPE", builtin::kDataType, 1, 1, true, false},
    {"NOW", builtin::kNow, 0, 0, true, false},
    {"TODAY", builtin::kToday, 0, 0, true, false},
    {"DATE", builtin::kDate, 0, 0, true, false},
    {"TIME", builtin::kTime, 0, 0, true, false},
    {"TIMER", builtin::kTimer, 0, 0, true, false},
    {"YEAR", builtin::kYear, 1, 1, true, false},
    {"MONTH", builtin::kMonth, 1, 1, true, false},
    {"DAY", builtin::kDay, 1, 1, true, false},
    {"HOUR", builtin::kHour, 1, 1, true, false},
    {"MINUTE", builtin::kMinute, 1, 1, true, false},
    {"SECOND", builtin::kSecond, 1, 1, true, false},
    {"DATENUMBER", builtin::kDateNumber, 3, 3, true, false},
    {"TIMENUMBER", builtin::kTimeNumber, 3, 3, true, false},
    {"WEEKDAY", builtin::kWeekday, 1, 1, true, false},
    {"ENVIRON", builtin::kEnviron, 1, 1, true, false},
    {"MSGBOX", builtin::kMsgBox, 1, 3, true, false},
    {"ISDATE", builtin::kIsDate, 1, 1, true, false},
    {"HEX", builtin::kHex, 1, 1, true, false},
    {"OCT", builtin::kOct, 1, 1, true, false},
    {"DATEVALUE", builtin::kDateValue, 1, 1, true, false},
    {"TIMEVALUE", builtin::kTimeValue, 1, 1, true, false},
    {"FREEFILE", builtin::kFreeFile, 0, 0, true, false},
    {"EOF", builtin::kEof, 1, 1, true, false},
    {"#OPEN", builtin::kFileOpen, 3, 3, false, false},          // path, mode (FileMode), number
    {"#CLOSE", builtin::kFileClose, 0, 1, false, false},        // number; omitted: every file
    {"#PRINT", builtin::kFilePrint, 3, 3, false, false},        // number, value, PrintPart
    {"#LINEINPUT", builtin::kFileLineInput, 1, 1, true, false},  // number: the next line
    {"#INPUT", builtin::kFileInput, 1, 1, true, false},          // number: the next field
    {"NULL", builtin::kNull, 0, 0, true, false},
};
static_assert(sizeof(kBuiltins) / sizeof(kBuiltins[0]) == builtin::kCount, "one entry per built-in number");

// The built-in of an upper-case name, or null.
inline const BuiltinSpec* FindBuiltin(std::string_view upper) {
  for (const BuiltinSpec& b : kBuiltins) {
    if (b.name == upper) return &b;
  }
  return nullptr;
}

inline const BuiltinSpec* BuiltinByNumber(int number) {
  return number >= 0 && number < builtin::kCount ? &kBuiltins[number] : nullptr;
}

}  // namespace quillet::lsrun
