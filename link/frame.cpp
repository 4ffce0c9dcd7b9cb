// The command frame: letter, data, carriage return; the reply: echo letter, data, carriage return.
#include <cstring>

#include "link/link.h"
#include "link/scan.h"

namespace kestravo {

namespace {
constexpr uint8_t kCR = 0x0D;
}

int32_t WriteCommand(uint16_t port, char letter, const char* data) {
  COMPort& p = Ports[port];
  if (!p.Write(uint8_t(letter))) {
    p.Message("WriteCommand: Error sending command '%c%s'\n", letter, data);
    return Store(port, kSendCommand);
  }
  if (!p.Write(reinterpret_cast<const uint8_t*>(data), uint32_t(std::strlen(data)))) {
    p.Message("WriteCommand: Error sending data '%c%s'\n", letter, data);
    return Store(port, kSendData);
  }
  if (!p.Write(kCR)) {
    p.Message("WriteCommand: Error sending the termination character '%c%s'\n", letter, data);
    return Store(port, kSendTermination);
  }
  return Store(port, kOk);
}

int32_t WriteCommand(uint16_t port, char letter) {
  COMPort& p = Ports[port];
  if (!p.Write(uint8_t(letter))) {
    p.Message("WriteCommand: Error sending command '%c'\n", letter);
    return Store(port, kSendCommand);
  }
  if (!p.Write(kCR)) {
    p.Message("WriteCommand: Error sending the termination character '%c'\n", letter);
    return Store(port, kSendTermination);
  }
  return Store(port, kOk);
}

void DumpReply(uint16_t port) {
  COMPort& p = Ports[port];
  if (!p.DebugFile) return;
  p.Text("Data read: '");
  uint32_t n = Replies[port].length < kReplyBufferSize ? Replies[port].length : kReplyBufferSize;
  for (uint32_t i = 0; i < n; ++i) {
    uint8_t b = uint8_t(Replies[port].text[i]);
    if (b >= 0x20 && b <= 0x7F)
      p.Text("%c", b);
    else
      p.Text("\\x%02X", b);
  }
  p.Text("'\n");
}

int32_t ReadCommand(uint16_t port, char letter, int32_t n) {
  COMPort& p = Ports[port];
  Replies[port].length = (n >= 1 && n <= int32_t(kReplyBufferSize) - 1) ? uint32_t(n) + 1 : kReplyBufferSize;
  uint8_t echo = 0;
  if (!p.Read(echo, false)) {
    p.Message("ReadCommand: Error receiving command '%c'\n", letter);
    return Store(port, kReceiveCommand);
  }
  uint32_t count = Replies[port].length;
  bool ok = p.Read(reinterpret_cast<uint8_t*>(Replies[port].text), count, false, true);
  Replies[port].length = count;
  if (!ok) {
    p.Message("ReadCommand: Error receiving data of the command '%c'\n", echo);
    DumpReply(port);
    return Store(port, kReceiveData);
  }
  if (char(echo) != letter) {
    p.Message("ReadCommand: Wrong command received: '%c' instead of '%c'\n", echo, letter);
    DumpReply(port);
    return Store(port, kWrongCommand);
  }
  if (n >= 1 && Replies[port].length != uint32_t(n) + 1) {
    p.Message("ReadCommand: Error receiving data: '%d' byte(s) expected, '%lu' byte(s) read\n", n + 1,
              static_cast<unsigned long>(Replies[port].length));
    DumpReply(port);
    return Store(port, kReceiveData);
  }
  if (Replies[port].length == 0 || uint8_t(Replies[port].text[Replies[port].length - 1]) != kCR) {
    p.Message("ReadCommand: Error receiving the termination character of the command '%c'\n", letter);
    DumpReply(port);
    return Store(port, kReceiveTermination);
  }
  Replies[port].text[Replies[port].length - 1] = 0;
  return Store(port, kOk);
}

int32_t ReadCommandInt(uint16_t port, char letter, uint32_t& value, int32_t n) {
  int32_t r = ReadCommand(port, letter, n);
  if (r != kOk) return r;
  uint32_t v = 0;
  if (!ScanHex32(Replies[port].text, 0, v)) {
    Ports[port].Message("ReadCommand-int: Wrong argument received: command='%c', ", letter);
    DumpReply(port);
    return Store(port, kWrongArgument);
  }
  value = v;
  return Store(port, kOk);
}

int32_t ParseYesNo(char c, int32_t& flag) {
  if (c == 'Y')
    flag = 1;
  else if (c == 'N')
    flag = 0;
  else
    return kWrongArgument;
  return kOk;
}

int32_t ReadCommandBool(uint16_t port, char letter, int32_t& flag) {
  int32_t r = ReadCommand(port, letter, 1);
  if (r != kOk) return r;
  if (ParseYesNo(Replies[port].text[0], flag) != kOk) {
    Ports[port].Message("PortNumber: %hu, ReadCommand-bool: Wrong argument received: command='%c', ", port,
                        letter);
    DumpReply(port);
    return Store(port, kWrongArgument);
  }
  return Store(port, kOk);
}

}  // namespace kestravo
