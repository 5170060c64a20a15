// Report serialisation: header, procedure records, call tree, messages.
#include "timing/report_writer.h"

#include <algorithm>
#include <cstring>

#include "timing/report_format.h"
#include "util/bytes.h"

namespace quillet {
namespace {

// Collects fields in a fixed block and hands it to the sink when full, so a
// report of a million calls costs a few hundred writes, not millions, and a
// field costs a bounds check and a store.
class BlockWriter {
 public:
  explicit BlockWriter(ReportSink& sink) : sink_(sink), buffer_(kBlock) {}

  [[nodiscard]] bool Finish() {
    Flush();
    return ok_;
  }

  void PutU8(uint8_t v) { *Room(1) = v; }
  void PutU16(uint16_t v) { StoreU16(Room(2), v); }
  void PutU32(uint32_t v) { StoreU32(Room(4), v); }
  void PutU64(uint64_t v) { StoreU64(Room(8), v); }
  void PutBytes(std::span<const uint8_t> bytes) {
    if (bytes.size() <= kBlock - used_) {
      if (!bytes.empty()) std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
      used_ += bytes.size();
      return;
    }
    // Larger than the room left: what is buffered goes first, then the bytes
    // themselves, unbuffered.
    Flush();
    if (ok_) ok_ = sink_.Write(bytes);
  }
  // `n` bytes of the block to fill directly, or null when `n` exceeds a block.
  uint8_t* Reserve(size_t n) { return n <= kBlock ? Room(n) : nullptr; }
  void PutText(std::string_view text) { PutBytes({reinterpret_cast<const uint8_t*>(text.data()), text.size()}); }

  void PutTerminated(std::string_view text) {
    const size_t n = std::min(text.size(), report::kMaxTerminatedText);
    PutU16(static_cast<uint16_t>(n + 1));
    PutText(text.substr(0, n));
    PutU8(0);
  }
  void PutCounted(std::string_view text) {
    PutU32(static_cast<uint32_t>(text.size()));
    PutText(text);
  }

 private:
  static constexpr size_t kBlock = 256 * 1024;

  // `n` bytes of the block to fill. REQUIRES: n <= kBlock.
  uint8_t* Room(size_t n) {
    if (n > kBlock - used_) Flush();
    uint8_t* at = buffer_.data() + used_;
    used_ += n;
    return at;
  }
  void Flush() {
    if (ok_ && used_ != 0) ok_ = sink_.Write({buffer_.data(), used_});
    used_ = 0;
  }

  ReportSink& sink_;
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
  bool ok_ = true;
};

void PutProcedure(BlockWriter& w, const ProcedureInfo& p) {
  w.PutU32(p.Key);
  w.PutU32(p.ProcedureId);
  w.PutTerminated(p.DatabasePath);
  w.PutBytes(p.DatabaseId);
  w.PutU32(p.NoteId);
  w.PutU32(static_cast<uint32_t>(p.HotspotCount));
  w.PutBytes(p.SequenceTime);
  w.PutU32(static_cast<uint32_t>(p.SymbolFlags));
  w.PutTerminated(p.ItemName);
  w.PutTerminated(p.Title);
  w.PutTerminated(p.FullName);
  w.PutTerminated(p.ModuleDisplayName);
  w.PutU32(0);
  w.PutTerminated({});
}

// One call record without its children; the child count ends it. A record
// that fits the block is stored with one bounds check.
void PutCall(BlockWriter& w, const CallRecord& r) {
  const size_t size = report::kCallRecordFixedSize + size_t{r.LineCount} * report::kLineEntrySize;
  uint8_t* at = w.Reserve(size);
  if (at == nullptr) {
    w.PutU32(r.Key);
    w.PutU32(r.ProcedureId);
    w.PutU8(r.IsRoot);
    w.PutU64(static_cast<uint64_t>(r.Elapsed));
    w.PutU32(report::kCallConstant);
    w.PutU32(r.LineCount);
    for (const LineEntry& e : r.Lines()) {
      w.PutU32(static_cast<uint32_t>(e.Line));
      w.PutU32(static_cast<uint32_t>(e.Count));
      w.PutU64(static_cast<uint64_t>(e.Total));
    }
    w.PutU32(r.ChildCount);
    return;
  }
  StoreU32(at, r.Key);
  StoreU32(at + 4, r.ProcedureId);
  at[8] = r.IsRoot;
  StoreU64(at + 9, static_cast<uint64_t>(r.Elapsed));
  StoreU32(at + 17, report::kCallConstant);
  StoreU32(at + 21, r.LineCount);
  at += 25;
  for (const LineEntry& e : r.Lines()) {
    StoreU32(at, static_cast<uint32_t>(e.Line));
    StoreU32(at + 4, static_cast<uint32_t>(e.Count));
    StoreU64(at + 8, static_cast<uint64_t>(e.Total));
    at += report::kLineEntrySize;
  }
  StoreU32(at, r.ChildCount);
}

constexpr size_t kPrefetchAhead = 1024;  // bytes, a few records with their lines

// Depth first without recursion: a deep script recursion must not exhaust
// this thread's stack.
void PutTree(BlockWriter& w, const CallRecord* r) {
  std::vector<const CallRecord*> resume;  // next sibling of each open ancestor
  while (r != nullptr) {
    // Records and their line tables lie in the pool in about the order they
    // are written: fetching ahead keeps the walk from waiting on memory.
    __builtin_prefetch(reinterpret_cast<const char*>(r) + kPrefetchAhead);
    PutCall(w, *r);
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
  w.PutText(report::kSignature);
  w.PutU32(report::kVersion);
  w.PutU64(static_cast<uint64_t>(data.Frequency()));

  std::vector<const ProcedureInfo*> included;
  for (const auto& [key, info] : data.Procedures()) {
    if (include(*info)) included.push_back(info.get());
  }
  w.PutU32(static_cast<uint32_t>(included.size()));
  for (const ProcedureInfo* p : included) PutProcedure(w, *p);

  w.PutU32(data.RootCount());
  PutTree(w, data.FirstRoot());

  w.PutU32(static_cast<uint32_t>(messages.size()));
  for (const std::string& m : messages) w.PutCounted(m);
  return w.Finish();
}

}  // namespace quillet
