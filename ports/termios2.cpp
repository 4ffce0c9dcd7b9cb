#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "ports/port.h"
#include "ports/termios_line.h"

namespace ports {

bool ReadTermiosLine(int fd, TermiosLine& line) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  line.baud = t.c_ospeed;
  line.parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? kOddParity : kEvenParity) : kNoParity;
  switch (t.c_cflag & CSIZE) {
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
  line.two_stop_bits = (t.c_cflag & CSTOPB) != 0;
  return true;
}

bool ApplyTermiosLine(int fd, const TermiosLine& line) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_iflag &=
      ~(IGNBRK | BRKINT | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | IGNPAR | INPCK | PARMRK);
  if (line.parity != kNoParity) t.c_iflag |= INPCK | PARMRK;
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL | CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
  switch (line.data_bits) {
    case 5:
      t.c_cflag |= CS5;
      break;
    case 6:
      t.c_cflag |= CS6;
      break;
    case 7:
      t.c_cflag |= CS7;
      break;
    default:
      t.c_cflag |= CS8;
      break;
  }
  if (line.parity != kNoParity) t.c_cflag |= PARENB;
  if (line.parity == kOddParity) t.c_cflag |= PARODD;
  if (line.two_stop_bits) t.c_cflag |= CSTOPB;
  t.c_ispeed = t.c_ospeed = line.baud;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (ioctl(fd, TCSETS2, &t) != 0) return false;

  TermiosLine got;
  if (!ReadTermiosLine(fd, got)) return false;
  // A driver may round a rate to what its clock divider gives; more than 3 % off is not the rate asked.
  uint64_t diff = got.baud > line.baud ? got.baud - line.baud : line.baud - got.baud;
  return got.parity == line.parity && got.data_bits == line.data_bits &&
         got.two_stop_bits == line.two_stop_bits && diff * 100 <= uint64_t(line.baud) * 3;
}

}  // namespace ports
