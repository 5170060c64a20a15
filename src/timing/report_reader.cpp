// Report parsing: every count and length is checked against the bytes left.
#include "timing/report_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "timing/report_format.h"
#include "util/bytes.h"

namespace quillet {
namespace {

class Parser {
 public:
  explicit Parser(std::span<const uint8_t> bytes) : r_(bytes) {}

  bool Parse(Report& out);
  const ReportError& error() const { return error_; }

 private:
  bool Fail(size_t offset, std::string_view field, std::string_view what) {
    return error_.Refuse("report", offset, field, what);
  }
  bool Truncated(std::string_view field, size_t need) {
    return Fail(r_.pos(), field,
                "truncated (needs " + std::to_string(need) + " bytes, " + std::to_string(r_.remaining()) +
                    " left)");
  }
  bool U8(std::string_view field, uint8_t& v) { return r_.ReadU8(v) || Truncated(field, 1); }
  bool U32(std::string_view field, uint32_t& v) { return r_.ReadU32(v) || Truncated(field, 4); }
  bool I32(std::string_view field, int32_t& v) {
    uint32_t u = 0;
    if (!U32(field, u)) return false;
    v = static_cast<int32_t>(u);
    return true;
  }
  bool I64(std::string_view field, int64_t& v) {
    uint64_t u = 0;
    if (!r_.ReadU64(u)) return Truncated(field, 8);
    v = static_cast<int64_t>(u);
    return true;
  }
  bool Bytes8(std::string_view field, std::array<uint8_t, 8>& v) {
    std::span<const uint8_t> b;
    if (!r_.ReadBytes(8, b)) return Truncated(field, 8);
    std::copy(b.begin(), b.end(), v.begin());
    return true;
  }
  // A count of items that each take at least `minSize` bytes: refused when the
  // rest of the file could not hold them, before anything is reserved.
  bool Count(std::string_view field, size_t minSize, uint32_t& n) {
    const size_t at = r_.pos();
    if (!U32(field, n)) return false;
    if (n > r_.remaining() / minSize) {
      return Fail(at, field,
                  "truncated or damaged (count " + std::to_string(n) + " needs at least " +
                      std::to_string(uint64_t{n} * minSize) + " bytes, " + std::to_string(r_.remaining()) +
                      " left)");
    }
    return true;
  }
  bool Terminated(std::string_view field, std::string& text);
  bool Procedure(ReportProcedure& p);
  bool Call(ReportCall& c, uint32_t& children);
  bool Tree(Report& out);

  ByteReader r_;
  ReportError error_;
};

bool Parser::Terminated(std::string_view field, std::string& text) {
  const size_t at = r_.pos();
  uint16_t n = 0;
  if (!r_.ReadU16(n)) return Truncated(field, 2);
  if (n == 0) return Fail(at, field, "string length 0 leaves no room for its zero byte");
  std::span<const uint8_t> b;
  if (!r_.ReadBytes(n, b)) return Truncated(field, n);
  if (b[n - 1] != 0) return Fail(at, field, "string does not end in a zero byte");
  text.assign(reinterpret_cast<const char*>(b.data()), n - 1);
  return true;
}

bool Parser::Procedure(ReportProcedure& p) {
  uint32_t reserved = 0;
  std::string reservedText;
  if (!U32("procedure module key", p.Key) || !U32("procedure handle", p.ProcedureId) ||
      !Terminated("procedure database path", p.DatabasePath) || !Bytes8("procedure database ID", p.DatabaseId) ||
      !U32("procedure note ID", p.NoteId) || !I32("procedure hotspot count", p.HotspotCount) ||
      !Bytes8("procedure sequence time", p.SequenceTime) || !U32("procedure symbol flags", p.SymbolFlags) ||
      !Terminated("procedure item name", p.ItemName) || !Terminated("procedure title", p.Title) ||
      !Terminated("procedure full name", p.FullName) ||
      !Terminated("procedure module display name", p.ModuleDisplayName)) {
    return false;
  }
  const size_t at = r_.pos();
  if (!U32("procedure reserved word", reserved)) return false;
  if (reserved != 0) return Fail(at, "procedure reserved word", "must be 0");
  const size_t textAt = r_.pos();
  if (!Terminated("procedure reserved text", reservedText)) return false;
  if (!reservedText.empty()) return Fail(textAt, "procedure reserved text", "must be empty");
  return true;
}

bool Parser::Call(ReportCall& c, uint32_t& children) {
  uint8_t root = 0;
  uint32_t constant = 0, lines = 0;
  if (!U32("call module key", c.Key) || !U32("call procedure handle", c.ProcedureId)) return false;
  const size_t rootAt = r_.pos();
  if (!U8("call root flag", root)) return false;
  if (root > 1) return Fail(rootAt, "call root flag", "must be 0 or 1, is " + std::to_string(root));
  c.IsRoot = root == 1;
  if (!I64("call elapsed time", c.Elapsed)) return false;
  const size_t constAt = r_.pos();
  if (!U32("call constant", constant)) return false;
  if (constant != report::kCallConstant) return Fail(constAt, "call constant", "must be 1");
  if (!Count("call line count", report::kLineEntrySize, lines)) return false;
  c.Lines.resize(lines);
  for (uint32_t i = 0; i < lines; ++i) {
    LineEntry& e = c.Lines[i];
    const size_t at = r_.pos();
    if (!I32("line number", e.Line) || !I32("line count", e.Count) || !I64("line total", e.Total)) {
      return false;
    }
    if (i > 0 && e.Line <= c.Lines[i - 1].Line) return Fail(at, "line number", "lines out of ascending order");
  }
  return Count("call child count", report::kCallRecordFixedSize, children);
}

bool Parser::Tree(Report& out) {
  uint32_t roots = 0;
  if (!Count("root count", report::kCallRecordFixedSize, roots)) return false;
  // Each open ancestor: its index and how many of its children are still to come.
  struct Open {
    uint32_t index;
    uint32_t left;
  };
  std::vector<Open> open;
  uint32_t rootsLeft = roots;
  while (rootsLeft != 0 || !open.empty()) {
    if (!open.empty() && open.back().left == 0) {
      open.pop_back();
      continue;
    }
    const bool isRoot = open.empty();
    const size_t at = r_.pos();
    ReportCall c;
    uint32_t children = 0;
    if (!Call(c, children)) return false;
    if (c.IsRoot != isRoot) {
      return Fail(at + 8, "call root flag", isRoot ? "a root call must carry 1" : "a child call must carry 0");
    }
    const uint32_t index = static_cast<uint32_t>(out.Calls.size());
    if (isRoot) {
      out.Roots.push_back(index);
      --rootsLeft;
    } else {
      out.Calls[open.back().index].Children.push_back(index);
      --open.back().left;
    }
    out.Calls.push_back(std::move(c));
    if (children != 0) open.push_back(Open{index, children});
  }
  return true;
}

bool Parser::Parse(Report& out) {
  std::span<const uint8_t> sig;
  if (!r_.ReadBytes(report::kSignature.size(), sig)) return Truncated("signature", report::kSignature.size());
  if (!std::equal(sig.begin(), sig.end(), report::kSignature.begin())) {
    return Fail(0, "signature", "not a report file");
  }
  uint32_t version = 0;
  if (!U32("format version", version)) return false;
  if (version != report::kVersion) return Fail(12, "format version", "unsupported version " + std::to_string(version));
  if (!I64("counter frequency", out.Frequency)) return false;

  uint32_t procedures = 0;
  if (!Count("procedure count", report::kProcedureRecordMinSize, procedures)) return false;
  out.Procedures.resize(procedures);
  for (ReportProcedure& p : out.Procedures) {
    if (!Procedure(p)) return false;
  }
  if (!Tree(out)) return false;

  uint32_t messages = 0;
  if (!Count("message count", 4, messages)) return false;
  out.Messages.resize(messages);
  for (std::string& m : out.Messages) {
    uint32_t n = 0;
    std::span<const uint8_t> b;
    if (!U32("message length", n)) return false;
    if (!r_.ReadBytes(n, b)) return Truncated("message text", n);
    m.assign(reinterpret_cast<const char*>(b.data()), b.size());
  }
  if (!r_.AtEnd()) {
    return Fail(r_.pos(), "end of report", std::to_string(r_.remaining()) + " bytes after the last message");
  }
  return true;
}

}  // namespace

bool ReadReport(std::span<const uint8_t> bytes, Report& report, ReportError& error) {
  Report parsed;
  Parser parser(bytes);
  if (!parser.Parse(parsed)) {
    error = parser.error();
    return false;
  }
  report = std::move(parsed);
  return true;
}

bool ReadReportFile(const std::string& path, Report& report, ReportError& error) {
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> in(std::fopen(path.c_str(), "rb"));
  if (!in) {
    error = ReportError{0, "file", std::string("cannot open the file: ") + std::strerror(errno)};
    return false;
  }
  std::vector<uint8_t> bytes;
  uint8_t block[65536];
  for (;;) {
    const size_t n = std::fread(block, 1, sizeof block, in.get());
    if (bytes.size() + n > kMaxReportFileBytes) {
      error = ReportError{0, "file", "the file is larger than a report can be"};
      return false;
    }
    bytes.insert(bytes.end(), block, block + n);
    if (n < sizeof block) break;
  }
  if (std::ferror(in.get())) {
    error = ReportError{0, "file", std::string("cannot read the file: ") + std::strerror(errno)};
    return false;
  }
  return ReadReport(bytes, report, error);
}

}  // namespace quillet
