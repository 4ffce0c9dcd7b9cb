// The console program's processor time while it waits: idle in the key loop, and in continuous
// displays, against the simulated device on the real clock. Each run lasts a few seconds, then the
// program is ended with Esc; its processor time comes from the kernel's account of the child.
#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

double Seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; }

// Runs the program with the arguments for `seconds`, then types Esc twice; the share of one core.
double CpuShare(const std::vector<std::string>& args, double seconds) {
  int in[2];
  if (pipe(in) != 0) return -1;
  const auto start = std::chrono::steady_clock::now();
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    dup2(in[0], STDIN_FILENO);
    close(in[1]);
    FILE* null = std::freopen("/dev/null", "w", stdout);
    (void)null;
    setenv("KESTRAVO_COM1", "sim", 1);
    std::vector<char*> argv{const_cast<char*>(KESTRAVO_PROGRAM_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(KESTRAVO_PROGRAM_PATH, argv.data());
    _exit(98);
  }
  close(in[0]);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  if (write(in[1], "\x1b", 1) != 1) return -1;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  close(in[1]);  // end of input: Esc wherever a key is awaited
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return 100.0 * (Seconds(usage.ru_utime) + Seconds(usage.ru_stime)) / wall;
}

}  // namespace

int main() {
  const double seconds = 4;
  std::printf("idle key loop:              %.2f%% of one core\n", CpuShare({"1", "-q"}, seconds));
  std::printf("continuous housekeeping:    %.2f%% of one core\n", CpuShare({"1", "-q", "-H"}, seconds));
  std::printf("continuous CPU data:        %.2f%% of one core\n", CpuShare({"1", "-q", "-C"}, seconds));
  std::printf("continuous controller:      %.2f%% of one core\n", CpuShare({"1", "-q", "-W"}, seconds));
  return 0;
}
