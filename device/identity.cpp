// Identity and monitoring: one letter without data, a reply of fixed layout.
#include "device/ops.h"

namespace kestravo {
namespace {

// The identity words: the whole reply read as one hexadecimal number.
int32_t ReadWord(uint16_t port, char letter, int32_t n, uint32_t& value) {
  if (BadPort(port)) return kPortNumberRange;
  int32_t r = WriteCommand(port, letter);
  if (r != kOk) return r;
  return ReadCommandInt(port, letter, value, n);
}

template <typename T>
int32_t GetWord(uint16_t port, char letter, int32_t n, T* out) {
  uint32_t v = 0;
  int32_t r = ReadWord(port, letter, n, v);
  if (r == kOk && out) *out = T(v);
  return r;
}

// A "%hX" field at pos of the reply, after which a NUL ends the field before it.
bool Field16(uint16_t port, uint32_t pos, uint16_t& v) {
  bool ok = ScanHex16(Replies[port].text + pos, 0, v);
  Replies[port].text[pos] = 0;
  return ok;
}

double Celsius(uint16_t centikelvin) { return (int32_t(centikelvin) - 27315) * 0.01; }

// Reads a text reply of n characters (free length for n < 1) into a buffer of `size` bytes.
int32_t GetText(uint16_t port, char letter, int32_t n, char* out, size_t size) {
  if (BadPort(port)) return kPortNumberRange;
  int32_t r = Exchange(port, letter, false, n);
  if (r == kOk && out) {
    size_t len = std::strlen(Replies[port].text);
    if (len >= size) len = size - 1;  // never past the caller's buffer
    std::memcpy(out, Replies[port].text, len);
    out[len] = 0;
  }
  return r;
}

}  // namespace
}  // namespace kestravo

using namespace kestravo;

extern "C" {

int32_t COM_KESTRAVO_GetHWType(uint16_t p, uint16_t* v) {
  const SlotLock slot_lock(p);
  return GetWord(p, 't', 4, v);
}
int32_t COM_KESTRAVO_GetHWVersion(uint16_t p, uint16_t* v) {
  const SlotLock slot_lock(p);
  return GetWord(p, 'v', 4, v);
}
int32_t COM_KESTRAVO_GetFWVersion(uint16_t p, uint16_t* v) {
  const SlotLock slot_lock(p);
  return GetWord(p, 'V', 4, v);
}
int32_t COM_KESTRAVO_GetProductNo(uint16_t p, uint32_t* v) {
  const SlotLock slot_lock(p);
  return GetWord(p, 'N', 8, v);
}
int32_t COM_KESTRAVO_GetMainState(uint16_t p, uint16_t* v) {
  const SlotLock slot_lock(p);
  return GetWord(p, 'M', 4, v);
}
int32_t COM_KESTRAVO_GetDeviceState(uint16_t p, uint32_t* v) {
  const SlotLock slot_lock(p);
  return GetWord(p, 'S', 8, v);
}

int32_t COM_KESTRAVO_GetFWDate(uint16_t p, char* FWDate) {
  const SlotLock slot_lock(p);
  return GetText(p, 'D', 11, FWDate, COM_KESTRAVO_FW_DATE_SIZE);
}

int32_t COM_KESTRAVO_GetProductID(uint16_t p, char* ProductID) {
  const SlotLock slot_lock(p);
  return GetText(p, 'P', -1, ProductID, COM_KESTRAVO_PRODUCT_ID_SIZE);
}

int32_t COM_KESTRAVO_GetCPUData(uint16_t p, double* Load, double* Frequency) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  int32_t r = Exchange(p, 'C', false, 7);
  if (r != kOk) return r;
  uint16_t freq = 0;
  int16_t load = 0;
  if (!Field16(p, 3, freq) || !ScanShort(Replies[p].text, load)) return Store(p, kWrongArgument);
  if (Frequency) *Frequency = freq * 1024.0;
  if (Load) *Load = load * 0.001;
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_GetUptime(uint16_t p, uint32_t* Seconds, uint16_t* Milliseconds, uint32_t* Optime) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  int32_t r = Exchange(p, 'U', false, 18);
  if (r != kOk) return r;
  auto fail = [&](const char* field) {
    Ports[p].Message("COM_KESTRAVO_GetUptime: Wrong argument %s received:", field);
    DumpReply(p);
    return Store(p, kWrongArgument);
  };
  uint32_t v32 = 0;
  if (!ScanHex32(Replies[p].text + 10, 8, v32)) return fail("Optime");
  if (Optime) *Optime = v32;
  Replies[p].text[10] = 0;
  uint16_t fraction = 0;
  if (!Field16(p, 8, fraction)) return fail("Milliseconds");
  if (Milliseconds) *Milliseconds = fraction;
  if (!ScanHex32(Replies[p].text, 0, v32)) return fail("Seconds");
  if (Seconds) *Seconds = v32;
  if (Milliseconds) *Milliseconds = uint16_t((uint32_t(fraction) * 1000u) / 256u);
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_GetTotalTime(uint16_t p, uint32_t* Uptime, uint32_t* Optime) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  int32_t r = Exchange(p, 'u', false, 16);
  if (r != kOk) return r;
  auto fail = [&](const char* field) {
    Ports[p].Message("COM_KESTRAVO_GetTotalTime: Wrong argument %s received:", field);
    DumpReply(p);
    return Store(p, kWrongArgument);
  };
  uint32_t v = 0;
  if (!ScanHex32(Replies[p].text + 8, 8, v)) return fail("Optime");
  if (Optime) *Optime = v;
  Replies[p].text[8] = 0;
  if (!ScanHex32(Replies[p].text, 8, v)) return fail("Uptime");
  if (Uptime) *Uptime = v;
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_GetHousekeeping(uint16_t p, double* Volt12V, double* Volt5V0, double* Volt3V3,
                                     double* TempCPU) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  int32_t r = Exchange(p, 'H', false, 16);
  if (r != kOk) return r;
  uint16_t v = 0;
  if (!Field16(p, 12, v)) return Store(p, kWrongArgument);
  if (TempCPU) *TempCPU = Celsius(v);
  double* volts[3] = {Volt12V, Volt5V0, Volt3V3};
  for (int i = 2; i >= 0; --i) {
    if (!Field16(p, uint32_t(4 * i), v)) return Store(p, kWrongArgument);
    if (volts[i]) *volts[i] = v * 0.001;
  }
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_GetSensorData(uint16_t p, double* Temperature) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  int32_t r = Exchange(p, 'T', false, 12);
  if (r != kOk) return r;
  for (int i = 2; i >= 0; --i) {
    uint16_t v = 0;
    if (!Field16(p, uint32_t(4 * i), v)) return Store(p, kWrongArgument);
    if (Temperature) Temperature[i] = v == 0xFFFF ? 65535.0 : Celsius(v);
  }
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_GetFanData(uint16_t p, int32_t* Enabled, int32_t* Failed, uint16_t* SetRPM,
                                uint16_t* MeasuredRPM, uint16_t* PWM) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  int32_t r = Exchange(p, 'B', false, 42);
  if (r != kOk) return r;
  for (int i = 2; i >= 0; --i) {
    const uint32_t g = uint32_t(14 * i);
    uint16_t* numbers[3] = {SetRPM, MeasuredRPM, PWM};
    for (int k = 2; k >= 0; --k) {
      uint16_t v = 0;
      if (!Field16(p, g + 2 + 4 * uint32_t(k), v)) return Store(p, kWrongArgument);
      if (numbers[k]) numbers[k][i] = v;
    }
    int32_t* flags[2] = {Enabled, Failed};
    for (int k = 1; k >= 0; --k) {
      int32_t flag = 0;
      if (ParseYesNo(Replies[p].text[g + uint32_t(k)], flag) != kOk) return Store(p, kWrongArgument);
      if (flags[k]) flags[k][i] = flag;
      Replies[p].text[g + uint32_t(k)] = 0;
    }
  }
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_GetLEDData(uint16_t p, int32_t* Red, int32_t* Green, int32_t* Blue) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  int32_t r = Exchange(p, 'L', false, 3);
  if (r != kOk) return r;
  int32_t* leds[3] = {Red, Green, Blue};
  for (int i = 2; i >= 0; --i) {
    int32_t flag = 0;
    if (ParseYesNo(Replies[p].text[i], flag) != kOk) return Store(p, kWrongArgument);
    if (leds[i]) *leds[i] = flag;
  }
  return Store(p, kOk);
}

}  // extern "C"
