#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "ports/port.h"
#include "ports/termios_line.h"

namespace ports {

uint32_t TermiosLineBits(const PortConfig& line) {
  uint32_t bits = 0;
  switch (line.data_bits) {
    case 5:
      bits |= CS5;
      break;
    case 6:
      bits |= CS6;
      break;
    case 7:
      bits |= CS7;
      break;
    default:
      bits |= CS8;
      break;
  }
  if (line.parity != kNoParity) bits |= PARENB;
  if (line.parity == kOddParity) bits |= PARODD;
  if (line.stop_bits == 2) bits |= CSTOPB;
  return bits;
}

void FromTermiosLineBits(uint32_t cflag, PortConfig& line) {
  line.parity = (cflag & PARENB) ? ((cflag & PARODD) ? kOddParity : kEvenParity) : kNoParity;
  switch (cflag & CSIZE) {
    case CS5:
      line.data_bits = 5;
      break;
    case CS6:
      line.data_bits = 6;
      break;
    case CS7:
      line.data_bits = 7;
      break;
    default:
      line.data_bits = 8;
      break;
  }
  line.stop_bits = (cflag & CSTOPB) ? 2 : 1;
}

bool ReadTermiosLine(int fd, PortConfig& line) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  line.baud = t.c_ospeed;
  FromTermiosLineBits(t.c_cflag, line);
  return true;
}

bool ApplyTermiosLine(int fd, const PortConfig& line) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_iflag &=
      ~(IGNBRK | BRKINT | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | IGNPAR | INPCK | PARMRK);
  if (line.parity != kNoParity) t.c_iflag |= INPCK | PARMRK;
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL | CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT) | TermiosLineBits(line);
  t.c_ispeed = t.c_ospeed = line.baud;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (ioctl(fd, TCSETS2, &t) != 0) return false;

  PortConfig got;
  if (!ReadTermiosLine(fd, got)) return false;
  // A driver may round a rate to what its clock divider gives; more than 3 % off is not the rate asked.
  uint64_t diff = got.baud > line.baud ? got.baud - line.baud : line.baud - got.baud;
  return got.parity == line.parity && got.data_bits == line.data_bits && got.stop_bits == line.stop_bits &&
         diff * 100 <= uint64_t(line.baud) * 3;
}

}  // namespace ports
