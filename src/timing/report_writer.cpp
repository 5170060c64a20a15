// Report serialisation: header, procedure records, call tree, messages.
#include "timing/report_writer.h"

#include <algorithm>

#include "timing/report_format.h"
#include "util/bytes.h"

namespace quillet {
namespace {

// Collects fields in memory and hands them to the sink in blocks, so a report
// of a million calls costs a few hundred writes, not millions.
class BlockWriter {
 public:
  explicit BlockWriter(ReportSink& sink) : sink_(sink), out_(buffer_) { buffer_.reserve(kBlock + 4096); }

  ByteWriter& out() { return out_; }
  // Call between fields; sends the block once it is full.
  void MaybeFlush() {
    if (buffer_.size() >= kBlock) Flush();
  }
  [[nodiscard]] bool Finish() {
    Flush();
    return ok_;
  }

  void PutTerminated(std::string_view text) {
    const size_t n = std::min(text.size(), report::kMaxTerminatedText);
    out_.PutU16(static_cast<uint16_t>(n + 1));
    out_.PutBytes({reinterpret_cast<const uint8_t*>(text.data()), n});
    out_.PutU8(0);
  }
  void PutCounted(std::string_view text) {
    out_.PutU32(static_cast<uint32_t>(text.size()));
    out_.PutBytes({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  }

 private:
  static constexpr size_t kBlock = 256 * 1024;

  void Flush() {
    if (ok_ && !buffer_.empty()) ok_ = sink_.Write(buffer_);
    buffer_.clear();
  }

  ReportSink& sink_;
  std::vector<uint8_t> buffer_;
  ByteWriter out_;
  bool ok_ = true;
};

void PutProcedure(BlockWriter& w, const ProcedureInfo& p) {
  ByteWriter& out = w.out();
  out.PutU32(p.Key);
  out.PutU32(p.ProcedureId);
  w.PutTerminated(p.DatabasePath);
  out.PutBytes(p.DatabaseId);
  out.PutU32(p.NoteId);
  out.PutU32(static_cast<uint32_t>(p.HotspotCount));
  out.PutBytes(p.SequenceTime);
  out.PutU32(static_cast<uint32_t>(p.SymbolFlags));
  w.PutTerminated(p.ItemName);
  w.PutTerminated(p.Title);
  w.PutTerminated(p.FullName);
  w.PutTerminated(p.ModuleDisplayName);
  out.PutU32(0);
  w.PutTerminated({});
}

// One call record without its children; the child count ends it.
void PutCall(BlockWriter& w, const CallRecord& r) {
  ByteWriter& out = w.out();
  out.PutU32(r.Key);
  out.PutU32(r.ProcedureId);
  out.PutU8(r.IsRoot);
  out.PutU64(static_cast<uint64_t>(r.Elapsed));
  out.PutU32(report::kCallConstant);
  out.PutU32(r.Lines.size());
  for (const LineEntry& e : r.Lines) {
    out.PutU32(static_cast<uint32_t>(e.Line));
    out.PutU32(static_cast<uint32_t>(e.Count));
    out.PutU64(static_cast<uint64_t>(e.Total));
  }
  out.PutU32(r.ChildCount());
}

// Depth first without recursion: a deep script recursion must not exhaust
// this thread's stack.
void PutTree(BlockWriter& w, const CallRecord* r) {
  std::vector<const CallRecord*> resume;  // next sibling of each open ancestor
  while (r != nullptr) {
    PutCall(w, *r);
    w.MaybeFlush();
    if (r->FirstChild != nullptr) {
      resume.push_back(r->NextSibling);
      r = r->FirstChild;
      continue;
    }
    r = r->NextSibling;
    while (r == nullptr && !resume.empty()) {
      r = resume.back();
      resume.pop_back();
    }
  }
}

}  // namespace

bool WriteReportTo(ReportSink& sink, const CProfileData& data, const ProcedureFilter& include,
                   const std::vector<std::string>& messages) {
  BlockWriter w(sink);
  ByteWriter& out = w.out();
  out.PutBytes({reinterpret_cast<const uint8_t*>(report::kSignature.data()), report::kSignature.size()});
  out.PutU32(report::kVersion);
  out.PutU64(static_cast<uint64_t>(data.Frequency()));

  std::vector<const ProcedureInfo*> included;
  for (const auto& [key, info] : data.Procedures()) {
    if (include(*info)) included.push_back(info.get());
  }
  out.PutU32(static_cast<uint32_t>(included.size()));
  for (const ProcedureInfo* p : included) {
    PutProcedure(w, *p);
    w.MaybeFlush();
  }

  out.PutU32(data.RootCount());
  PutTree(w, data.FirstRoot());

  out.PutU32(static_cast<uint32_t>(messages.size()));
  for (const std::string& m : messages) {
    w.PutCounted(m);
    w.MaybeFlush();
  }
  return w.Finish();
}

}  // namespace quillet
