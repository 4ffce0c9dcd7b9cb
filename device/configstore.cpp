// The current configuration, the store of 126 configurations, their names and flags.
#include "device/ops.h"

namespace kestravo {
namespace {

constexpr uint32_t kConfigs = COM_KESTRAVO_CONFIG_COUNT;
constexpr int kBlock = COM_KESTRAVO_CONFIG_SIZE;
constexpr int kName = COM_KESTRAVO_NAME_SIZE;

// Appends bytes as pairs of upper-case hexadecimal digits at text.
void PutBytes(char* text, const uint8_t* bytes, int n) {
  for (int i = 0; i < n; ++i) std::snprintf(text + 2 * i, 3, "%02X", bytes[i]);
}

// The echoed configuration number at the start of the reply.
int32_t CheckNumber(uint16_t p, const char* name, uint32_t ConfigNumber) {
  uint32_t read = 0;
  if (!ScanHex32(Replies[p].text, 2, read))
    return WrongArgument(p, "%s: Wrong argument received: data='%s' - Cannot obtain parameters\n", name,
                         Replies[p].text);
  if (read != ConfigNumber)
    return WrongArgument(p, "%s: Wrong argument received: ConfigNumber=%u expected, %u read\n", name,
                         ConfigNumber, read);
  return kOk;
}

// Reads the 75 pairs of a block starting at `offset`, from the last to the first, each stored at once;
// after each pair the reply text is ended there, so a message shows the reply up to the failing pair.
int32_t ReadBlock(uint16_t p, const char* name, uint32_t offset, uint8_t* Config, bool refuse_above_255) {
  for (int k = kBlock - 1; k >= 0; --k) {
    char* pair = Replies[p].text + offset + 2 * k;
    Scanned v = ScanUnsigned(pair, 16, 2);
    if (!v.ok || (refuse_above_255 && uint32_t(v.value) > 255))
      return WrongArgument(p, "%s: Wrong argument received: data='%s' - Cannot obtain parameters\n", name,
                           Replies[p].text);
    if (Config) Config[k] = uint8_t(v.value);
    *pair = 0;
  }
  return kOk;
}

// Compares the echoed block with what was sent, from the last byte to the first.
int32_t CompareBlock(uint16_t p, const char* name, uint32_t offset, const uint8_t* Config, bool show_reply) {
  for (int k = kBlock - 1; k >= 0; --k) {
    char* pair = Replies[p].text + offset + 2 * k;
    uint32_t read = 0;
    if (!ScanHex32(pair, 2, read))
      return WrongArgument(p, "%s: Wrong argument received: data='%s' - Cannot obtain parameters\n", name,
                           Replies[p].text);
    if (read != Config[k]) {
      if (show_reply)
        return WrongArgument(
            p, "%s: Wrong argument received: Data[%d]=%u expected, %u read, received data='%s'\n", name, k,
            unsigned(Config[k]), read, Replies[p].text);
      return WrongArgument(p, "%s: Wrong argument received: Data[%d]=%u expected, %u read\n", name, k,
                           unsigned(Config[k]), read);
    }
    *pair = 0;
  }
  return kOk;
}

// The reply of 'X': the configuration number and the flags digit.
int32_t ParseFlagsReply(uint16_t p, const char* name, uint32_t ConfigNumber, uint32_t& digit) {
  Scanned n = ScanUnsigned(Replies[p].text, 16, 2);
  Scanned f = n.ok ? ScanUnsigned(Replies[p].text + n.used, 16, 1) : Scanned{};
  if (!f.ok)
    return WrongArgument(p, "%s: Wrong argument received: data='%s' - Cannot obtain parameters\n", name,
                         Replies[p].text);
  if (uint32_t(n.value) != ConfigNumber)
    return WrongArgument(p, "%s: Wrong argument received: ConfigNumber=%u expected, %u read\n", name,
                         ConfigNumber, uint32_t(n.value));
  digit = uint32_t(f.value);
  return kOk;
}

int32_t SaveOrLoad(uint16_t p, char letter, const char* name, uint32_t ConfigNumber) {
  if (BadPort(p)) return kPortNumberRange;
  if (ConfigNumber >= kConfigs) return Store(p, kBadArgument);
  FormatRequest(p, "%02X", ConfigNumber);
  int32_t r = Exchange(p, letter, true, 2);
  if (!ReplyUsable(p, r, 2)) return r;
  r = CheckNumber(p, name, ConfigNumber);
  return r != kOk ? r : Store(p, kOk);
}

}  // namespace
}  // namespace kestravo

using namespace kestravo;

extern "C" {

int32_t COM_KESTRAVO_ResetCurrentConfig(uint16_t p) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  return Exchange(p, '*', false, 0);
}

int32_t COM_KESTRAVO_GetCurrentConfig(uint16_t p, uint8_t* Config) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  int32_t r = Exchange(p, 'a', false, 2 * kBlock);
  if (r != kOk) return r;
  r = ReadBlock(p, "COM_KESTRAVO_GetCurrentConfig", 0, Config, true);
  return r != kOk ? r : Store(p, kOk);
}

int32_t COM_KESTRAVO_SetCurrentConfig(uint16_t p, const uint8_t* Config) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  if (!Config) return Store(p, kBadArgument);
  PutBytes(Replies[p].text, Config, kBlock);
  int32_t r = Exchange(p, 'a', true, 2 * kBlock);
  if (r != kOk) return r;
  r = CompareBlock(p, "COM_KESTRAVO_SetCurrentConfig", 0, Config, false);
  return r != kOk ? r : Store(p, kOk);
}

int32_t COM_KESTRAVO_GetConfigData(uint16_t p, uint32_t ConfigNumber, uint8_t* Config) {
  const SlotLock slot_lock(p);
  static const char kName[] = "COM_KESTRAVO_GetConfigData";
  if (BadPort(p)) return kPortNumberRange;
  if (ConfigNumber >= kConfigs) return Store(p, kBadArgument);
  FormatRequest(p, "%02X", ConfigNumber);
  int32_t r = Exchange(p, 'K', true, 2 + 2 * kBlock);
  if (r != kOk) return r;
  if ((r = CheckNumber(p, kName, ConfigNumber)) != kOk) return r;
  r = ReadBlock(p, kName, 2, Config, false);
  return r != kOk ? r : Store(p, kOk);
}

int32_t COM_KESTRAVO_SetConfigData(uint16_t p, uint32_t ConfigNumber, const uint8_t* Config) {
  const SlotLock slot_lock(p);
  static const char kName[] = "COM_KESTRAVO_SetConfigData";
  if (BadPort(p)) return kPortNumberRange;
  if (ConfigNumber >= kConfigs || !Config) return Store(p, kBadArgument);
  FormatRequest(p, "%02X", ConfigNumber);
  PutBytes(Replies[p].text + 2, Config, kBlock);
  int32_t r = Exchange(p, 'K', true, 2 + 2 * kBlock);
  if (!ReplyUsable(p, r, 2 + 2 * kBlock)) return r;
  if ((r = CheckNumber(p, kName, ConfigNumber)) != kOk) return r;
  r = CompareBlock(p, kName, 2, Config, true);
  return r != kOk ? r : Store(p, kOk);
}

int32_t COM_KESTRAVO_GetConfigList(uint16_t p, uint8_t* ActiveList, uint8_t* ValidList) {
  const SlotLock slot_lock(p);
  if (BadPort(p)) return kPortNumberRange;
  int32_t r = Exchange(p, 'W', false, int32_t(kConfigs / 2));
  if (r != kOk) return r;
  for (uint32_t k = 0; k < kConfigs / 2; ++k) {
    char c = Replies[p].text[k];
    int v = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (v < 0)
      return WrongArgument(
          p, "COM_KESTRAVO_GetConfigList: Wrong argument received: data='%s' - Cannot obtain parameters\n",
          Replies[p].text);
    if (ActiveList) ActiveList[2 * k] = uint8_t(v & 1), ActiveList[2 * k + 1] = uint8_t((v >> 2) & 1);
    if (ValidList) ValidList[2 * k] = uint8_t((v >> 1) & 1), ValidList[2 * k + 1] = uint8_t((v >> 3) & 1);
  }
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_SaveCurrentConfig(uint16_t p, uint32_t n) {
  const SlotLock slot_lock(p);
  return SaveOrLoad(p, 'J', "COM_KESTRAVO_SaveCurrentConfig", n);
}

int32_t COM_KESTRAVO_LoadCurrentConfig(uint16_t p, uint32_t n) {
  const SlotLock slot_lock(p);
  return SaveOrLoad(p, 'j', "COM_KESTRAVO_LoadCurrentConfig", n);
}

int32_t COM_KESTRAVO_GetConfigName(uint16_t p, uint32_t ConfigNumber, uint8_t* Name) {
  const SlotLock slot_lock(p);
  static const char kFn[] = "COM_KESTRAVO_GetConfigName";
  if (BadPort(p)) return kPortNumberRange;
  if (ConfigNumber >= kConfigs) return Store(p, kBadArgument);
  FormatRequest(p, "%02X", ConfigNumber);
  int32_t r = Exchange(p, 'A', true, 2 + 2 * kName);
  if (r != kOk) return r;
  if ((r = CheckNumber(p, kFn, ConfigNumber)) != kOk) return r;
  uint32_t last = ConfigNumber;  // the number converted last
  for (int i = 0; i < kName; ++i) {
    Scanned v = ScanUnsigned(Replies[p].text + 2 + 2 * i, 16, 2);
    if (!v.ok)
      return WrongArgument(p, "%s: Wrong argument passed to the function: Data[%d]=%u, received data='%s'\n",
                           kFn, i, last, Replies[p].text);
    last = uint32_t(v.value);
    if (Name) Name[i] = uint8_t(last);
  }
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_SetConfigName(uint16_t p, uint32_t ConfigNumber, const uint8_t* Name) {
  const SlotLock slot_lock(p);
  static const char kFn[] = "COM_KESTRAVO_SetConfigName";
  if (BadPort(p)) return kPortNumberRange;
  if (ConfigNumber >= kConfigs || !Name) return Store(p, kBadArgument);
  FormatRequest(p, "%02X", ConfigNumber);
  PutBytes(Replies[p].text + 2, Name, kName);
  int32_t r = Exchange(p, 'A', true, 2 + 2 * kName);
  if (!ReplyUsable(p, r, 2 + 2 * kName)) return r;
  if ((r = CheckNumber(p, kFn, ConfigNumber)) != kOk) return r;
  uint32_t last = ConfigNumber;
  for (int i = 0; i < kName; ++i) {
    Scanned v = ScanUnsigned(Replies[p].text + 2 + 2 * i, 16, 2);
    if (!v.ok)
      return WrongArgument(p,
                           "%s: Wrong argument passed to the function: Name[%d]=%02Xh, received data='%s'\n",
                           kFn, i, last, Replies[p].text);
    last = uint32_t(v.value);
    if ((last & 0xFF) != Name[i])
      return WrongArgument(p, "%s: Wrong argument received: Name[%d]=%02Xh expected, %02Xh read\n", kFn, i,
                           unsigned(Name[i]), last & 0xFF);
  }
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_GetConfigFlags(uint16_t p, uint32_t ConfigNumber, uint8_t* Active, uint8_t* Valid) {
  const SlotLock slot_lock(p);
  static const char kFn[] = "COM_KESTRAVO_GetConfigFlags";
  if (BadPort(p)) return kPortNumberRange;
  if (ConfigNumber >= kConfigs) return Store(p, kBadArgument);
  FormatRequest(p, "%02X", ConfigNumber);
  int32_t r = Exchange(p, 'X', true, 3);
  if (r != kOk) return r;
  uint32_t digit = 0;
  if ((r = ParseFlagsReply(p, kFn, ConfigNumber, digit)) != kOk) return r;
  if (Active) *Active = uint8_t(digit & 1);
  if (Valid) *Valid = uint8_t((digit >> 1) & 1);
  return Store(p, kOk);
}

int32_t COM_KESTRAVO_SetConfigFlags(uint16_t p, uint32_t ConfigNumber, uint8_t Active, uint8_t Valid) {
  const SlotLock slot_lock(p);
  static const char kFn[] = "COM_KESTRAVO_SetConfigFlags";
  if (BadPort(p)) return kPortNumberRange;
  if (ConfigNumber >= kConfigs) return Store(p, kBadArgument);
  const uint32_t flags = (Active ? 1u : 0u) + (Valid ? 2u : 0u);
  FormatRequest(p, "%02X%01X", ConfigNumber, flags);
  int32_t r = Exchange(p, 'X', true, 3);
  if (r != kOk) return r;
  uint32_t digit = 0;
  if ((r = ParseFlagsReply(p, kFn, ConfigNumber, digit)) != kOk) return r;
  if (digit != flags)
    return WrongArgument(p, "%s: Wrong argument received: Flags=%u expected, %u read\n", kFn, flags, digit);
  return Store(p, kOk);
}

}  // extern "C"
