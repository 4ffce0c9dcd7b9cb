// Every fault the simulated device can inject against every kind of exchange: the code each call
// returns, how long it may take (virtual clock), and that a purge brings the link back. The
// matrix is printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "COM-KESTRAVO.h"
#include "tests/support/fixture.h"

namespace {

struct Exchange {
  const char* name;
  std::function<int32_t()> call;
};

struct Fault {
  const char* name;
  std::function<void(sim::Device&)> inject;
  std::function<void(sim::Device&)> clear;  // before the purge
};

class FaultMatrixTest : public testing_support::LinkTest {};

TEST_F(FaultMatrixTest, EveryFaultAgainstEveryKindOfExchange) {
  uint16_t w = 0;
  uint32_t u = 0;
  uint8_t b = 0, block[75];
  char id[COM_KESTRAVO_PRODUCT_ID_SIZE];
  const Exchange exchanges[] = {
      {"fixed", [&] { return COM_KESTRAVO_GetFWVersion(0, &w); }},
      {"free", [&] { return COM_KESTRAVO_GetProductID(0, id); }},
      {"integer", [&] { return COM_KESTRAVO_GetProductNo(0, &u); }},
      {"Boolean", [&] { return COM_KESTRAVO_GetSwitchTriggerMappingEnable(0, &b); }},
      {"indexed", [&] { return COM_KESTRAVO_GetPulserDelay(0, 2, &u); }},
      {"block", [&] { return COM_KESTRAVO_GetCurrentConfig(0, block); }},
  };
  auto none = [](sim::Device&) {};
  const Fault faults[] = {
      {"none", none, none},
      {"drop", [](sim::Device& d) { d.faults.drop = 1; }, none},
      {"garble", [](sim::Device& d) { d.faults.garble = 1; }, none},
      {"no CR", [](sim::Device& d) { d.faults.nocr = 1; }, none},
      {"extra", [](sim::Device& d) { d.faults.extra = 1; }, none},
      {"silent", [](sim::Device& d) { d.faults.silent = 1; }, none},
      {"slow 300ms", [](sim::Device& d) { d.faults.slow_ms = 300; },
       [](sim::Device& d) { d.faults.slow_ms = 0; }},
      {"slow 3s", [](sim::Device& d) { d.faults.slow_ms = 3000; },
       [](sim::Device& d) { d.faults.slow_ms = 0; }},
      {"CTS low", [](sim::Device& d) { d.faults.cts = 0; }, [](sim::Device& d) { d.faults.cts = -1; }},
      {"CTS high", [](sim::Device& d) { d.faults.cts = 1; }, [](sim::Device& d) { d.faults.cts = -1; }},
      {"off (DSR, DCD)", [](sim::Device& d) { d.faults.off = true; },
       [](sim::Device& d) { d.faults.off = false; }},
      {"restart", [](sim::Device&) { EXPECT_EQ(COM_KESTRAVO_Restart(0), 0); }, none},
      {"rate refused",
       [](sim::Device& d) {
         d.faults.ignore_baud_change = true;
         uint32_t rate = 19200;
         COM_KESTRAVO_SetBaudRate(0, &rate);  // the device keeps 9600, the PC goes to 19200
       },
       [](sim::Device& d) { d.faults.ignore_baud_change = false; }},
  };
  // The codes each fault gives, by exchange (fixed, free, integer, Boolean, indexed, block).
  const std::vector<std::vector<int32_t>> expected = {
      {0, 0, 0, 0, 0, 0},  // none
      {COM_KESTRAVO_RECEIVE_DATA_FAILED, 0, COM_KESTRAVO_RECEIVE_DATA_FAILED,
       COM_KESTRAVO_RECEIVE_DATA_FAILED, COM_KESTRAVO_RECEIVE_DATA_FAILED,
       COM_KESTRAVO_RECEIVE_DATA_FAILED},  // drop
      {COM_KESTRAVO_WRONG_COMMAND, COM_KESTRAVO_WRONG_COMMAND, COM_KESTRAVO_WRONG_COMMAND,
       COM_KESTRAVO_WRONG_COMMAND, COM_KESTRAVO_WRONG_COMMAND, COM_KESTRAVO_WRONG_COMMAND},  // garble
      {COM_KESTRAVO_RECEIVE_DATA_FAILED, COM_KESTRAVO_RECEIVE_TERMINATION_FAILED,
       COM_KESTRAVO_RECEIVE_DATA_FAILED, COM_KESTRAVO_RECEIVE_DATA_FAILED, COM_KESTRAVO_RECEIVE_DATA_FAILED,
       COM_KESTRAVO_RECEIVE_DATA_FAILED},  // no CR (a free-length reply misses its end)
      {COM_KESTRAVO_RECEIVE_TERMINATION_FAILED, 0, COM_KESTRAVO_RECEIVE_TERMINATION_FAILED,
       COM_KESTRAVO_RECEIVE_TERMINATION_FAILED, COM_KESTRAVO_RECEIVE_TERMINATION_FAILED,
       COM_KESTRAVO_RECEIVE_TERMINATION_FAILED},  // extra
      {COM_KESTRAVO_RECEIVE_COMMAND_FAILED, COM_KESTRAVO_RECEIVE_COMMAND_FAILED,
       COM_KESTRAVO_RECEIVE_COMMAND_FAILED, COM_KESTRAVO_RECEIVE_COMMAND_FAILED,
       COM_KESTRAVO_RECEIVE_COMMAND_FAILED, COM_KESTRAVO_RECEIVE_COMMAND_FAILED},  // silent
      {0, 0, 0, 0, 0, 0},  // slow 300 ms: within the reply window
      {COM_KESTRAVO_RECEIVE_COMMAND_FAILED, COM_KESTRAVO_RECEIVE_COMMAND_FAILED,
       COM_KESTRAVO_RECEIVE_COMMAND_FAILED, COM_KESTRAVO_RECEIVE_COMMAND_FAILED,
       COM_KESTRAVO_RECEIVE_COMMAND_FAILED, COM_KESTRAVO_RECEIVE_COMMAND_FAILED},  // slow 3 s
      {COM_KESTRAVO_RECEIVE_COMMAND_FAILED, COM_KESTRAVO_RECEIVE_COMMAND_FAILED,
       COM_KESTRAVO_RECEIVE_COMMAND_FAILED, COM_KESTRAVO_RECEIVE_COMMAND_FAILED,
       COM_KESTRAVO_RECEIVE_COMMAND_FAILED,
       COM_KESTRAVO_RECEIVE_COMMAND_FAILED},  // CTS kept low: the echo is never waited for long enough
      {0, 0, 0, 0, 0, 0},                     // CTS kept high: exchanges still work
      {COM_KESTRAVO_RECEIVE_COMMAND_FAILED, COM_KESTRAVO_RECEIVE_COMMAND_FAILED,
       COM_KESTRAVO_RECEIVE_COMMAND_FAILED, COM_KESTRAVO_RECEIVE_COMMAND_FAILED,
       COM_KESTRAVO_RECEIVE_COMMAND_FAILED,
       COM_KESTRAVO_RECEIVE_COMMAND_FAILED},  // off: DSR and DCD low, nothing answered
      {0, 0, 0, 0, 0, 0},                     // after a restart
      {0, 0, 0, 0, 0, 0},                     // after a refused data-rate change the link is back
  };
  std::string table = "fault           ";
  for (const Exchange& e : exchanges)
    table += std::string(e.name) + std::string(10 - std::strlen(e.name), ' ');
  table += "longest  recovers\n";
  for (size_t f = 0; f < std::size(faults); ++f) {
    char row[256];
    std::snprintf(row, sizeof row, "%-16s", faults[f].name);
    table += row;
    uint64_t longest = 0;
    bool recovers = true;
    for (size_t x = 0; x < std::size(exchanges); ++x) {
      auto device = NewSim(6);
      OpenSlot(0, 6);
      faults[f].inject(*device);
      const uint64_t start = platform::TickMs();
      const int32_t r = exchanges[x].call();
      const uint64_t took = platform::TickMs() - start;
      longest = std::max(longest, took);
      std::snprintf(row, sizeof row, "%-10d", r);
      table += row;
      EXPECT_EQ(r, expected[f][x]) << faults[f].name << " / " << exchanges[x].name;
      // No call waits longer than the handshake's second and the reply window's 1.5 s together,
      // apart from the device's own slowness.
      EXPECT_LE(took, 2700u + (f == 7   ? 3000u
                               : f == 6 ? 300u
                                        : 0u))
          << faults[f].name << " / " << exchanges[x].name;
      faults[f].clear(*device);
      const bool back = COM_KESTRAVO_Purge(0) == 0 && COM_KESTRAVO_GetFWVersion(0, &w) == 0 && w == 0x0103;
      recovers = recovers && back;
      EXPECT_TRUE(back) << faults[f].name << " / " << exchanges[x].name;
      COM_KESTRAVO_Close(0);
    }
    std::snprintf(row, sizeof row, "%5llums  %s\n", static_cast<unsigned long long>(longest),
                  recovers ? "yes" : "NO");
    table += row;
  }
  std::printf("%s", table.c_str());
}

}  // namespace
