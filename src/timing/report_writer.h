// Serialises collected profile data into the report format, through a byte sink.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "timing/profile_data.h"

namespace quillet {

// Where report bytes go. Write returns false when the bytes were not stored.
class ReportSink {
 public:
  virtual ~ReportSink() = default;
  [[nodiscard]] virtual bool Write(std::span<const uint8_t> bytes) = 0;
};

// A sink that appends to a vector (tests, attachments built in memory).
class VectorSink : public ReportSink {
 public:
  explicit VectorSink(std::vector<uint8_t>& out) : out_(out) {}
  bool Write(std::span<const uint8_t> bytes) override {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return true;
  }

 private:
  std::vector<uint8_t>& out_;
};

// Decides whether a procedure's description goes into the report.
using ProcedureFilter = std::function<bool(const ProcedureInfo&)>;

// Writes the whole report to `sink` in large blocks. False when a block was
// refused; nothing more is sent after that.
[[nodiscard]] bool WriteReportTo(ReportSink& sink, const CProfileData& data, const ProcedureFilter& include,
                                 const std::vector<std::string>& messages);

}  // namespace quillet
