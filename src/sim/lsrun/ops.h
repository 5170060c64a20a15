// Opcode bytes the runtime executes, as the instruction-set table numbers
// them; any other opcode that decodes stops the run when it is reached.
#pragma once

#include <cstdint>

namespace quillet::lsrun::op {

inline constexpr uint8_t kEnd = 0;
inline constexpr uint8_t kOnErrorGoto0 = 10;
inline constexpr uint8_t kOnErrorGoto = 11;
inline constexpr uint8_t kOnErrorResume = 12;
inline constexpr uint8_t kResumeNext = 13;
inline constexpr uint8_t kResume0 = 14;
inline constexpr uint8_t kResumeLabel = 15;
inline constexpr uint8_t kLine = 26;
inline constexpr uint8_t kStmtSep = 27;
inline constexpr uint8_t kExitSub = 28;
inline constexpr uint8_t kEndSub = 29;
inline constexpr uint8_t kCallProc = 35;
inline constexpr uint8_t kLoadProc = 41;
inline constexpr uint8_t kLoadCtor = 42;
inline constexpr uint8_t kLoadMethod = 44;
inline constexpr uint8_t kLoadMeProc = 47;
inline constexpr uint8_t kPop = 49;
inline constexpr uint8_t kDup = 50;
inline constexpr uint8_t kDup2 = 51;
inline constexpr uint8_t kFor = 52;
inline constexpr uint8_t kForAll = 53;
inline constexpr uint8_t kNext = 54;
inline constexpr uint8_t kNextForAll = 55;
inline constexpr uint8_t kJZ = 56;
inline constexpr uint8_t kJNZ = 57;
inline constexpr uint8_t kJmp = 58;
inline constexpr uint8_t kOnGoto = 59;
inline constexpr uint8_t kGosub = 60;
inline constexpr uint8_t kOnGosub = 61;
inline constexpr uint8_t kReturn = 62;
inline constexpr uint8_t kPrint = 63;
inline constexpr uint8_t kPrintNoCR = 64;
inline constexpr uint8_t kLoadMe = 69;
inline constexpr uint8_t kGLoadObj = 71;
inline constexpr uint8_t kTLoadObj = 72;
inline constexpr uint8_t kPLoadObj = 73;
inline constexpr uint8_t kLLoadObj = 74;
inline constexpr uint8_t kMLoadObj = 76;
inline constexpr uint8_t kMLoadObj2 = 77;
inline constexpr uint8_t kGLoadObjPtr = 91;
inline constexpr uint8_t kTLoadObjPtr = 92;
inline constexpr uint8_t kPLoadObjPtr = 93;
inline constexpr uint8_t kLLoadObjPtr = 94;
inline constexpr uint8_t kMLoadObjPtr = 95;
inline constexpr uint8_t kLoadElemFromExpr = 100;
inline constexpr uint8_t kElemFirst = 103;  // OpElem, forms 103-112
inline constexpr uint8_t kElemLast = 112;
inline constexpr uint8_t kStringLiteral = 125;
inline constexpr uint8_t kNumericLiteral = 126;
inline constexpr uint8_t kNothing = 129;
inline constexpr uint8_t kTrue = 130;
inline constexpr uint8_t kFalse = 131;
inline constexpr uint8_t kIntMinusOne = 132;
inline constexpr uint8_t kLongOne = 137;
inline constexpr uint8_t kSByte = 142;
inline constexpr uint8_t kInteger = 144;
inline constexpr uint8_t kCInt = 149;
inline constexpr uint8_t kCLng = 150;
inline constexpr uint8_t kCDbl = 152;
inline constexpr uint8_t kCStr = 154;
inline constexpr uint8_t kUMinus = 159;
inline constexpr uint8_t kNot = 160;
inline constexpr uint8_t kAssign = 165;
inline constexpr uint8_t kSet = 166;
inline constexpr uint8_t kAssignLocal = 167;
inline constexpr uint8_t kBinaryFirst = 168;  // OpBinaryOperator and OpExp, 168-198
inline constexpr uint8_t kBinaryLast = 198;
inline constexpr uint8_t kIsA = 216;
inline constexpr uint8_t kLongJmp = 220;

}  // namespace quillet::lsrun::op
