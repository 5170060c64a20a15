// The records of a compiled formula, one class per record type. A record
// object views its bytes inside the formula (it owns nothing), lives for one
// step of a validation or rewrite, and re-emits itself with every length
// recomputed from what it writes.
//
// Compiled formula (little-endian):
//   0   u16  total length in bytes, this word included
//   2   records, one after the other, each starting on an even offset
// Record header:
//   0   u16  type
//   2   u16  record length, header included
// After the header, by type:
//   0 main, 8 expression                  operation stream
//   1 temporary field, 2 column formula,  u16 name length, name padded to even,
//   3 field, 6 environment                then the operation stream
//   7 remark                              u16 text length, text
//   any other (4 marks where re-encoding starts)   copied unchanged
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "config/status.h"
#include "design/record_buffer.h"
#include "design/rewrite_contract.h"

namespace quillet {

inline constexpr size_t kFormulaLengthWord = 2;
inline constexpr size_t kFormulaRecordHeader = 4;
inline constexpr size_t kFormulaNamedHeader = 6;  // header and name or text length

inline constexpr uint16_t kFormulaMain = 0;
inline constexpr uint16_t kFormulaTempField = 1;
inline constexpr uint16_t kFormulaColumn = 2;
inline constexpr uint16_t kFormulaField = 3;
inline constexpr uint16_t kFormulaReencodeStart = 4;
inline constexpr uint16_t kFormulaEnvironment = 6;
inline constexpr uint16_t kFormulaRemark = 7;
inline constexpr uint16_t kFormulaExpression = 8;

class CFMMFormulaRecord {
 public:
  // REQUIRES: `record` is the whole record, its length as its header says.
  explicit CFMMFormulaRecord(std::span<const uint8_t> record) : record_(record) {}
  virtual ~CFMMFormulaRecord() = default;
  CFMMFormulaRecord(const CFMMFormulaRecord&) = delete;
  CFMMFormulaRecord& operator=(const CFMMFormulaRecord&) = delete;

  // Appends the record to `out`: copied unchanged unless a type says
  // otherwise. Padding to even length is the formula's business.
  [[nodiscard]] virtual Status32 EmitFormulaRecord(const RewriteArgs& args, RecordBuffer& out) const;
  // 0 when the record can be re-encoded; a record without checks of its
  // own is always valid.
  [[nodiscard]] virtual Status32 ValidateFormulaRecord() const { return kNoError; }

 protected:
  std::span<const uint8_t> record_;
};

// A remark: its text is emitted as a text piece, unless it starts with a tab
// (such remarks are copied whole).
class CFMMRemRecord : public CFMMFormulaRecord {
 public:
  using CFMMFormulaRecord::CFMMFormulaRecord;
  Status32 EmitFormulaRecord(const RewriteArgs& args, RecordBuffer& out) const override;
  // A text that runs past the record makes it invalid.
  Status32 ValidateFormulaRecord() const override;
};

class CFMMExpressionRecord : public CFMMFormulaRecord {
 public:
  using CFMMFormulaRecord::CFMMFormulaRecord;
  Status32 EmitFormulaRecord(const RewriteArgs& args, RecordBuffer& out) const override;
  Status32 ValidateFormulaRecord() const override;
};

class CFMMMainRecord : public CFMMExpressionRecord {
 public:
  using CFMMExpressionRecord::CFMMExpressionRecord;
};

// An expression under a name (a field, temporary field, column or
// environment variable); the name is always copied.
class CFMMNamedExpressionRecord : public CFMMFormulaRecord {
 public:
  Status32 EmitFormulaRecord(const RewriteArgs& args, RecordBuffer& out) const override;
  Status32 ValidateFormulaRecord() const override;

 protected:
  using CFMMFormulaRecord::CFMMFormulaRecord;
};

class CFMMEnvironmentRecord : public CFMMNamedExpressionRecord {
 public:
  using CFMMNamedExpressionRecord::CFMMNamedExpressionRecord;
};
class CFMMFieldRecord : public CFMMNamedExpressionRecord {
 public:
  using CFMMNamedExpressionRecord::CFMMNamedExpressionRecord;
};
class CFMMTempFieldRecord : public CFMMNamedExpressionRecord {
 public:
  using CFMMNamedExpressionRecord::CFMMNamedExpressionRecord;
};
class CFMMColumnFormulaRecord : public CFMMNamedExpressionRecord {
 public:
  using CFMMNamedExpressionRecord::CFMMNamedExpressionRecord;
};

// The record object for `record` by its type word; kErrOutOfMemory when it
// cannot be made. REQUIRES: `record` holds at least the 4-byte header.
[[nodiscard]] Status32 CreateFormulaRecord(std::span<const uint8_t> record, std::unique_ptr<CFMMFormulaRecord>& out);

}  // namespace quillet
