// High-voltage switches: sources, delays and the two mapping tables.
#include "device/indexed.h"
#include "device/ops.h"

namespace kestravo {
namespace {

const IndexedOp kGetTriggerConfig = {
    "COM_KESTRAVO_GetSwitchTriggerConfig", 'e', "SwitchNo", 4, "Config", 2, nullptr, 0};
const IndexedOp kSetTriggerConfig = {
    "COM_KESTRAVO_SetSwitchTriggerConfig", 'e', "SwitchNo", 4, "Config", 2, "%02Xh", 0};
const IndexedOp kGetEnableConfig = {
    "COM_KESTRAVO_GetSwitchEnableConfig", 'f', "SwitchNo", 4, "Config", 2, nullptr, 0};
const IndexedOp kSetEnableConfig = {
    "COM_KESTRAVO_SetSwitchEnableConfig", 'f', "SwitchNo", 4, "Config", 2, "%02Xh", 0};
const IndexedOp kGetEnableDelay = {
    "COM_KESTRAVO_GetSwitchEnableDelay", 'h', "SwitchNo", 4, "Delay", 1, nullptr, 0};
const IndexedOp kSetEnableDelay = {
    "COM_KESTRAVO_SetSwitchEnableDelay", 'h', "SwitchNo", 4, "Delay", 1, "%01Xh", 0};
const IndexedOp kGetTriggerMapping = {
    "COM_KESTRAVO_GetSwitchTriggerMapping", 'm', "MappingNo", 5, "Mapping", 1, nullptr, 0};
const IndexedOp kSetTriggerMapping = {
    "COM_KESTRAVO_SetSwitchTriggerMapping", 'm', "MappingNo", 5, "Mapping", 1, "%01Xh", 0};
const IndexedOp kGetEnableMapping = {
    "COM_KESTRAVO_GetSwitchEnableMapping", 'n', "MappingNo", 5, "Mapping", 1, nullptr, 0};
const IndexedOp kSetEnableMapping = {
    "COM_KESTRAVO_SetSwitchEnableMapping", 'n', "MappingNo", 5, "Mapping", 1, "%01Xh", 0};

// The trigger delays: the reply carries index, fall digit and rise digit.
int32_t TriggerDelayExchange(uint16_t p, const char* name, uint32_t SwitchNo, bool write, uint32_t rise,
                             uint32_t fall, uint32_t& rise_read, uint32_t& fall_read) {
  if (BadPort(p)) return kPortNumberRange;
  if (SwitchNo >= 4) return Store(p, kBadArgument);
  if (write)
    FormatRequest(p, "%01X%01X%01X", SwitchNo, fall & 0xFF, rise & 0xFF);
  else
    FormatRequest(p, "%01X", SwitchNo);
  int32_t r = Exchange(p, 'g', true, 3);
  if (r != kOk) return r;
  Scanned f = ScanUnsigned(Replies[p].text + 1, 16, 1);
  Scanned s = f.ok ? ScanUnsigned(Replies[p].text + 1 + f.used, 16, 1) : Scanned{};
  if (!s.ok)
    return WrongArgument(
        p, "%s: Wrong argument received: data='%s' - Cannot obtain parameters RiseDelay & Falldelay\n", name,
        Replies[p].text);
  fall_read = uint32_t(f.value);
  rise_read = uint32_t(s.value);
  Replies[p].text[1] = 0;
  Scanned i = ScanUnsigned(Replies[p].text, 16, 1);
  if (!i.ok)
    return WrongArgument(p, "%s: Wrong argument received: data='%s' - Cannot obtain parameter SwitchNo\n",
                         name, Replies[p].text);
  if (uint32_t(i.value) != SwitchNo)
    return WrongArgument(p, "%s: Wrong argument received: data='%s' - SwitchNo=%u expected, %u read\n", name,
                         Replies[p].text, SwitchNo, uint32_t(i.value));
  return kOk;
}

// The mapping enables: a Boolean byte exchanged as "Y" or "N".
int32_t GetMappingEnable(uint16_t p, char letter, uint8_t* Enable) {
  if (BadPort(p)) return kPortNumberRange;
  int32_t flag = 0;
  int32_t r = ReadFlag(p, letter, flag);
  if (r == kOk && Enable) *Enable = uint8_t(flag);
  return r;
}

int32_t SetMappingEnable(uint16_t p, char letter, uint8_t Enable) {
  if (BadPort(p)) return kPortNumberRange;
  int32_t read = 0;
  int32_t r = WriteFlag(p, letter, Enable != 0, read);
  if (r != kOk) return r;
  return Store(p, read == int32_t(Enable) ? kOk : kWrongArgument);
}

}  // namespace
}  // namespace kestravo

using namespace kestravo;

extern "C" {

int32_t COM_KESTRAVO_GetSwitchTriggerConfig(uint16_t p, uint32_t n, uint8_t* v) {
  const SlotLock slot_lock(p);
  return IndexedGet(p, kGetTriggerConfig, n, v);
}
int32_t COM_KESTRAVO_SetSwitchTriggerConfig(uint16_t p, uint32_t n, uint32_t v) {
  const SlotLock slot_lock(p);
  return IndexedWrite(p, kSetTriggerConfig, n, v);
}
int32_t COM_KESTRAVO_GetSwitchEnableConfig(uint16_t p, uint32_t n, uint8_t* v) {
  const SlotLock slot_lock(p);
  return IndexedGet(p, kGetEnableConfig, n, v);
}
int32_t COM_KESTRAVO_SetSwitchEnableConfig(uint16_t p, uint32_t n, uint32_t v) {
  const SlotLock slot_lock(p);
  return IndexedWrite(p, kSetEnableConfig, n, v);
}
int32_t COM_KESTRAVO_GetSwitchEnableDelay(uint16_t p, uint32_t n, uint8_t* v) {
  const SlotLock slot_lock(p);
  return IndexedGet(p, kGetEnableDelay, n, v);
}
int32_t COM_KESTRAVO_SetSwitchEnableDelay(uint16_t p, uint32_t n, uint32_t v) {
  const SlotLock slot_lock(p);
  return IndexedWrite(p, kSetEnableDelay, n, v);
}
int32_t COM_KESTRAVO_GetSwitchTriggerMapping(uint16_t p, uint32_t n, uint8_t* v) {
  const SlotLock slot_lock(p);
  return IndexedGet(p, kGetTriggerMapping, n, v);
}
int32_t COM_KESTRAVO_SetSwitchTriggerMapping(uint16_t p, uint32_t n, uint32_t v) {
  const SlotLock slot_lock(p);
  return IndexedWrite(p, kSetTriggerMapping, n, v);
}
int32_t COM_KESTRAVO_GetSwitchEnableMapping(uint16_t p, uint32_t n, uint8_t* v) {
  const SlotLock slot_lock(p);
  return IndexedGet(p, kGetEnableMapping, n, v);
}
int32_t COM_KESTRAVO_SetSwitchEnableMapping(uint16_t p, uint32_t n, uint32_t v) {
  const SlotLock slot_lock(p);
  return IndexedWrite(p, kSetEnableMapping, n, v);
}

int32_t COM_KESTRAVO_GetSwitchTriggerDelay(uint16_t p, uint32_t SwitchNo, uint8_t* RiseDelay,
                                           uint8_t* FallDelay) {
  const SlotLock slot_lock(p);
  uint32_t rise = 0, fall = 0;
  int32_t r =
      TriggerDelayExchange(p, "COM_KESTRAVO_GetSwitchTriggerDelay", SwitchNo, false, 0, 0, rise, fall);
  if (r != kOk) return r;
  if (RiseDelay) *RiseDelay = uint8_t(rise);
  if (FallDelay) *FallDelay = uint8_t(fall);
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_SetSwitchTriggerDelay(uint16_t p, uint32_t SwitchNo, uint32_t RiseDelay,
                                           uint32_t FallDelay) {
  const SlotLock slot_lock(p);
  static const char kName[] = "COM_KESTRAVO_SetSwitchTriggerDelay";
  uint32_t rise = 0, fall = 0;
  int32_t r = TriggerDelayExchange(p, kName, SwitchNo, true, RiseDelay, FallDelay, rise, fall);
  if (r != kOk) return r;
  if (rise != (RiseDelay & 0xFF))
    return WrongArgument(p, "%s: Wrong argument received: data='%s' - RiseDelay=%01Xh expected, %01Xh read\n",
                         kName, Replies[p].text, RiseDelay & 0xFF, rise);
  if (fall != (FallDelay & 0xFF))
    return WrongArgument(p, "%s: Wrong argument received: data='%s' - FallDelay=%01Xh expected, %01Xh read\n",
                         kName, Replies[p].text, FallDelay & 0xFF, fall);
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_GetSwitchTriggerMappingEnable(uint16_t p, uint8_t* Enable) {
  const SlotLock slot_lock(p);
  return GetMappingEnable(p, 'k', Enable);
}
int32_t COM_KESTRAVO_SetSwitchTriggerMappingEnable(uint16_t p, uint8_t Enable) {
  const SlotLock slot_lock(p);
  return SetMappingEnable(p, 'k', Enable);
}
int32_t COM_KESTRAVO_GetSwitchEnableMappingEnable(uint16_t p, uint8_t* Enable) {
  const SlotLock slot_lock(p);
  return GetMappingEnable(p, 'l', Enable);
}
int32_t COM_KESTRAVO_SetSwitchEnableMappingEnable(uint16_t p, uint8_t Enable) {
  const SlotLock slot_lock(p);
  return SetMappingEnable(p, 'l', Enable);
}

}  // extern "C"
