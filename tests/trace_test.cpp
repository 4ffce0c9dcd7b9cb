// The per-slot debug trace, the library's unload behaviour and its export list.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

#include "tests/support/child.h"
#include "tests/support/fixture.h"

using namespace kestravo;
using testing_support::DetachCom;
using testing_support::LinkTest;
using testing_support::ReadFile;
using testing_support::TempPath;

namespace {

const std::string kClosed = "File closed by COM_KESTRAVO_CloseDebugFile\n";

bool EndsWithClosingEntry(const std::string& t) {
  return t.size() >= kClosed.size() && t.compare(t.size() - kClosed.size(), kClosed.size(), kClosed) == 0;
}

TEST_F(LinkTest, CloseWithoutAFileWritesNothing) {
  EXPECT_EQ(COM_KESTRAVO_CloseDebugFile(4), 0);
  EXPECT_EQ(COM_KESTRAVO_CloseDebugFile(16), COM_KESTRAVO_PORT_NUMBER_RANGE);
  EXPECT_EQ(COM_KESTRAVO_OpenDebugFile(16, "x"), COM_KESTRAVO_PORT_NUMBER_RANGE);
}

TEST_F(LinkTest, FileInAMissingDirectoryCannotBeOpened) {
  EXPECT_EQ(COM_KESTRAVO_OpenDebugFile(0, "/nonexistent-dir/Debug.txt"), COM_KESTRAVO_DEBUG_OPEN_FAILED);
  EXPECT_STREQ(COM_KESTRAVO_GetErrorMessage(0), "Error opening the file for debugging output");
  EXPECT_EQ(Ports[0].DebugFile, nullptr);
}

TEST_F(LinkTest, SecondFileEndsTheFirstWithItsClosingEntry) {
  std::string first = TempPath("first.txt"), second = TempPath("second.txt");
  ASSERT_EQ(COM_KESTRAVO_OpenDebugFile(3, first.c_str()), 0);
  ASSERT_EQ(COM_KESTRAVO_OpenDebugFile(3, second.c_str()), 0);
  ASSERT_EQ(COM_KESTRAVO_CloseDebugFile(3), 0);
  std::string a = ReadFile(first), b = ReadFile(second);
  EXPECT_EQ(a.rfind("Debugging output file for PortNumber=3\n\n", 0), 0u) << a;
  EXPECT_NE(a.find("File opened by COM_KESTRAVO_OpenDebugFile\n"), std::string::npos);
  EXPECT_TRUE(EndsWithClosingEntry(a)) << a;
  EXPECT_EQ(b.rfind("Debugging output file for PortNumber=3\n", 0), 0u);
  EXPECT_TRUE(EndsWithClosingEntry(b)) << b;
  std::remove(first.c_str());
  std::remove(second.c_str());
}

TEST_F(LinkTest, TwoSlotsTraceIntoTheirOwnFiles) {
  NewSim(5);
  DetachCom(6);
  StartTrace(0);
  StartTrace(1);
  EXPECT_EQ(COM_KESTRAVO_Open(0, 5), 0);
  EXPECT_EQ(COM_KESTRAVO_Open(1, 6), COM_KESTRAVO_OPEN_FAILED);
  std::string zero = Trace(0), one = Trace(1);
  EXPECT_NE(zero.find("COM_KESTRAVO_Open: PortNumber=0, ComNumber=5\n"), std::string::npos);
  EXPECT_EQ(zero.find("ComNumber=6"), std::string::npos);
  EXPECT_NE(one.find("COM_KESTRAVO_Open: PortNumber=1, ComNumber=6\n"), std::string::npos);
  EXPECT_NE(one.find("COM_Open: Error opening the port as COM6\n"), std::string::npos);
  EXPECT_EQ(one.find("ComNumber=5"), std::string::npos);
}

TEST_F(LinkTest, CloseEntryHasNoLineEndOfItsOwn) {
  NewSim(5);
  StartTrace(0);
  ASSERT_EQ(COM_KESTRAVO_Open(0, 5), 0);
  ASSERT_EQ(COM_KESTRAVO_Close(0), 0);
  ASSERT_EQ(COM_KESTRAVO_CloseDebugFile(0), 0);
  std::string t = testing_support::ReadFile(trace_path_[0]);
  EXPECT_NE(t.find("COM_KESTRAVO_Close: PortNumber=0\n"), std::string::npos) << t;
}

// The shared library in a child process: loaded, used, then unloaded or left behind at exit.
int RunChild(bool unload, const std::string& trace) {
  testing_support::Child child = testing_support::StartChild([&] {
    setenv("KESTRAVO_COM3", "sim", 1);
    void* lib = dlopen(KESTRAVO_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!lib) _exit(10);
    auto open_debug =
        reinterpret_cast<int32_t (*)(uint16_t, const char*)>(dlsym(lib, "COM_KESTRAVO_OpenDebugFile"));
    auto open = reinterpret_cast<int32_t (*)(uint16_t, uint8_t)>(dlsym(lib, "COM_KESTRAVO_Open"));
    if (!open_debug || !open) _exit(11);
    if (open_debug(2, trace.c_str()) != 0) _exit(12);
    if (open(2, 3) != 0) _exit(13);
    if (unload) {
      dlclose(lib);
      _exit(0);
    }
    std::exit(0);  // without closing anything
  });
  return testing_support::Finish(child);
}

TEST(LibraryLifetime, UnloadAndExitCloseSlotsAndTraces) {
  for (bool unload : {true, false}) {
    std::string trace = TempPath(unload ? "unload.txt" : "exit.txt");
    ASSERT_EQ(RunChild(unload, trace), 0);
    std::string t = ReadFile(trace);
    EXPECT_NE(t.find("Exiting the DLL, fdwReason=0\n"), std::string::npos) << t;
    EXPECT_NE(t.find("COM_KESTRAVO_Close: PortNumber=2"), std::string::npos);
    EXPECT_TRUE(EndsWithClosingEntry(t)) << t;
    std::remove(trace.c_str());
  }
}

// The lines of a command's standard output.
std::vector<std::string> CommandLines(const std::string& command) {
  std::vector<std::string> lines;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return lines;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) lines.emplace_back(line);
  EXPECT_EQ(pclose(pipe), 0) << command;
  return lines;
}

TEST(LibraryExports, OnlyTheInterfaceFunctionsOnTheVersionNode) {
  std::set<std::string> names;
  for (const std::string& line : CommandLines(std::string("nm -D --defined-only ") + KESTRAVO_LIBRARY_PATH)) {
    char address[64], kind[8], name[400];
    if (std::sscanf(line.c_str(), "%63s %7s %399s", address, kind, name) != 3) continue;
    std::string n = name;
    if (n == "COM_KESTRAVO_1" || n == "COM_KESTRAVO_1.1" || n == "COM_KESTRAVO_1.2") continue;  // the nodes
    size_t at = n.find('@');
    // The functions of release 1.0 on the node COM_KESTRAVO_1, each one added since on its release's.
    const std::string node = n.rfind("COM_KESTRAVO_OpenPort@", 0) == 0            ? "@@COM_KESTRAVO_1.1"
                             : n.rfind("COM_KESTRAVO_GetLibraryVersion@", 0) == 0 ? "@@COM_KESTRAVO_1.2"
                                                                                  : "@@COM_KESTRAVO_1";
    EXPECT_EQ(at == std::string::npos ? "" : n.substr(at), node) << n;
    names.insert(n.substr(0, at));
  }
  for (const std::string& n : names) EXPECT_EQ(n.rfind("COM_KESTRAVO_", 0), 0u) << n;
  for (const char* n : {"COM_KESTRAVO_Open", "COM_KESTRAVO_GetSWVersion", "COM_KESTRAVO_Test",
                        "COM_KESTRAVO_SetSwitchEnableMappingEnable", "COM_KESTRAVO_GetMemoryData"})
    EXPECT_EQ(names.count(n), 1u) << n;
  // The library's additions to the original interface.
  EXPECT_EQ(names.count("COM_KESTRAVO_GetOpenFailureReason"), 1u);
  EXPECT_EQ(names.count("COM_KESTRAVO_OpenPort"), 1u);
  EXPECT_EQ(names.count("COM_KESTRAVO_GetLibraryVersion"), 1u);
  EXPECT_EQ(names.size(), 82u);
}

// The load notification runs before, or in between, the library's own initialisers, in an order
// that depends on the linker; so the library has none.
TEST(LibraryLoad, NoDynamicInitialisers) {
  for (const std::string& line : CommandLines(std::string("nm ") + KESTRAVO_LIBRARY_PATH))
    EXPECT_EQ(line.find("_GLOBAL__sub_I"), std::string::npos) << line;
}

}  // namespace
