// A simulated Notes client with the library started, an application
// database with a form, an agent and a view, another database, and a
// controller; helpers to read items and the report back.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "config/settings.h"
#include "platform/platform.h"
#include "sim/client/client_session.h"
#include "sim/client/controller.h"
#include "sim/client/design_notes.h"
#include "sim/lsc/compiler.h"
#include "sim/scoped_sim_host.h"
#include "timing/report_reader.h"

namespace quillet::sim::testing {

inline Image CompileSource(std::string_view source) {
  Image image;
  std::vector<CompileError> errors;
  EXPECT_TRUE(CompileLotusScript(source, image, errors)) << (errors.empty() ? "" : errors[0].message);
  return image;
}

class ClientProfiling : public ::testing::Test {
 protected:
  static constexpr const char* kApp = "apps/orders.nsf";
  static constexpr const char* kOther = "apps/other.nsf";
  static constexpr const char* kButton =
      "Sub Tally\n Dim i As Integer\n For i = 1 To 3\n  Print i\n Next\nEnd Sub\n"
      "Sub Initialize\n Tally\nEnd Sub\n";
  static constexpr const char* kAgent = "Sub Nightly\n Print \"night\"\nEnd Sub\nSub Initialize\n Nightly\nEnd Sub\n";
  static constexpr const char* kView = "Sub Initialize\n Print \"view\"\nEnd Sub\n";

  void SetUp() override {
    WriteSetting("Placeholder", "1");
    for (const char* path : {kApp, kOther}) {
      ASSERT_EQ(sim->CreateDatabase(path), kNoError);
      NoteId& id = path == kApp ? formId : otherFormId;
      ASSERT_EQ(CreateDesignNote(sim.host(), path, {DesignKind::kForm, "Order", {CompileSource(kButton)}}, id),
                kNoError);
    }
    ASSERT_EQ(CreateDesignNote(sim.host(), kApp, {DesignKind::kAgent, "Nightly", {CompileSource(kAgent)}}, agentId),
              kNoError);
    ASSERT_EQ(CreateDesignNote(sim.host(), kApp, {DesignKind::kView, "By date", {CompileSource(kView)}}, viewId),
              kNoError);
    previousSink_ = platform::SetMessageBoxSink([this](std::string_view, std::string_view text) {
      boxes.emplace_back(text);
    });
    ASSERT_TRUE(session.Start());
    ASSERT_EQ(session.OpenDatabase(kApp, app), kNoError);
    ASSERT_EQ(session.OpenDatabase(kOther, other), kNoError);
  }
  void TearDown() override {
    static_cast<void>(session.CloseDatabase(app));
    static_cast<void>(session.CloseDatabase(other));
    session.Stop();
    platform::SetMessageBoxSink(previousSink_);
  }

  std::string ReportPath() const { return sim.dataDirectory() + "/client.zvk"; }
  Report ReadBack() {
    Report report;
    ReportError error;
    EXPECT_TRUE(ReadReportFile(ReportPath(), report, error)) << error.Text;
    return report;
  }
  // Every item value of the note, by name and instance, type words included.
  std::vector<std::pair<std::string, std::vector<uint8_t>>> Items(NoteHandle note) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> items;
    EXPECT_EQ(sim->ItemScan(note, [&](const ItemInfo& item) -> STATUS {
      items.emplace_back(item.name, item.value);
      return kNoError;
    }), kNoError);
    return items;
  }
  std::vector<uint8_t> Value(NoteHandle note, std::string_view name) {
    ItemInfo info;
    return sim->ItemFind(note, name, info) == kNoError ? info.value : std::vector<uint8_t>{};
  }
  // Sends the messages from another thread, as the controlling application.
  void FromController(const std::function<void(Controller&)>& steps) {
    std::thread outside([&] {
      Controller controller(sim.host());
      steps(controller);
    });
    outside.join();
  }

  // "ENABLE,1,1,3" and "SETFILTER" of the application database; the next
  // hook call performs them.
  void SwitchOnFromController() {
    FromController([](Controller& c) {
      ASSERT_EQ(c.Enable(true, true, 3), kNoError);
      ASSERT_EQ(c.SetFilter(kApp), kNoError);
    });
  }
  // "FINALIZERUN" to ReportPath(), waiting until the poll thread switched off.
  void FinalizeFromController() {
    FromController([&](Controller& c) {
      ASSERT_EQ(c.FinalizeRun(ReportPath()), kNoError);
      EXPECT_TRUE(Controller::WaitRunning(false, 5000));
    });
  }

  ScopedSimHost sim;
  ClientSession session{sim.host()};
  DbHandle app;
  DbHandle other;
  NoteId formId = 0;
  NoteId otherFormId = 0;
  NoteId agentId = 0;
  NoteId viewId = 0;
  std::vector<std::string> boxes;

 private:
  platform::MessageBoxSink previousSink_;
};

}  // namespace quillet::sim::testing
