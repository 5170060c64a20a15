// A simulated host with a settings file, a process identity and the hook
// driver started in it; the application object is ended after each test.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "config/settings.h"
#include "hook/controller_message.h"
#include "hook/hooks.h"
#include "hook/quillet_app.h"
#include "sim/scoped_sim_host.h"

namespace quillet::testing {

class HookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // An empty settings file: settings come from the file or the environment.
    WriteSetting("Placeholder", "1");
  }
  void TearDown() override { Term(&vector); }

  // Starts the hook driver as the process `executable` with `commandLine`,
  // in a server installation when `serverKit`.
  void Start(std::u16string executable, std::u16string commandLine, bool serverKit) {
    sim->SetProcessIdentity(std::move(executable), std::move(commandLine));
    sim->SetEnvironmentString("KitType", serverKit ? "2" : "1");
    vector = HookVector{&hostModule, &hostInit, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(MainEntryPoint(&vector), 0u);
  }
  void StartClient() { Start(u"C:\\Notes\\nlnotes.exe", u"nlnotes.exe", false); }

  // Puts a controller message on the client's queue.
  void Send(std::string_view text) {
    QueueHandle queue;
    ASSERT_EQ(sim->QueueOpen(kControllerQueueName, queue), kNoError);
    ASSERT_EQ(sim->QueuePut(queue, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())),
              kNoError);
    ASSERT_EQ(sim->QueueClose(queue), kNoError);
  }
  // Sends and has the application perform it at once.
  void Perform(std::string_view text) {
    Send(text);
    gProfilerApp->PollMessages();
  }

  static bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 300; ++i) {
      if (condition()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
  }

  sim::ScopedSimHost sim;
  int hostModule = 0;
  int hostInit = 0;
  HookVector vector{};
};

}  // namespace quillet::testing
