// Digital I/Os, device enable and the controller.
#include "device/indexed.h"
#include "device/ops.h"

namespace kestravo {
namespace {

const IndexedOp kGetOutput = {"COM_KESTRAVO_GetOutputConfig", 'o', "OutputNo", 7, "Config", 2, nullptr, 0};
const IndexedOp kSetOutput = {"COM_KESTRAVO_SetOutputConfig", 'o', "OutputNo", 7, "Config", 2, "%u", 0};

// The reply of 'i': termination mask, then output mask, two digits each.
bool ParseMasks(uint16_t p, const char* name, uint32_t& termination, uint32_t& output) {
  Scanned t = ScanUnsigned(Replies[p].text, 16, 2);
  Scanned o = t.ok ? ScanUnsigned(Replies[p].text + t.used, 16, 2) : Scanned{};
  if (!o.ok) {
    WrongArgument(p,
                  "%s: Wrong argument received: data='%s' - Cannot obtain parameters OutputEnable and "
                  "TerminationEnable\n",
                  name, Replies[p].text);
    return false;
  }
  termination = uint32_t(t.value);
  output = uint32_t(o.value);
  return true;
}

}  // namespace
}  // namespace kestravo

using namespace kestravo;

extern "C" {

int32_t COM_KESTRAVO_GetInputConfig(uint16_t p, uint8_t* OutputEnable, uint8_t* TerminationEnable) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  int32_t r = Exchange(p, 'i', false, 4);
  if (r != kOk) return r;
  uint32_t term = 0, out = 0;
  if (!ParseMasks(p, "COM_KESTRAVO_GetInputConfig", term, out)) return kWrongArgument;
  if (OutputEnable) *OutputEnable = uint8_t(out);
  if (TerminationEnable) *TerminationEnable = uint8_t(term);
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_SetInputConfig(uint16_t p, uint32_t OutputEnable, uint32_t TerminationEnable) {
  const SlotLock slot_lock(p);
  static const char kName[] = "COM_KESTRAVO_SetInputConfig";
  if (BadPort(p)) return kPortNumberRange;
  const uint32_t out = OutputEnable & 0xFF, term = TerminationEnable & 0xFF;
  FormatRequest(p, "%02X%02X", term, out);
  int32_t r = Exchange(p, 'i', true, 4);
  if (r != kOk) return r;
  uint32_t term_read = 0, out_read = 0;
  if (!ParseMasks(p, kName, term_read, out_read)) return kWrongArgument;
  if (term_read != term)
    return WrongArgument(p,
                         "%s: Wrong argument received: data='%s' - TerminationEnable=%u expected, %u read\n",
                         kName, Replies[p].text, term, term_read);
  if (out_read != out)
    return WrongArgument(p,
                         "%s: Wrong argument received: data='%s' - OutputEnable=%02Xh expected, %02Xh read\n",
                         kName, Replies[p].text, out, out_read);
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_GetOutputConfig(uint16_t p, uint32_t OutputNo, uint8_t* Config) {
  const SlotLock slot_lock(p);
  return IndexedGet(p, kGetOutput, OutputNo, Config);
}

int32_t COM_KESTRAVO_SetOutputConfig(uint16_t p, uint32_t OutputNo, uint32_t Config) {
  const SlotLock slot_lock(p);
  return IndexedWrite(p, kSetOutput, OutputNo, Config);
}

int32_t COM_KESTRAVO_GetDeviceEnable(uint16_t p, int32_t* Enable) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  int32_t flag = 0;
  int32_t r = ReadFlag(p, 'E', flag);
  if (r == kOk && Enable) *Enable = flag;
  return r;
}

int32_t COM_KESTRAVO_SetDeviceEnable(uint16_t p, int32_t Enable) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  int32_t read = 0;  // a valid reply is required, but not compared
  return WriteFlag(p, 'E', Enable != 0, read);
}

int32_t COM_KESTRAVO_GetControllerState(uint16_t p, uint16_t* State) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  int32_t r = WriteCommand(p, 'c');
  if (r != kOk) return r;
  uint32_t v = 0;
  r = ReadCommandInt(p, 'c', v, 4);
  if (r == kOk && State) *State = uint16_t(v);
  return r;
}

int32_t COM_KESTRAVO_SetControllerConfig(uint16_t p, uint32_t Config) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  const uint32_t sent = Config & 0xFF;
  FormatRequest(p, "%02X", sent);
  int32_t r = Exchange(p, 'c', true, 2);
  if (r != kOk) return r;
  uint32_t read = 0;
  if (!ScanHex32(Replies[p].text, 2, read))
    return WrongArgument(p,
                         "COM_KESTRAVO_SetControllerConfig: Wrong argument received: Config='%s' - Cannot "
                         "obtain parameter Data\n",
                         Replies[p].text);
  if (read != sent)
    return WrongArgument(p,
                         "COM_KESTRAVO_SetControllerConfig: Wrong argument received: data='%s' - "
                         "Config=%02Xh expected, %02Xh read\n",
                         Replies[p].text, sent, read);
  return Store(p, kOk);
}

}  // extern "C"
