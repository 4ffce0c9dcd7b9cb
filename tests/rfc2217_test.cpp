// Remote ports over RFC 2217 with real peers: COM-KESTRAVO-Sim --rfc2217 directly and through a
// ser2net relay, pySerial's client against our server and its port manager against our client,
// and servers that die, refuse, or never report their modem lines.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "COM-KESTRAVO.h"
#include "platform/clock.h"
#include "ports/kinds.h"
#include "ports/port.h"
#include "ports/telnet.h"
#include "tests/support/child.h"
#include "tests/support/fixture.h"
#include "tests/support/virtual_clock.h"

#ifndef KESTRAVO_TEST_DATA
#define KESTRAVO_TEST_DATA "tests/data"
#endif

namespace {

const char kPython[] = "/usr/bin/python3";
const std::string kScripts = std::string(KESTRAVO_TEST_DATA) + "/../rfc2217/";

bool Have(const char* program) { return access(program, X_OK) == 0; }

// A field of /proc/<pid>/status in KiB (VmRSS: resident now; VmHWM: the peak).
long StatusKb(pid_t pid, const char* field) {
  const std::string text = testing_support::ReadFile("/proc/" + std::to_string(pid) + "/status");
  const size_t at = text.find(std::string(field) + ":");
  return at == std::string::npos ? -1 : std::atol(text.c_str() + at + std::strlen(field) + 1);
}

// A listening socket on 127.0.0.1 and its port.
int Listen(uint16_t& port) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
  listen(listener, 4);
  socklen_t len = sizeof a;
  getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return listener;
}

// A raw connection to 127.0.0.1:port; -1 when none.
int Connect(const std::string& address) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(uint16_t(std::atoi(address.substr(address.rfind(':') + 1).c_str())));
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  timeval timeout{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  return fd;
}

// What the server sends until it closes the connection (or 10 s pass without a byte).
std::string ReadUntilClosed(int fd) {
  std::string text;
  char buf[512];
  ssize_t n;
  while ((n = recv(fd, buf, sizeof buf, 0)) > 0) text.append(buf, size_t(n));
  return text;
}

// A free TCP port on 127.0.0.1 (taken and given back).
uint16_t FreePort() {
  uint16_t port = 0;
  close(Listen(port));
  return port;
}

std::string FirstLine(testing_support::Child& child) {
  std::string line;
  char c = 0;
  while (read(child.out, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

class Rfc2217Test : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::UseVirtualClock(false); }
  void TearDown() override {
    COM_KESTRAVO_Close(0);
    unsetenv("KESTRAVO_COM9");
    for (testing_support::Child& c : children_) {
      kill(c.pid, SIGTERM);
      testing_support::Finish(c);
    }
  }
  // COM-KESTRAVO-Sim --rfc2217 on a free port; its address.
  std::string StartSim() {
    children_.push_back(testing_support::StartChild(
        [] {
          execl(KESTRAVO_SIM_PATH, KESTRAVO_SIM_PATH, "--rfc2217", "0", static_cast<char*>(nullptr));
          _exit(98);
        },
        false));
    return FirstLine(children_.back());
  }
  void Use(const std::string& address) { setenv("KESTRAVO_COM9", ("rfc2217://" + address).c_str(), 1); }

  // Every kind of exchange, a data-rate change, a restart and a purge.
  void Exercise() {
    ASSERT_EQ(COM_KESTRAVO_Open(0, 9), 0) << COM_KESTRAVO_GetErrorMessage(0);
    uint16_t fw = 0;
    uint32_t u = 0;
    uint8_t b = 0, block[75];
    char id[COM_KESTRAVO_PRODUCT_ID_SIZE] = "";
    EXPECT_EQ(COM_KESTRAVO_GetFWVersion(0, &fw), 0);
    EXPECT_EQ(fw, 0x0103);
    EXPECT_EQ(COM_KESTRAVO_GetProductID(0, id), 0);
    EXPECT_STREQ(id, "KESTRAVO PG4-HV pulse generator (simulated)");
    EXPECT_EQ(COM_KESTRAVO_GetProductNo(0, &u), 0);
    EXPECT_EQ(COM_KESTRAVO_GetSwitchTriggerMappingEnable(0, &b), 0);
    EXPECT_EQ(COM_KESTRAVO_SetPulserDelay(0, 1, 4242), 0);
    EXPECT_EQ(COM_KESTRAVO_GetPulserDelay(0, 1, &u), 0);
    EXPECT_EQ(u, 4242u);
    EXPECT_EQ(COM_KESTRAVO_GetCurrentConfig(0, block), 0);
    uint32_t rate = 115200;
    EXPECT_EQ(COM_KESTRAVO_SetBaudRate(0, &rate), 0);
    EXPECT_EQ(rate, 115200u);
    EXPECT_EQ(COM_KESTRAVO_GetFWVersion(0, &fw), 0);
    EXPECT_EQ(COM_KESTRAVO_Purge(0), 0);  // back to 9600 on both ends
    EXPECT_EQ(COM_KESTRAVO_GetFWVersion(0, &fw), 0);
    EXPECT_EQ(COM_KESTRAVO_Restart(0), 0);
    EXPECT_EQ(COM_KESTRAVO_GetPulserDelay(0, 1, &u), 0);
    EXPECT_EQ(u, 0u);  // the restart reset the settings
    EXPECT_EQ(COM_KESTRAVO_Close(0), 0);
  }
  std::vector<testing_support::Child> children_;
};

TEST_F(Rfc2217Test, TheLibraryAgainstTheSimulatedDeviceServer) {
  Use(StartSim());
  Exercise();
}

TEST_F(Rfc2217Test, TheLibraryThroughASer2netRelay) {
  if (!Have("/usr/sbin/ser2net")) GTEST_SKIP() << "ser2net is not installed";
  const std::string sim = StartSim();
  const std::string sim_port = sim.substr(sim.rfind(':') + 1);
  const uint16_t accept = FreePort();
  // ser2net with its own configuration, in the foreground, as a child of this test.
  const std::string dir = testing_support::TempPath("ser2net");
  std::system(("mkdir -p '" + dir + "'").c_str());
  std::string config = testing_support::ReadFile(kScripts + "ser2net.yaml.in");
  for (auto [key, value] : {std::pair<std::string, std::string>{"@ACCEPT_PORT@", std::to_string(accept)},
                            {"@SIM_PORT@", sim_port}})
    for (size_t at; (at = config.find(key)) != std::string::npos;) config.replace(at, key.size(), value);
  FILE* f = std::fopen((dir + "/ser2net.yaml").c_str(), "w");
  std::fputs(config.c_str(), f);
  std::fclose(f);
  children_.push_back(testing_support::StartChild(
      [&] {
        execl("/usr/sbin/ser2net", "ser2net", "-n", "-d", "-c", (dir + "/ser2net.yaml").c_str(), "-P",
              (dir + "/ser2net.pid").c_str(), static_cast<char*>(nullptr));
        _exit(98);
      },
      true));
  // ser2net listens soon after it starts.
  for (int i = 0; i < 100; ++i) {
    std::string why;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(accept);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool up = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    if (up) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  Use("127.0.0.1:" + std::to_string(accept));
  Exercise();
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST_F(Rfc2217Test, PySerialsClientAgainstOurServer) {
  if (!Have(kPython) || std::system("/usr/bin/python3 -c 'import serial.rfc2217' 2>/dev/null") != 0)
    GTEST_SKIP() << "python3-serial is not installed";
  const std::string sim = StartSim();
  testing_support::Child client = testing_support::StartChild(
      [&] {
        execl(kPython, kPython, (kScripts + "pyserial_client.py").c_str(), sim.c_str(),
              static_cast<char*>(nullptr));
        _exit(98);
      },
      true);
  std::string out;
  testing_support::ReadToEnd(client, out);
  EXPECT_EQ(testing_support::Finish(client), 0) << out;
  EXPECT_NE(out.find("reply=b'V0103\\r'"), std::string::npos) << out;
}

TEST_F(Rfc2217Test, OurClientAgainstPySerialsPortManager) {
  if (!Have(kPython) || std::system("/usr/bin/python3 -c 'import serial.rfc2217' 2>/dev/null") != 0)
    GTEST_SKIP() << "python3-serial is not installed";
  children_.push_back(testing_support::StartChild(
      [] {
        execl(kPython, kPython, (kScripts + "pyserial_server.py").c_str(), static_cast<char*>(nullptr));
        _exit(98);
      },
      false));
  const std::string port = FirstLine(children_.back());
  auto device = ports::OpenRfc2217Device("//127.0.0.1:" + port);
  ASSERT_TRUE(device);
  ports::PortConfig s;
  s.baud = 9600;
  s.parity = ports::kEvenParity;
  ASSERT_TRUE(device->SetConfig(s));  // every setting acknowledged
  ports::CommTimeouts t;
  t.ReadIntervalTimeout = 200;
  t.ReadTotalTimeoutConstant = 2000;
  ASSERT_TRUE(device->SetTimeouts(t));
  const std::string text = "echo \xff\x01 me\r";  // an IAC in the data travels doubled
  uint32_t written = 0, got = 0;
  ASSERT_TRUE(device->Write(text.data(), uint32_t(text.size()), written));
  char back[64] = {};
  ASSERT_TRUE(device->Read(back, uint32_t(text.size()), got));
  EXPECT_EQ(std::string(back, got), text);
  // The loop port's CTS follows RTS.
  ASSERT_TRUE(device->Escape(ports::kSetRts));
  uint32_t bits = 0;
  for (int i = 0; i < 100 && !(bits & ports::kMsCtsOn); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(device->ModemStatus(bits));
  }
  EXPECT_TRUE(bits & ports::kMsCtsOn);
  device->Close();
}

TEST_F(Rfc2217Test, ServersThatDieRefuseOrStaySilent) {
  // Nobody listening: the port does not open.
  Use("127.0.0.1:" + std::to_string(FreePort()));
  EXPECT_EQ(COM_KESTRAVO_Open(0, 9), COM_KESTRAVO_OPEN_FAILED);
  COM_KESTRAVO_Close(0);

  // A server that takes the option but never reports its modem lines: the handshake fails in time.
  uint16_t port = 0;
  const int listener = Listen(port);
  std::thread mute([listener] {
    const int fd = accept(listener, nullptr, nullptr);
    const char will[] = {char(255), char(253), char(44)};  // IAC DO COM-PORT-OPTION, then nothing more
    send(fd, will, sizeof will, 0);
    char sink[256];
    while (recv(fd, sink, sizeof sink, 0) > 0) {
    }
    close(fd);
  });
  Use("127.0.0.1:" + std::to_string(port));
  const auto start = std::chrono::steady_clock::now();
  const int32_t r = COM_KESTRAVO_Open(0, 9);
  // About 8.5 s, as against a local device that does not answer (33.5 s before the settings'
  // acknowledgements were bounded).
  std::printf("opening against a stalled server gave up after %.1f s\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  EXPECT_TRUE(r == COM_KESTRAVO_OPEN_FAILED || r == COM_KESTRAVO_NOT_CONNECTED)
      << r;  // its line settings are not acknowledged, or no DSR
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  COM_KESTRAVO_Close(0);
  close(listener);
  mute.join();

  // The server is killed in the middle of the work: the calls fail, nothing hangs, Close releases.
  Use(StartSim());
  ASSERT_EQ(COM_KESTRAVO_Open(0, 9), 0);
  kill(children_.back().pid, SIGKILL);
  uint16_t fw = 0;
  int32_t failed = 0;
  for (int i = 0; i < 3 && failed == 0; ++i) failed = COM_KESTRAVO_GetFWVersion(0, &fw);
  EXPECT_NE(failed, 0);
  COM_KESTRAVO_Close(0);
}

TEST_F(Rfc2217Test, FloodsInEitherDirectionKeepMemoryFlat) {
  // A server that takes the option and then sends without end, as data or as a subnegotiation
  // that never ends: the client keeps a UART's buffer and the opening ends within its bounds.
  for (const std::string& flood_start :
       {std::string(), std::string{char(255), char(250), char(44), char(1)}}) {
    uint16_t port = 0;
    const int listener = Listen(port);
    std::thread flood([listener, flood_start] {
      const int fd = accept(listener, nullptr, nullptr);
      const std::string will = std::string{char(255), char(253), char(44)} + flood_start;
      send(fd, will.data(), will.size(), 0);
      const std::string block(65536, 'x');
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (std::chrono::steady_clock::now() < end &&
             send(fd, block.data(), block.size(), MSG_NOSIGNAL) > 0) {
      }
      close(fd);
    });
    Use("127.0.0.1:" + std::to_string(port));
    FILE* reset = std::fopen("/proc/self/clear_refs", "w");  // the peak counts from here
    if (reset) {
      std::fputs("5", reset);
      std::fclose(reset);
    }
    const long before = StatusKb(getpid(), "VmRSS");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NE(COM_KESTRAVO_Open(0, 9), 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long peak = StatusKb(getpid(), "VmHWM");
    COM_KESTRAVO_Close(0);
    close(listener);
    flood.join();
    std::printf("client under a flood%s: opening ended after %.1f s, resident memory +%ld KiB at most\n",
                flood_start.empty() ? "" : " in a subnegotiation", seconds, peak - before);
    EXPECT_LT(seconds, 90.0);             // generous: sanitizer builds parse the flood several times slower
    EXPECT_LT(peak - before, 32 * 1024);  // 420 MB after 2 s before the receive side was bounded
  }

  // A client that sends 16 MiB of commands without reading: the server stays flat, and serves the
  // next client.
  const std::string address = StartSim();
  const pid_t server = children_.back().pid;
  const int fd = Connect(address);
  ASSERT_GE(fd, 0);
  timeval timeout{0, 200000};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  std::string commands;
  while (commands.size() < 65536) commands += "v\r";
  size_t sent = 0;
  long server_peak = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  while (sent < (16u << 20) && std::chrono::steady_clock::now() < until) {
    const ssize_t n = send(fd, commands.data(), commands.size(), MSG_NOSIGNAL);
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
    if (n > 0) sent += size_t(n);
    server_peak = std::max(server_peak, StatusKb(server, "VmRSS"));
  }
  server_peak = std::max(server_peak, StatusKb(server, "VmRSS"));
  close(fd);
  std::printf("server under a flood of %zu bytes: resident memory %ld KiB at most\n", sent, server_peak);
  EXPECT_GT(sent, 0u);
  EXPECT_LT(server_peak, 64 * 1024);  // 826 MB before
  // The server refuses others until it has taken in what the flood left and seen the end.
  Use(address);
  int32_t opened = -2;
  for (int i = 0; i < 50 && opened == COM_KESTRAVO_OPEN_FAILED; ++i) {
    COM_KESTRAVO_Close(0);
    if ((opened = COM_KESTRAVO_Open(0, 9)) == COM_KESTRAVO_OPEN_FAILED)
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  ASSERT_EQ(opened, 0) << COM_KESTRAVO_GetErrorMessage(0);
  uint16_t fw = 0;
  EXPECT_EQ(COM_KESTRAVO_GetFWVersion(0, &fw), 0);
  EXPECT_EQ(COM_KESTRAVO_Close(0), 0);
}

TEST_F(Rfc2217Test, LongestMemoryBlocksAt9600EachWay) {
  // 4092 bytes each way at 9600 baud: the reply wait starts when the characters are through the
  // server's line.
  Use(StartSim());
  ASSERT_EQ(COM_KESTRAVO_Open(0, 9), 0) << COM_KESTRAVO_GetErrorMessage(0);
  std::vector<uint8_t> out(4092), in(4092);
  for (size_t i = 0; i < out.size(); ++i) out[i] = uint8_t(i * 7 + 3);
  EXPECT_EQ(COM_KESTRAVO_SetMemoryData(0, 0x100, 4092, out.data()), 0) << COM_KESTRAVO_GetErrorMessage(0);
  EXPECT_EQ(COM_KESTRAVO_GetMemoryData(0, 0x100, 4092, in.data()), 0) << COM_KESTRAVO_GetErrorMessage(0);
  EXPECT_EQ(in, out);
  EXPECT_EQ(COM_KESTRAVO_Purge(0), 0);
  uint16_t fw = 0;
  EXPECT_EQ(COM_KESTRAVO_GetFWVersion(0, &fw), 0);
  COM_KESTRAVO_Close(0);
}

TEST_F(Rfc2217Test, TheServerServesOneClientRefusesOthersAndLetsTheIdleGo) {
  // Started with a short idle time.
  children_.push_back(testing_support::StartChild(
      [] {
        execl(KESTRAVO_SIM_PATH, KESTRAVO_SIM_PATH, "--rfc2217", "0", "--idle", "5",
              static_cast<char*>(nullptr));
        _exit(98);
      },
      false));
  const std::string address = FirstLine(children_.back());
  const int first = Connect(address);
  ASSERT_GE(first, 0);
  // A second client is refused after a second's grace (a relay reconnects before the end of its
  // previous connection is seen), with the reason.
  const int second = Connect(address);
  ASSERT_GE(second, 0);
  EXPECT_EQ(ReadUntilClosed(second), "COM-KESTRAVO-Sim: the port is in use by another client\r\n");
  close(second);
  // So is the library, and its debug trace says why.
  const std::string trace = testing_support::TempPath("busy-trace.txt");
  ASSERT_EQ(COM_KESTRAVO_OpenDebugFile(0, trace.c_str()), 0);
  Use(address);
  EXPECT_EQ(COM_KESTRAVO_Open(0, 9), COM_KESTRAVO_OPEN_FAILED);
  COM_KESTRAVO_CloseDebugFile(0);
  EXPECT_NE(testing_support::ReadFile(trace).find("the server refused: COM-KESTRAVO-Sim: the port is in use"),
            std::string::npos)
      << testing_support::ReadFile(trace);
  std::remove(trace.c_str());
  // A data rate below 300 baud is refused: the answer names the rate in force.
  const std::string slow =
      ports::telnet::Subnegotiation(ports::telnet::kSetBaudRate, std::string{0, 0, 0, 100});
  send(first, slow.data(), slow.size(), 0);
  // The first client, silent, is let go after its idle time, with a line that says so.
  const std::string said = ReadUntilClosed(first);
  close(first);
  const std::string answer = ports::telnet::Subnegotiation(
      ports::telnet::kSetBaudRate + ports::telnet::kServer, std::string{0, 0, char(0x25), char(0x80)});
  EXPECT_NE(said.find(answer), std::string::npos);
  EXPECT_NE(said.find("COM-KESTRAVO-Sim: nothing received for 5 s, the connection is closed\r\n"),
            std::string::npos)
      << said;
  // Then the port is free again.
  ASSERT_EQ(COM_KESTRAVO_Open(0, 9), 0) << COM_KESTRAVO_GetErrorMessage(0);
  EXPECT_EQ(COM_KESTRAVO_Close(0), 0);
}

TEST_F(Rfc2217Test, TheServerRefusesBadOptionsAndWarnsOffTheLoopback) {
  for (const char* bad : {"-5", "abc", "70000", ""}) {
    testing_support::Child child = testing_support::StartChild(
        [bad] {
          execl(KESTRAVO_SIM_PATH, KESTRAVO_SIM_PATH, "--rfc2217", bad, static_cast<char*>(nullptr));
          _exit(98);
        },
        true);
    std::string out;
    testing_support::ReadToEnd(child, out);
    EXPECT_EQ(testing_support::Finish(child), 2) << bad;
    EXPECT_EQ(out.rfind("COM-KESTRAVO-Sim: " + std::string(bad) + ": not a TCP port", 0), 0u) << out;
    EXPECT_NE(out.find("\nUsage: COM-KESTRAVO-Sim"), std::string::npos) << out;
  }
  children_.push_back(testing_support::StartChild(
      [] {
        execl(KESTRAVO_SIM_PATH, KESTRAVO_SIM_PATH, "--rfc2217", "0", "--listen", "0.0.0.0",
              static_cast<char*>(nullptr));
        _exit(98);
      },
      true));
  EXPECT_EQ(FirstLine(children_.back()).rfind("COM-KESTRAVO-Sim: warning: listening on 0.0.0.0", 0), 0u);
}

TEST_F(Rfc2217Test, PortNumbersBeyondSixteenBitsAreRefused) {
  for (const char* address : {"rfc2217://127.0.0.1:65537", "rfc2217://127.0.0.1:4294967297",
                              "rfc2217://127.0.0.1:0", "rfc2217://127.0.0.1:12ab"}) {
    setenv("KESTRAVO_COM9", address, 1);
    EXPECT_EQ(COM_KESTRAVO_Open(0, 9), COM_KESTRAVO_OPEN_FAILED) << address;
    COM_KESTRAVO_Close(0);
  }
}

}  // namespace
