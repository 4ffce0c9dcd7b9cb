// Common ground of the tests: the virtual clock, peers reachable as COM ports, a debug trace that
// can be read back, and a library whose slots are all closed again after each test.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "link/link.h"
#include "platform/clock.h"
#include "sim/sim.h"
#include "tests/support/scripted_peer.h"

namespace testing_support {

// Makes the peer reachable as COM n (KESTRAVO_COM<n>=script:<n>).
void AttachPeer(unsigned com, std::shared_ptr<ports::InProcPeer> peer);
// Makes COM n a target that does not exist.
void DetachCom(unsigned com);

// The whole of a file.
std::string ReadFile(const std::string& path);
// A fresh path in the test's temporary directory.
std::string TempPath(const std::string& name);

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A scripted peer on COM com.
  std::shared_ptr<ScriptedPeer> NewPeer(unsigned com = 5);
  // A simulated device on COM com.
  std::shared_ptr<sim::Device> NewSim(unsigned com = 6, const std::string& file = "");
  // Opens slot `port` on COM `com` and clears the peer's record of the opening.
  void OpenSlot(uint16_t port, unsigned com, ScriptedPeer* peer = nullptr);
  // Starts a debug trace on slot `port`; Trace() returns what it holds so far (flushed).
  void StartTrace(uint16_t port = 0);
  std::string Trace(uint16_t port = 0);

  std::string trace_path_[kestravo::kSlots];
};

}  // namespace testing_support
