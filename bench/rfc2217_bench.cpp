// What a short exchange adds to the time of its characters over RFC 2217 on localhost (to
// COM-KESTRAVO-Sim --rfc2217), against the in-process simulated device, both on the real clock,
// at 9600 and 115200 baud.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "COM-KESTRAVO.h"
#include "platform/clock.h"
#include "ports/inproc.h"
#include "ports/kinds.h"
#include "ports/port.h"
#include "sim/sim.h"
#include "tests/support/virtual_clock.h"

namespace {

// Milliseconds an exchange takes beyond its characters' time (3 out, 11 back), on COM n.
double AddedMs(unsigned com, uint32_t baud) {
  if (COM_KESTRAVO_Open(0, uint8_t(com)) != 0) return -1;
  uint32_t rate = baud;
  if (baud != 9600 && COM_KESTRAVO_SetBaudRate(0, &rate) != 0) return -1;
  uint32_t v = 0;
  const int n = baud == 9600 ? 100 : 400;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < n; ++i) COM_KESTRAVO_GetPulserDelay(0, uint32_t(i % 4), &v);
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / n;
  COM_KESTRAVO_Close(0);
  return ms - 14.0 * 11.0 * 1000.0 / baud;
}

}  // namespace

int main() {
  testing_support::UseVirtualClock(false);
  int out[2];
  if (pipe(out) != 0) return 1;
  std::fflush(stdout);
  const pid_t server = fork();
  if (server == 0) {
    dup2(out[1], STDOUT_FILENO);
    execl(KESTRAVO_SIM_PATH, KESTRAVO_SIM_PATH, "--rfc2217", "0", static_cast<char*>(nullptr));
    _exit(98);
  }
  close(out[1]);
  std::string address;
  for (char c = 0; read(out[0], &c, 1) == 1 && c != '\n';) address += c;
  setenv("KESTRAVO_COM1", ("rfc2217://" + address).c_str(), 1);
  auto device = std::make_shared<sim::Device>();
  std::string error;
  device->Init(error);
  ports::RegisterKind("bench", [device](const std::string&) { return ports::MakeInProcDevice(device); });
  setenv("KESTRAVO_COM2", "bench", 1);
  for (uint32_t baud : {9600u, 115200u}) {
    const double remote = AddedMs(1, baud), local = AddedMs(2, baud);
    std::printf("short exchange at %6u baud: %.2f ms added over RFC 2217 on localhost, %.2f ms in-process\n",
                baud, remote, local);
  }
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  return 0;
}
