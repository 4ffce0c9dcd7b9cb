// The communication test: random texts through the device's echo until Esc, with the data rate.
#include <cstdlib>

#include "COM-KESTRAVO.h"
#include "control/common/console.h"
#include "control/common/state.h"
#include "control/diagnostics/diagnostics.h"
#include "platform/clock.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {

// Kilobytes of 1024 bytes per second, in floating point; 0 within the first millisecond.
double TransferRate(uint32_t bytes, uint64_t ms) {
  return ms == 0 ? 0.0 : double(bytes) * 1000.0 / double(ms) / 1024.0;
}

void CommunicationTest() {
  if (!State.quiet) Print("Testing communication, press ESC to stop...\n");
  const uint64_t start = platform::TickMs();
  uint32_t cycles = 0, bytes = 0;
  char text[257];
  for (;;) {
    // The C library's generator, never seeded: every run starts the same sequence.
    const int n = std::rand() % 256 + 1;
    for (int i = 0; i < n; ++i) text[i] = char(std::rand() % 224 + 32);
    text[n] = 0;
    bytes += uint32_t(n) + 1;
    if (COM_KESTRAVO_Test(State.PortNumber, text) != 0) {
      Print("\nCycle #%u\n", cycles);
      return ReportError("COM_KESTRAVO_Test");
    }
    const double rate = TransferRate(bytes, platform::TickMs() - start);
    ClearLine();
    ++cycles;
    ProgressLine("  run #%u (%02Xh, %.3lfKB/s)", cycles, unsigned(n - 1), rate);
    if (platform::KeyPending() && ReadKey() == platform::kEsc) break;
  }
  ClearLine();
  const double rate = TransferRate(bytes, platform::TickMs() - start);
  Print("Test finished after %u cycles, %u (%.2lE) bytes, %.3lfKB/s\n", cycles, bytes, double(bytes), rate);
}

}  // namespace control
