#include "tests/support/fixture.h"

#include "platform/environment.h"
#include "ports/kinds.h"
#include "tests/support/virtual_clock.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace testing_support {
namespace {

std::map<unsigned, std::shared_ptr<ports::InProcPeer>>& Peers() {
  static std::map<unsigned, std::shared_ptr<ports::InProcPeer>> peers;
  return peers;
}

void RegisterScriptScheme() {
  static bool done = false;
  if (done) return;
  done = true;
  ports::RegisterKind("script", [](const std::string& arg) -> std::unique_ptr<ports::SerialDevice> {
    auto it = Peers().find(unsigned(std::strtoul(arg.c_str(), nullptr, 10)));
    if (it == Peers().end()) return nullptr;
    return ports::MakeInProcDevice(it->second);
  });
}

}  // namespace

void AttachPeer(unsigned com, std::shared_ptr<ports::InProcPeer> peer) {
  RegisterScriptScheme();
  Peers()[com] = std::move(peer);
  std::string var = "KESTRAVO_COM" + std::to_string(com);
  platform::SetEnvironment(var, "script:" + std::to_string(com));
}

void DetachCom(unsigned com) {
  Peers().erase(com);
  std::string var = "KESTRAVO_COM" + std::to_string(com);
  platform::SetEnvironment(var, "/nonexistent/kestravo-test-port");
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  std::string text = s.str();
#ifdef _WIN32
  // Text files have CRLF line ends on Windows; the tests compare lines.
  size_t out = 0;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) text[out++] = text[i];
  text.resize(out);
#endif
  return text;
}

std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  std::string base = dir ? dir : "/tmp";
  return base + "/kestravo-" + std::to_string(getpid()) + "-" + name;
}

void LinkTest::SetUp() {
  testing_support::UseVirtualClock(true);
  for (unsigned com = 1; com <= 16; ++com) DetachCom(com);
}

void LinkTest::TearDown() {
  for (uint16_t i = 0; i < kestravo::kSlots; ++i) {
    COM_KESTRAVO_Close(i);
    COM_KESTRAVO_CloseDebugFile(i);
    kestravo::InterfaceState[i] = 0;
    if (!trace_path_[i].empty()) std::remove(trace_path_[i].c_str());
  }
  Peers().clear();
}

std::shared_ptr<ScriptedPeer> LinkTest::NewPeer(unsigned com) {
  auto peer = std::make_shared<ScriptedPeer>();
  // A device that answers the purge query the way a healthy one does.
  peer->responder = [](const std::string& frame) {
    return frame == "z" ? std::string("zY\r") : std::string();
  };
  AttachPeer(com, peer);
  return peer;
}

std::shared_ptr<sim::Device> LinkTest::NewSim(unsigned com, const std::string& file) {
  auto device = std::make_shared<sim::Device>(file);
  std::string error;
  EXPECT_TRUE(device->Init(error)) << error;
  AttachPeer(com, device);
  return device;
}

void LinkTest::OpenSlot(uint16_t port, unsigned com, ScriptedPeer* peer) {
  ASSERT_EQ(COM_KESTRAVO_Open(port, uint8_t(com)), 0);
  if (peer) {
    peer->received.clear();
    peer->frames.clear();
    peer->events.clear();
  }
}

void LinkTest::StartTrace(uint16_t port) {
  std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  for (char& c : name)
    if (c == '/') c = '_';
  trace_path_[port] = TempPath("trace" + std::to_string(port) + "-" + name);
  ASSERT_EQ(COM_KESTRAVO_OpenDebugFile(port, trace_path_[port].c_str()), 0);
}

std::string LinkTest::Trace(uint16_t port) {
  FILE* f = kestravo::Ports[port].DebugFile;
  if (f) std::fflush(f);
  return ReadFile(trace_path_[port]);
}

}  // namespace testing_support
