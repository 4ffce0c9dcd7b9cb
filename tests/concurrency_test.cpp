// Several threads on the library at once: sixteen threads on sixteen simulated devices, and four
// threads sharing one slot. Every call must give its own correct result; run under
// ThreadSanitizer (the tsan preset) there must be no report.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "COM-KESTRAVO.h"
#include "tests/support/fixture.h"
#include "tests/support/virtual_clock.h"

namespace {

class ConcurrencyTest : public testing_support::LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    testing_support::UseVirtualClock(false);  // each thread waits for its own line
  }
};

// One thread's work on its slot: settings written and read back, texts read; false at the first
// wrong result.
bool Work(uint16_t slot, uint32_t pulser, uint32_t rounds, std::string& failure) {
  for (uint32_t k = 0; k < rounds; ++k) {
    const uint32_t value = slot * 100000u + pulser * 1000u + k;
    uint32_t read = 0;
    if (COM_KESTRAVO_SetPulserDelay(slot, pulser, value) != 0 ||
        COM_KESTRAVO_GetPulserDelay(slot, pulser, &read) != 0 || read != value) {
      failure = "slot " + std::to_string(slot) + " pulser " + std::to_string(pulser) + " round " +
                std::to_string(k) + ": " + COM_KESTRAVO_GetErrorMessage(slot);
      return false;
    }
    char id[COM_KESTRAVO_PRODUCT_ID_SIZE] = "";
    if (COM_KESTRAVO_GetProductID(slot, id) != 0 ||
        std::string(id) != "KESTRAVO PG4-HV pulse generator (simulated)") {
      failure = "slot " + std::to_string(slot) + ": product identification '" + id + "'";
      return false;
    }
  }
  return true;
}

TEST_F(ConcurrencyTest, SixteenThreadsOnSixteenDevices) {
  for (unsigned com = 1; com <= 16; ++com) NewSim(com);
  std::vector<std::string> failures(16);
  std::vector<std::thread> threads;
  for (uint16_t slot = 0; slot < 16; ++slot)
    threads.emplace_back([slot, &failures] {
      uint32_t rate = 115200;
      if (COM_KESTRAVO_Open(slot, uint8_t(slot + 1)) != 0 || COM_KESTRAVO_SetBaudRate(slot, &rate) != 0) {
        failures[slot] =
            "slot " + std::to_string(slot) + " did not open: " + COM_KESTRAVO_GetErrorMessage(slot);
        return;
      }
      Work(slot, slot % 4, 25, failures[slot]);
      if (COM_KESTRAVO_Close(slot) != 0 && failures[slot].empty()) failures[slot] = "close";
    });
  for (std::thread& t : threads) t.join();
  for (const std::string& f : failures) EXPECT_EQ(f, "");
}

TEST_F(ConcurrencyTest, SixteenThreadsOpenSixteenPortsByName) {
  // Each thread opens its own simulated device by name; nothing goes through the environment.
  std::vector<std::string> failures(16);
  std::vector<std::thread> threads;
  for (uint16_t slot = 0; slot < 16; ++slot)
    threads.emplace_back([slot, &failures] {
      if (COM_KESTRAVO_OpenPort(slot, "sim") != 0) {
        failures[slot] = "slot " + std::to_string(slot) +
                         " did not open: " + COM_KESTRAVO_GetErrorMessage(slot) + " " +
                         COM_KESTRAVO_GetOpenFailureReason(slot);
        return;
      }
      uint32_t rate = 115200;
      if (COM_KESTRAVO_SetBaudRate(slot, &rate) != 0) failures[slot] = "data rate";
      if (failures[slot].empty()) Work(slot, slot % 4, 10, failures[slot]);
      if (COM_KESTRAVO_Close(slot) != 0 && failures[slot].empty()) failures[slot] = "close";
    });
  for (std::thread& t : threads) t.join();
  for (const std::string& f : failures) EXPECT_EQ(f, "");
}

TEST_F(ConcurrencyTest, FourThreadsShareOneSlot) {
  NewSim(1);
  ASSERT_EQ(COM_KESTRAVO_Open(0, 1), 0);
  uint32_t rate = 115200;
  ASSERT_EQ(COM_KESTRAVO_SetBaudRate(0, &rate), 0);
  std::vector<std::string> failures(4);
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < 4; ++t) threads.emplace_back([t, &failures] { Work(0, t, 25, failures[t]); });
  for (std::thread& t : threads) t.join();
  for (const std::string& f : failures) EXPECT_EQ(f, "");
  EXPECT_EQ(COM_KESTRAVO_GetInterfaceState(0), 0);
}

}  // namespace
