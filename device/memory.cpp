// Memory data blocks and the link test.
#include "device/ops.h"

namespace kestravo {
namespace {

// Blocks of more than 4092 bytes would not fit the reply store (7 + 2 x Size characters).
constexpr uint32_t kMaxBlock = (kReplyBufferSize - 1 - 7) / 2;
// The device's memory data area: a block must lie inside it (its 16-bit address field would
// otherwise wrap to another place).
constexpr uint32_t kMemoryArea = 0x4000;

bool OutsideArea(uint32_t address, uint32_t size) {
  return address >= kMemoryArea || size > kMemoryArea - address;
}

// The echoed address and size at the start of a memory reply.
int32_t CheckHeader(uint16_t p, const char* name, uint32_t address, uint16_t size) {
  Scanned a = ScanUnsigned(Replies[p].text, 16, 4);
  Scanned s = a.ok ? ScanUnsigned(Replies[p].text + a.used, 16, 3) : Scanned{};
  if (!s.ok)
    return WrongArgument(p, "%s: Wrong argument received: data='%s' - Cannot obtain parameters\n", name,
                         Replies[p].text);
  if (uint32_t(a.value) != address)
    return WrongArgument(p, "%s: Wrong argument received: data='%s' - Address=%u expected, %u read\n", name,
                         Replies[p].text, address, uint32_t(a.value));
  if (uint16_t(s.value) != size)
    return WrongArgument(p, "%s: Wrong argument received: data='%s' - Size=%hu expected, %hu read\n", name,
                         Replies[p].text, size, uint16_t(s.value));
  return kOk;
}

}  // namespace
}  // namespace kestravo

using namespace kestravo;

extern "C" {

int32_t COM_KESTRAVO_GetMemoryData(uint16_t p, uint32_t Address, uint32_t Size, uint8_t* Data) {
  const SlotLock slot_lock(p);
  static const char kName[] = "COM_KESTRAVO_GetMemoryData";
  if (BadPort(p)) return kPortNumberRange;
  if (Size > kMaxBlock || OutsideArea(Address, Size)) return Store(p, kBadArgument);
  const uint32_t address = Address;
  const uint16_t size = uint16_t(Size);
  FormatRequest(p, "%04X%03hX", address, size);
  const uint32_t n = 2u * size + 7u;
  int32_t r = Exchange(p, 'Y', true, int32_t(n));
  if (!ReplyUsable(p, r, n)) return r;
  if ((r = CheckHeader(p, kName, address, size)) != kOk) return r;
  uint16_t last = size;  // the number converted last
  for (uint32_t i = 0; i < size; ++i) {
    Scanned v = ScanUnsigned(Replies[p].text + 7 + 2 * i, 16, 2);
    if (!v.ok)
      return WrongArgument(p, "%s: Wrong argument passed to the function: Data[%d]=%hu => '%s'\n", kName,
                           int(i), last, Replies[p].text);
    last = uint16_t(v.value);
    if (Data) Data[i] = uint8_t(last);
  }
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_SetMemoryData(uint16_t p, uint32_t Address, uint32_t Size, const uint8_t* Data) {
  const SlotLock slot_lock(p);
  static const char kName[] = "COM_KESTRAVO_SetMemoryData";
  if (BadPort(p)) return kPortNumberRange;
  if (Size > kMaxBlock || (Size > 0 && !Data) || OutsideArea(Address, Size)) return Store(p, kBadArgument);
  const uint32_t address = Address;
  const uint16_t size = uint16_t(Size);
  FormatRequest(p, "%04X%03hX,", address, size);
  for (uint32_t i = 0; i < size; ++i)
    std::snprintf(Replies[p].text + 7 + 2 * i, 3, "%02hX", uint16_t(Data[i]));
  const uint32_t n = 2u * size + 7u;
  int32_t r = Exchange(p, 'Y', true, int32_t(n));
  if (!ReplyUsable(p, r, n)) return r;
  if ((r = CheckHeader(p, kName, address, size)) != kOk) return r;
  for (uint32_t j = 0; j < size; ++j) {
    Scanned v = ScanUnsigned(Replies[p].text + 7 + 2 * j, 16, 2);
    if (!v.ok)
      return WrongArgument(p, "%s: Wrong argument received: data='%s' - Cannot obtain parameters\n", kName,
                           Replies[p].text);
    if (uint16_t(v.value) != Data[j])
      return WrongArgument(p, "%s: Wrong argument received: Data[%d]=%hu expected, %hu read\n", kName, int(j),
                           uint16_t(Data[j]), uint16_t(v.value));
  }
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_UpdateMemoryData(uint16_t p) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  return Exchange(p, 'Y', false, 0);
}

int32_t COM_KESTRAVO_Test(uint16_t p, const char* Data) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  if (!Data) Data = "";
  COMPort& port = Ports[p];
  const uint32_t size = uint32_t(std::strlen(Data));
  const auto* bytes = reinterpret_cast<const uint8_t*>(Data);
  // A carriage return ends the device's frame: it would answer two frames, and every later reply
  // would be read one frame late. Refused before anything is sent.
  if (std::memchr(Data, '\r', size)) return Store(p, kBadArgument);
  if (port.DebugFile) {
    port.Message("COM_KESTRAVO_Test: Testing started,    Size: %u bytes\nData: '", size);
    port.WriteEscaped(bytes, size);
    port.Text("'\n");
  }
  int32_t r = WriteCommand(p, '@', Data);
  if (r != kOk) return r;
  r = ReadCommand(p, '@', int32_t(size > 0x7FFFFFFF ? 0x7FFFFFFF : size));
  if (r != kOk) return r;
  bool differed = false;
  for (uint32_t i = 0; i < size; ++i) {
    uint8_t got = uint8_t(Replies[p].text[i]);
    if (got == bytes[i]) continue;
    if (!differed) port.WriteTimeStamp();
    differed = true;
    port.Text("COM_KESTRAVO_Test: Wrong data received: Data[%d]=%02X expected, %02X read\n", int(i),
              unsigned(bytes[i]), unsigned(got));
  }
  if (differed) return Store(p, kWrongArgument);
  if (port.DebugFile) {
    port.Message("COM_KESTRAVO_Test: Testing finished OK, Size: %u bytes\nData: '", size);
    port.WriteEscaped(bytes, size);
    port.Text("'\n");
  }
  return Store(p, kOk);
}

}  // extern "C"
