// Runtime error numbers of the simulated LotusScript runtime and their texts.
#pragma once

namespace quillet::lsrun::err {

// Errors a script can trap with On Error.
inline constexpr int kReturnWithoutGosub = 3;
inline constexpr int kIllegalFunctionCall = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kSubscriptOutOfRange = 9;
inline constexpr int kDivisionByZero = 11;
inline constexpr int kOutOfStringSpace = 14;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kResumeWithoutError = 20;
inline constexpr int kOutOfStackSpace = 28;
inline constexpr int kErrorInLoadingDll = 48;
inline constexpr int kBadFileNumber = 52;
inline constexpr int kFileNotFound = 53;
inline constexpr int kBadFileMode = 54;
inline constexpr int kFileAlreadyOpen = 55;
inline constexpr int kInputPastEndOfFile = 62;
inline constexpr int kTooManyFiles = 67;
inline constexpr int kPathFileAccessError = 75;
inline constexpr int kObjectVariableNotSet = 91;
inline constexpr int kInvalidUseOfNull = 94;
inline constexpr int kListItemDoesNotExist = 120;
inline constexpr int kWrongArguments = 450;

// The text of a runtime error number.
inline const char* Text(int code) {
  switch (code) {
    case kReturnWithoutGosub: return "RETURN without GOSUB";
    case kIllegalFunctionCall: return "Illegal function call";
    case kOverflow: return "Overflow";
    case kSubscriptOutOfRange: return "Subscript out of range";
    case kDivisionByZero: return "Division by zero";
    case kOutOfStringSpace: return "Out of string space";
    case kTypeMismatch: return "Type mismatch";
    case kResumeWithoutError: return "Resume without error";
    case kOutOfStackSpace: return "Out of stack space";
    case kErrorInLoadingDll: return "Error in loading DLL";
    case kBadFileNumber: return "Bad file number";
    case kFileNotFound: return "File not found";
    case kBadFileMode: return "Bad file mode";
    case kFileAlreadyOpen: return "File already open";
    case kInputPastEndOfFile: return "Input past end of file";
    case kTooManyFiles: return "Too many files";
    case kPathFileAccessError: return "Path/File access error";
    case kObjectVariableNotSet: return "Object variable not set";
    case kInvalidUseOfNull: return "Invalid use of Null";
    case kListItemDoesNotExist: return "List item does not exist";
    case kWrongArguments: return "Wrong number of arguments";
    default: return "Runtime error";
  }
}

// The text of an error the script raises with Error n and no message.
inline const char* UserText(int code) {
  const char* text = Text(code);
  return text[0] == 'R' && text[1] == 'u' ? "User-defined error" : text;
}

}  // namespace quillet::lsrun::err
