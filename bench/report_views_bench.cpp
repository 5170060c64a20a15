// Time of `quillet report` on a report of a million call records in each
// format; every view should stay within three times the JSON view's time.
// The HTML view of that report should open in headless Chromium in under 3 s.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "timing/profile_data.h"
#include "timing/report_writer.h"

namespace {

using namespace quillet;

constexpr int kChains = 333'334;  // three calls each: about a million records

int64_t gClock = 0;
int64_t Clock() { return gClock += 3; }

// A report file of about a million calls under one root: chains of three
// procedures (50, 13 and 7 distinct ones) with two or three timed lines each.
const std::string& LargeReport() {
  static const std::string path = [] {
    CProfileData data(&Clock, 1'000'000'000);
    for (uint32_t id = 1; id <= 71; ++id) {
      ProcedureInfo p;
      p.ProcedureId = id;
      p.Title = "bench";
      p.FullName = "PROC" + std::to_string(id);
      data.AddProcedure(1, p);
    }
    data.Enter({1, 71});
    for (int i = 0; i < kChains; ++i) {
      data.Enter({1, static_cast<uint32_t>(1 + i % 50)});
      data.Line(1 + i % 3);
      data.Enter({1, static_cast<uint32_t>(51 + i % 13)});
      data.Line(2);
      data.Enter({1, static_cast<uint32_t>(64 + i % 7)});
      data.Line(3);
      data.Line(4);
      data.Exit();
      data.Exit();
      data.Exit();
    }
    data.Exit();
    std::vector<uint8_t> bytes;
    VectorSink sink(bytes);
    const std::string file = (std::filesystem::temp_directory_path() / "quillet_bench_views.zvk").string();
    if (!WriteReportTo(sink, data, [](const ProcedureInfo&) { return true; }, {})) std::abort();
    FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) std::abort();
    std::fclose(out);
    return file;
  }();
  return path;
}

const char* const kFormats[] = {"json", "text", "html", "folded", "speedscope", "pprof", "callgrind"};

void BM_ReportView(benchmark::State& state) {
  const std::string format = kFormats[state.range(0)];
  state.SetLabel(format);
  const std::string command = std::string(QUILLET_TOOL_PATH) + " report " + LargeReport() + " --format " + format +
                              " -o /dev/null 2>/dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("quillet report failed");
      return;
    }
  }
}
BENCHMARK(BM_ReportView)->DenseRange(0, 6)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The page opened by the report tests' Chromium client (tests/tools/clients,
// set up by scripts/setup): the time from opening the file until the page
// has drawn its tables, tree and flame graph, as the client measures it.
void BM_ReportHtmlOpensInChromium(benchmark::State& state) {
  const std::string html = (std::filesystem::temp_directory_path() / "quillet_bench_views.html").string();
  const std::string render =
      std::string(QUILLET_TOOL_PATH) + " report " + LargeReport() + " --format html -o " + html + " 2>/dev/null";
  if (std::system(render.c_str()) != 0) {
    state.SkipWithError("quillet report failed");
    return;
  }
  const std::string open = "node " QUILLET_SOURCE_DIR "/tests/tools/clients/check.js html " + html;
  const std::regex loadMs(R"("loadMs":(\d+))");
  for (auto _ : state) {
    FILE* client = popen(open.c_str(), "r");
    std::string seen;
    char buffer[4096];
    for (size_t n; client != nullptr && (n = std::fread(buffer, 1, sizeof buffer, client)) > 0;) seen.append(buffer, n);
    std::smatch m;
    if (client == nullptr || pclose(client) != 0 || !std::regex_search(seen, m, loadMs)) {
      state.SkipWithError("the Chromium client failed: run scripts/setup");
      return;
    }
    state.SetIterationTime(std::stod(m[1]) / 1000.0);
  }
}
BENCHMARK(BM_ReportHtmlOpensInChromium)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

}  // namespace
