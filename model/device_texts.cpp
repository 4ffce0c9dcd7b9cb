#include "model/device_texts.h"

#include "model/format.h"

namespace model {

const SourceText kSourceTexts[kDIOSources] = {
    {"logic 0", "0"},
    {"software trigger", "SwTrig"},
    {"oscillator 0", "Osc0"},
    {"digital input 1", "Din0"},
    {"digital input 2", "Din1"},
    {"digital input 3", "Din2"},
    {"digital input 4", "Din3"},
    {"digital input 5", "Din4"},
    {"digital input 6", "Din5"},
    {"digital input 7", "Din6"},
    {"pulser 1 output", "PulsOut0"},
    {"pulser 2 output", "PulsOut1"},
    {"pulser 3 output", "PulsOut2"},
    {"pulser 4 output", "PulsOut3"},
    {"pulser 1 run", "PulsRun0"},
    {"pulser 2 run", "PulsRun1"},
    {"pulser 3 run", "PulsRun2"},
    {"pulser 4 run", "PulsRun3"},
    {"timebase 2 MHz", "CLK2M"},
    {"timebase 4 MHz", "CLK4M"},
};

const char* SourceName(unsigned index) {
  return index < kDIOSources ? kSourceTexts[index].name : "undefined";
}

std::string SourceConfigText(uint32_t byte) {
  return std::string((byte & 0x20) ? "negated " : "") + SourceName(byte & 0x1F);
}

const char* DIODirectionName(uint32_t code) {
  return code == 2 ? "output" : code == 1 ? "terminated input" : "input";
}

const char* DIODirection(uint8_t outputs, uint8_t terminations, unsigned d) {
  return DIODirectionName((outputs >> d & 1) ? 2 : (terminations >> d & 1) ? 1 : 0);
}

const NamedBit kControllerBits[10] = {
    {0, "device_enable"},    {1, "oscillator_enable"},      {2, "pulser_enable"},     {3, "software_trigger"},
    {4, "software_pulse"},   {5, "prevent_device_disable"}, {6, "dithering_disable"}, {8, "master_enable"},
    {9, "soft_trigger_out"}, {10, "device_enabled"}};
const NamedBit kDeviceStateBits[12] = {
    {0, "cpu_voltage_failed"}, {1, "fan_voltage_failed"},   {8, "fan1_failed"},   {9, "fan2_failed"},
    {10, "fan3_failed"},       {15, "controller_disabled"}, {16, "sensor1_hot"},  {17, "sensor2_hot"},
    {18, "sensor3_hot"},       {24, "sensor1_cold"},        {25, "sensor2_cold"}, {26, "sensor3_cold"}};

namespace {

struct MainStateRow {
  uint16_t value;
  const char* once;
  const char* continuous;
  const char* protocol;
};
const MainStateRow kMainStates[] = {
    {0x0000, "Device active\n", "Device active           ", "Device active\n"},
    {0x8001, "Voltage failure\n", "Voltage failure         ", "Voltage failure\n"},
    {0x8002, "Low-Temperature failure\n", "Low-Temperature failure ", "Low-Temperature failure\n"},
    {0x8003, "High-Temperature failure\n", "High-Temperature failure", "High-Temperature failure\n"},
    {0x8004, "Controller not ready\n", "Controller not ready    ", "Controller disabled\n"},
};

}  // namespace

std::string MainStateLine(uint16_t state, MainStateForm form) {
  for (const MainStateRow& t : kMainStates)
    if (t.value == state)
      return form == MainStateForm::kContinuous ? t.continuous
             : form == MainStateForm::kProtocol ? t.protocol
                                                : t.once;
  return form == MainStateForm::kContinuous ? Format("Unknown state (%04Xh)   ", state)
                                            : Format("Unknown state %04Xh\n", state);
}

}  // namespace model
