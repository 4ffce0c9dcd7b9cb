// How much the PC side adds to the time the wire takes, and how the reply conversions compare
// with the C library's sscanf. Everything is measured in this one run and printed as ratios.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "link/link.h"
#include "link/scan.h"
#include "platform/clock.h"
#include "ports/kinds.h"
#include "sim/sim.h"
#include "tests/support/virtual_clock.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

}  // namespace

int main() {
  testing_support::UseVirtualClock(true);
  auto device = std::make_shared<sim::Device>();
  std::string error;
  device->Init(error);
  ports::RegisterKind("bench", [device](const std::string&) { return ports::MakeInProcDevice(device); });
  setenv("KESTRAVO_COM1", "bench", 1);
  if (COM_KESTRAVO_Open(0, 1) != 0) {
    std::printf("cannot open the simulated device\n");
    return 1;
  }

  // Exchanges: the virtual clock shows the time the line takes at 9600 baud; the steady clock
  // what the library and the model cost in processor time.
  const int kExchanges = 20000;
  uint32_t v = 0;
  uint32_t virtual_start = platform::GetTickCount();
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kExchanges; ++i) COM_KESTRAVO_GetPulserDelay(0, uint32_t(i % 4), &v);
  auto end = std::chrono::steady_clock::now();
  double wire = (platform::GetTickCount() - virtual_start) / 1000.0;
  double cpu = Seconds(start, end);
  std::printf("pulser delay reads: %d, line time at 9600 baud %.1f s, processor time %.3f s\n", kExchanges,
              wire, cpu);
  std::printf("ratio processor time / line time: %.5f\n", cpu / wire);
  // 'd', the index digit and the carriage return out; the echo, nine characters and the carriage return back.
  double characters = kExchanges * (3.0 + 11.0) * double(ports::CharTimeUs(9600)) / 1e6;
  std::printf(
      "ratio line time / time of the characters alone: %.3f (the device's 0.5 ms turnaround included)\n",
      wire / characters);
  // What a short exchange adds to the time of its characters, at two data rates.
  for (uint32_t baud : {9600u, 115200u}) {
    uint32_t rate = baud;
    COM_KESTRAVO_SetBaudRate(0, &rate);
    const uint64_t t0 = platform::ClockUs(), chars0 = device->characters();
    for (int i = 0; i < 2000; ++i) COM_KESTRAVO_GetPulserDelay(0, uint32_t(i % 4), &v);
    const double line_ms = double(platform::ClockUs() - t0) / 1000.0 / 2000;
    const double char_ms = double(device->characters() - chars0) * 11.0 * 1000.0 / baud / 2000;
    std::printf(
        "short exchange at %6u baud: %.3f ms on the line, %.3f ms of characters, %.3f ms added "
        "(0.5 ms of it the device's turnaround)\n",
        baud, line_ms, char_ms, line_ms - char_ms);
  }
  uint32_t back = 9600;
  COM_KESTRAVO_SetBaudRate(0, &back);

  // One 128-byte memory block, the console's backup unit.
  uint8_t block[128];
  virtual_start = platform::GetTickCount();
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < 2000; ++i) COM_KESTRAVO_GetMemoryData(0, uint32_t(128 * (i % 128)), 128, block);
  end = std::chrono::steady_clock::now();
  wire = (platform::GetTickCount() - virtual_start) / 1000.0;
  cpu = Seconds(start, end);
  std::printf("memory block reads: 2000, line time %.1f s, processor time %.3f s, ratio %.5f\n", wire, cpu,
              cpu / wire);

  // The conversions against sscanf on the same texts.
  const char* texts[] = {"000003E8", "FFFFFFFF", "-0000001", "12G4", "7530", "0x1F"};
  const int kRounds = 2000000;
  volatile uint64_t sink = 0;
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRounds; ++i) sink = sink + kestravo::ScanUnsigned(texts[i % 6], 16, 8).value;
  end = std::chrono::steady_clock::now();
  double ours = Seconds(start, end);
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRounds; ++i) {
    unsigned x = 0;
    std::sscanf(texts[i % 6], "%8X", &x);
    sink = sink + x;
  }
  end = std::chrono::steady_clock::now();
  double libc = Seconds(start, end);
  std::printf("hex conversions: %d, ours %.3f s, sscanf %.3f s, ratio ours / sscanf: %.3f\n", kRounds, ours,
              libc, ours / libc);
  COM_KESTRAVO_Close(0);
  return 0;
}
