// Oscillator and pulsers.
#include "device/indexed.h"
#include "device/ops.h"

namespace kestravo {
namespace {

const IndexedOp kGetDelay = {"COM_KESTRAVO_GetPulserDelay", 'd', "PulserNo", 4, "Delay", 8, nullptr, 0};
const IndexedOp kSetDelay = {"COM_KESTRAVO_SetPulserDelay", 'd', "PulserNo", 4, "Delay", 8, "%u", 0};
const IndexedOp kGetWidth = {"COM_KESTRAVO_GetPulserWidth", 'w', "PulserNo", 4, "Width", 8, nullptr, 0};
const IndexedOp kSetWidth = {"COM_KESTRAVO_SetPulserWidth", 'w', "PulserNo", 4, "Width", 8, "%u", 0};
const IndexedOp kGetBurst = {
    "COM_KESTRAVO_GetPulserBurst", 'b', "PulserNo", 2, "Burst", 6, nullptr, 0x1000000};
const IndexedOp kSetBurst = {"COM_KESTRAVO_SetPulserBurst", 'b', "PulserNo", 2, "Burst", 6, "%u", 0x1000000};
const IndexedOp kGetConfig = {"COM_KESTRAVO_GetPulserConfig", 'p', "PulserCfgNo", 6, "Config", 2, nullptr, 0};
const IndexedOp kSetConfig = {"COM_KESTRAVO_SetPulserConfig", 'p', "PulserCfgNo", 6, "Config", 2, "%02Xh", 0};

}  // namespace
}  // namespace kestravo

using namespace kestravo;

extern "C" {

int32_t COM_KESTRAVO_GetOscillatorPeriod(uint16_t p, uint32_t* Period) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  int32_t r = WriteCommand(p, 's');
  if (r != kOk) return r;
  uint32_t v = 0;
  r = ReadCommandInt(p, 's', v, 8);
  if (r == kOk && Period) *Period = v;
  return r;
}

int32_t COM_KESTRAVO_SetOscillatorPeriod(uint16_t p, uint32_t Period) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  FormatRequest(p, "%08X", Period);
  int32_t r = Exchange(p, 's', true, 8);
  if (r != kOk) return r;
  uint32_t read = 0;
  if (!ScanHex32(Replies[p].text, 8, read))
    return WrongArgument(p,
                         "COM_KESTRAVO_SetOscillatorPeriod: Wrong argument received: Period='%s' - Cannot "
                         "obtain parameter Data\n",
                         Replies[p].text);
  if (read != Period)
    return WrongArgument(p,
                         "COM_KESTRAVO_SetOscillatorPeriod: Wrong argument received: data='%s' - Period=%u "
                         "expected, %u read\n",
                         Replies[p].text, Period, read);
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_GetPulserDelay(uint16_t p, uint32_t n, uint32_t* Delay) {
  const SlotLock slot_lock(p);
  return IndexedGet(p, kGetDelay, n, Delay);
}
int32_t COM_KESTRAVO_SetPulserDelay(uint16_t p, uint32_t n, uint32_t Delay) {
  const SlotLock slot_lock(p);
  return IndexedWrite(p, kSetDelay, n, Delay);
}

int32_t COM_KESTRAVO_GetPulserWidth(uint16_t p, uint32_t n, uint32_t* Width) {
  const SlotLock slot_lock(p);
  return IndexedGet(p, kGetWidth, n, Width);
}
int32_t COM_KESTRAVO_SetPulserWidth(uint16_t p, uint32_t n, uint32_t Width) {
  const SlotLock slot_lock(p);
  return IndexedWrite(p, kSetWidth, n, Width);
}

int32_t COM_KESTRAVO_GetPulserBurst(uint16_t p, uint32_t n, uint32_t* Burst) {
  const SlotLock slot_lock(p);
  return IndexedGet(p, kGetBurst, n, Burst);
}
int32_t COM_KESTRAVO_SetPulserBurst(uint16_t p, uint32_t n, uint32_t Burst) {
  const SlotLock slot_lock(p);
  return IndexedWrite(p, kSetBurst, n, Burst);
}

int32_t COM_KESTRAVO_GetPulserConfig(uint16_t p, uint32_t n, uint8_t* Config) {
  const SlotLock slot_lock(p);
  return IndexedGet(p, kGetConfig, n, Config);
}
int32_t COM_KESTRAVO_SetPulserConfig(uint16_t p, uint32_t n, uint32_t Config) {
  const SlotLock slot_lock(p);
  return IndexedWrite(p, kSetConfig, n, Config);
}

}  // extern "C"
