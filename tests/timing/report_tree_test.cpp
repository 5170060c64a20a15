// The call tree of a long random run, written by the report writer, against
// the same run kept in a plain model tree and encoded field by field: the
// record pool's layout (open-call state on the stack, fitted line tables)
// must not change a byte of the report.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <vector>

#include "timing/report_format.h"
#include "timing/report_writer.h"
#include "util/bytes.h"

namespace quillet {
namespace {

int64_t gNow = 0;
int64_t TestCounter() { return gNow; }

// A call as the timer events define it, with nothing shared with the pool.
struct ModelCall {
  uint32_t key = 0, handle = 0;
  bool root = false;
  int64_t entry = 0, elapsed = 0;
  bool lineOpen = false;
  int32_t line = 0;
  int64_t lineStart = 0;
  std::map<int32_t, std::pair<int32_t, int64_t>> lines;  // line -> count, total
  std::vector<std::unique_ptr<ModelCall>> children;
};

struct Model {
  std::vector<std::unique_ptr<ModelCall>> roots;
  std::vector<ModelCall*> stack;

  void Close(ModelCall& c, int64_t now) {
    if (!c.lineOpen) return;
    auto& [count, total] = c.lines[c.line];
    count += 1;
    total += now - c.lineStart;
    c.lineOpen = false;
  }
  void Enter(uint32_t key, uint32_t handle, int64_t now) {
    auto c = std::make_unique<ModelCall>();
    c->key = key;
    c->handle = handle;
    c->entry = now;
    c->root = stack.empty();
    ModelCall* raw = c.get();
    (stack.empty() ? roots : stack.back()->children).push_back(std::move(c));
    stack.push_back(raw);
  }
  void Exit(int64_t now) {
    if (stack.empty()) return;
    Close(*stack.back(), now);
    stack.back()->elapsed = now - stack.back()->entry;
    stack.pop_back();
  }
  void Line(int32_t line, int64_t now) {
    if (stack.empty()) return;
    ModelCall& c = *stack.back();
    Close(c, now);
    c.lineOpen = true;
    c.line = line;
    c.lineStart = now;
  }
};

void Encode(ByteWriter& out, const ModelCall& c) {
  out.PutU32(c.key);
  out.PutU32(c.handle);
  out.PutU8(c.root ? 1 : 0);
  out.PutU64(static_cast<uint64_t>(c.elapsed));
  out.PutU32(report::kCallConstant);
  out.PutU32(static_cast<uint32_t>(c.lines.size()));
  for (const auto& [line, stat] : c.lines) {
    out.PutU32(static_cast<uint32_t>(line));
    out.PutU32(static_cast<uint32_t>(stat.first));
    out.PutU64(static_cast<uint64_t>(stat.second));
  }
  out.PutU32(static_cast<uint32_t>(c.children.size()));
  for (const auto& child : c.children) Encode(out, *child);
}

TEST(ReportTree, RandomRunIsWrittenAsThePlainModelEncodesIt) {
  CProfileData data(&TestCounter, 5);
  Model model;
  std::mt19937 random(1234);
  gNow = 10;
  for (int i = 0; i < 60000; ++i) {
    gNow += 1 + static_cast<int64_t>(random() % 40);
    const uint32_t op = random() % 10;
    if (op < 3 && model.stack.size() < 40) {
      const uint32_t key = 0x7000 + random() % 3, handle = random() % 50;
      data.Enter({key, handle});
      model.Enter(key, handle, gNow);
    } else if (op < 5) {
      data.Exit();
      model.Exit(gNow);
    } else {
      // Mostly ascending runs with jumps back, some negative and 0xFFFF lines.
      const int32_t line = random() % 64 == 0 ? 0xFFFF : static_cast<int32_t>(random() % 40) - 3;
      data.Line(line);
      model.Line(line, gNow);
    }
  }
  ASSERT_FALSE(model.stack.empty());  // open calls are written too, with their closed lines

  std::vector<uint8_t> expected;
  ByteWriter out(expected);
  out.PutBytes({reinterpret_cast<const uint8_t*>(report::kSignature.data()), report::kSignature.size()});
  out.PutU32(report::kVersion);
  out.PutU64(5);
  out.PutU32(0);
  out.PutU32(static_cast<uint32_t>(model.roots.size()));
  for (const auto& root : model.roots) Encode(out, *root);
  out.PutU32(0);

  std::vector<uint8_t> written;
  VectorSink sink(written);
  ASSERT_TRUE(WriteReportTo(sink, data, [](const ProcedureInfo&) { return true; }, {}));
  ASSERT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected);
}

}  // namespace
}  // namespace quillet
