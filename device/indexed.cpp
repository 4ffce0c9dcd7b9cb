#include "device/indexed.h"

#include "device/ops.h"

namespace kestravo {
namespace {

// Value and index of the reply: value from the second character, then the reply cut after its
// first character and the index read from it. A failure gives its message: a value that cannot be
// read, a value too high, or an index that cannot be read.
int32_t ParseIndexedReply(uint16_t port, const IndexedOp& op, uint32_t index, uint32_t& value) {
  Scanned v = ScanUnsigned(Replies[port].text + 1, 16, op.width);
  if (!v.ok)
    return WrongArgument(port, "%s: Wrong argument received: data='%s' - Cannot obtain parameter %s\n",
                         op.name, Replies[port].text, op.value_name);
  value = uint32_t(v.value);
  if (op.value_limit && value >= op.value_limit) {
    Ports[port].Text(
        "%s: Wrong argument received: data='%s' - Obtained parameter %s to high: %u read, %u allowed\n",
        op.name, Replies[port].text, op.value_name, value, op.value_limit - 1);
    return Store(port, kBadArgument);
  }
  Replies[port].text[1] = 0;
  Scanned i = ScanUnsigned(Replies[port].text, 16, 1);
  if (!i.ok)
    return WrongArgument(port, "%s: Wrong argument received: data='%s' - Cannot obtain parameter %s\n",
                         op.name, Replies[port].text, op.index_name);
  if (uint32_t(i.value) != index)
    return WrongArgument(port, "%s: Wrong argument received: data='%s' - %s=%u expected, %u read\n", op.name,
                         Replies[port].text, op.index_name, index, uint32_t(i.value));
  return kOk;
}

}  // namespace

int32_t IndexedRead(uint16_t port, const IndexedOp& op, uint32_t index, uint32_t& value) {
  if (BadPort(port)) return kPortNumberRange;
  if (index >= op.limit) return Store(port, kBadArgument);
  FormatRequest(port, "%01X", index);
  int32_t r = Exchange(port, op.letter, true, 1 + op.width);
  if (r != kOk) return r;
  uint32_t v = 0;
  r = ParseIndexedReply(port, op, index, v);
  if (r != kOk) return r;
  value = v;
  return Store(port, kOk);
}

int32_t IndexedWrite(uint16_t port, const IndexedOp& op, uint32_t index, uint32_t value) {
  if (BadPort(port)) return kPortNumberRange;
  if (index >= op.limit || (op.value_limit && value >= op.value_limit)) return Store(port, kBadArgument);
  if (op.width <= 2) value &= 0xFF;  // byte values: the low 8 bits are sent and compared
  FormatRequest(port, "%01X%0*X", index, op.width, value);
  int32_t r = Exchange(port, op.letter, true, 1 + op.width);
  if (r != kOk) return r;
  uint32_t read = 0;
  r = ParseIndexedReply(port, op, index, read);
  if (r != kOk) return r;
  if (read != value) {
    char format[160];
    std::snprintf(format, sizeof format,
                  "%%s: Wrong argument received: data='%%s' - %%s=%s expected, %s read\n", op.mismatch_format,
                  op.mismatch_format);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    Ports[port].Text(format, op.name, Replies[port].text, op.value_name, value, read);
#pragma GCC diagnostic pop
    return Store(port, kWrongArgument);
  }
  return Store(port, kOk);
}

int32_t ReadFlag(uint16_t port, char letter, int32_t& flag) {
  int32_t r = WriteCommand(port, letter);
  if (r != kOk) return r;
  return ReadCommandBool(port, letter, flag);
}

int32_t WriteFlag(uint16_t port, char letter, bool on, int32_t& echoed) {
  int32_t r = WriteCommand(port, letter, on ? "Y" : "N");
  if (r != kOk) return r;
  return ReadCommandBool(port, letter, echoed);
}

}  // namespace kestravo
