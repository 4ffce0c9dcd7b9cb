// Every kind of device operation's reply handling on any reply: a scripted far end answers every
// command with the fuzzer's bytes; the operations must return a code and never read or write
// outside their buffers.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "COM-KESTRAVO.h"
#include "platform/clock.h"
#include "tests/support/fixture.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/virtual_clock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  testing_support::UseVirtualClock(true);
  auto peer = std::make_shared<testing_support::ScriptedPeer>();  // a fresh far end for every input
  testing_support::AttachPeer(5, peer);
  const std::string reply(reinterpret_cast<const char*>(data), size);
  peer->responder = [](const std::string& frame) {
    return frame == "z" ? std::string("zY\r") : std::string();
  };
  if (COM_KESTRAVO_Open(0, 5) != 0) std::abort();
  peer->responder = [&reply](const std::string&) { return reply; };
  uint16_t w = 0;
  uint32_t u = 0;
  uint8_t b = 0, r = 0, block[75], name[52], active[126], valid[126], memory[64];
  double d[3];
  int32_t i3[3], j3[3];
  uint16_t s3[3], t3[3], p3[3];
  char text[COM_KESTRAVO_PRODUCT_ID_SIZE], date[COM_KESTRAVO_FW_DATE_SIZE];
  const int32_t results[] = {
      COM_KESTRAVO_GetFWVersion(0, &w),
      COM_KESTRAVO_GetProductNo(0, &u),
      COM_KESTRAVO_GetProductID(0, text),
      COM_KESTRAVO_GetFWDate(0, date),
      COM_KESTRAVO_GetCPUData(0, &d[0], &d[1]),
      COM_KESTRAVO_GetHousekeeping(0, &d[0], &d[1], &d[2], &d[0]),
      COM_KESTRAVO_GetSensorData(0, d),
      COM_KESTRAVO_GetFanData(0, i3, j3, s3, t3, p3),
      COM_KESTRAVO_GetUptime(0, &u, &w, &u),
      COM_KESTRAVO_GetPulserDelay(0, 1, &u),
      COM_KESTRAVO_SetPulserWidth(0, 2, 77),
      COM_KESTRAVO_GetSwitchTriggerDelay(0, 1, &b, &r),
      COM_KESTRAVO_GetSwitchTriggerMappingEnable(0, &b),
      COM_KESTRAVO_GetInputConfig(0, &b, &r),
      COM_KESTRAVO_GetControllerState(0, &w),
      COM_KESTRAVO_GetCurrentConfig(0, block),
      COM_KESTRAVO_GetConfigName(0, 3, name),
      COM_KESTRAVO_GetConfigList(0, active, valid),
      COM_KESTRAVO_GetConfigFlags(0, 3, &b, &r),
      COM_KESTRAVO_GetMemoryData(0, 64, sizeof memory, memory),
      COM_KESTRAVO_Test(0, "abc"),
  };
  for (int32_t result : results)
    if (result > 0) std::abort();
  COM_KESTRAVO_Close(0);
  return 0;
}
