// Report files built with the real timing code on a manual clock, for the
// tests of the report views.
#pragma once

#include <string>
#include <vector>

#include "timing/profile_data.h"
#include "timing/report_writer.h"
#include "tools/tool_run.h"

namespace quillet::testing {

inline int64_t gNow = 0;
inline int64_t ManualCounter() { return gNow; }

inline constexpr uint32_t kModule = 0x5000;
inline constexpr uint32_t kMain = 3;
inline constexpr uint32_t kHelper = 4;
inline constexpr uint32_t kUndescribed = 7;

class ReportTest : public ToolTest {
 protected:
  // Writes `data` as a report file and returns its path.
  std::string Save(const CProfileData& data, const std::vector<std::string>& messages = {},
                   const std::string& name = "run.zvk") {
    std::vector<uint8_t> bytes;
    VectorSink sink(bytes);
    EXPECT_TRUE(WriteReportTo(sink, data, [](const ProcedureInfo&) { return true; }, messages));
    const std::string path = File(name);
    WriteText(path, std::string(bytes.begin(), bytes.end()));
    return path;
  }

  static void Describe(CProfileData& data, uint32_t handle, const std::string& name,
                       const std::string& title = "Slow agent", uint32_t module = kModule) {
    ProcedureInfo p;
    p.ProcedureId = handle;
    p.DatabasePath = "apps/demo.nsf";
    p.Title = title;
    p.FullName = name;
    data.AddProcedure(module, p);
  }

  // MAIN (line 1, then line 2 calling HELPER three times; HELPER runs its
  // line 5 for 100 ticks each time) and one call of an undescribed procedure.
  // Times in ticks of a 1 MHz counter, so a tick is a microsecond:
  //   MAIN   0..400: line 1 10 ticks, line 2 380 ticks (with every call made
  //          from it); exclusive 400 - 3 x 101 - 20
  //   HELPER 3 calls of 101 (1 before line 5, 100 on it)
  //   undescribed: 20 ticks, no lines
  std::string SampleReport() {
    CProfileData data(&ManualCounter, 1'000'000);
    Describe(data, kMain, "MAIN");
    Describe(data, kHelper, "HELPER");
    RecordSample(data, 100, kUndescribed, 20, 400);
    return Save(data, {"Instrument Lines: Jump too big: MAIN.", "second warning"});
  }

  // The run of SampleReport with HELPER's line 5 taking `helperTicks`, the
  // last call going to procedure `other` for `otherTicks`, and MAIN ending
  // at tick `end`.
  static void RecordSample(CProfileData& data, int64_t helperTicks, uint32_t other, int64_t otherTicks, int64_t end) {
    gNow = 0;
    data.Enter({kModule, kMain});
    gNow = 10;
    data.Line(1);
    gNow = 20;
    data.Line(2);
    for (int i = 0; i < 3; ++i) {
      data.Enter({kModule, kHelper});
      gNow += 1;
      data.Line(5);
      gNow += helperTicks;
      data.Exit();
      gNow += 1;
    }
    data.Enter({kModule, other});
    gNow += otherTicks;
    data.Exit();
    gNow = end;
    data.Exit();
  }
};

}  // namespace quillet::testing
