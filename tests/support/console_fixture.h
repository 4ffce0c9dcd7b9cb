// The console program's routines in-process: a simulated device open on slot 0 as the program's
// port, everything printed collected, and keys typed from a script.
#pragma once
#include <string>
#include <vector>

#include "control/common/state.h"
#include "platform/terminal.h"
#include "tests/support/console_script.h"
#include "tests/support/fixture.h"

namespace testing_support {

class ConsoleTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    device_ = NewSim(6);
    OpenSlot(0, 6);
    control::State = control::ProgramState{};
    control::State.ComNumber = 6;
    control::State.opened = true;
    platform::SetTerminalModes(false, false, 80);
    testing_support::CaptureOutput(&out_);
    testing_support::ScriptInput({});
  }
  void TearDown() override {
    testing_support::CaptureOutput(nullptr);
    LinkTest::TearDown();
  }

  // What was printed since the last call.
  std::string Out() {
    std::string s;
    s.swap(out_);
    return s;
  }
  // The keys the user types, chunk by chunk, as the program waits for them.
  void Type(const std::vector<std::string>& chunks) { testing_support::ScriptInput(chunks); }

  std::shared_ptr<sim::Device> device_;
  std::string out_;
};

}  // namespace testing_support
