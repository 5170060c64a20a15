// Reads a report file back into memory, refusing truncated or malformed input.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "timing/call_record.h"
#include "util/parse_error.h"

namespace quillet {

struct ReportProcedure {
  uint32_t Key = 0;
  uint32_t ProcedureId = 0;
  std::string DatabasePath;
  std::array<uint8_t, 8> DatabaseId{};
  uint32_t NoteId = 0;
  int32_t HotspotCount = 0;
  std::array<uint8_t, 8> SequenceTime{};
  uint32_t SymbolFlags = 0;
  std::string ItemName;
  std::string Title;
  std::string FullName;
  std::string ModuleDisplayName;
};

struct ReportCall {
  uint32_t Key = 0;
  uint32_t ProcedureId = 0;
  bool IsRoot = false;
  int64_t Elapsed = 0;
  std::vector<LineEntry> Lines;     // ascending line order
  std::vector<uint32_t> Children;   // indexes into Report::Calls, in start order
};

// A whole report. Calls are held flat, in file (depth-first) order, so that a
// very deep tree is neither built nor destroyed recursively.
struct Report {
  int64_t Frequency = 0;
  std::vector<ReportProcedure> Procedures;
  std::vector<ReportCall> Calls;
  std::vector<uint32_t> Roots;  // indexes into Calls
  std::vector<std::string> Messages;
};

// Why a report was refused: the field being read and the byte offset where
// it starts; `Text` is the whole message.
using ReportError = ParseError;

// Parses `bytes` as one whole report. On failure returns false, fills `error`
// and leaves `report` untouched.
[[nodiscard]] bool ReadReport(std::span<const uint8_t> bytes, Report& report, ReportError& error);

// Larger report files are refused unread: a profile that large is not one
// this system writes, and the views hold the whole report in memory.
inline constexpr uint64_t kMaxReportFileBytes = 256ull << 20;

// Reads the file at `path` (a file-system path) and parses it. The error
// does not repeat the path: the caller names the file.
[[nodiscard]] bool ReadReportFile(const std::string& path, Report& report, ReportError& error);

}  // namespace quillet
