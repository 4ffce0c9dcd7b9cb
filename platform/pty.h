// The master side of a pseudo-terminal, for serving a device on it: programs open the slave's path
// as they would a serial port.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class PtyMaster {
 public:
  PtyMaster() = default;
  ~PtyMaster();
  PtyMaster(const PtyMaster&) = delete;
  PtyMaster& operator=(const PtyMaster&) = delete;

  // Creates the pseudo-terminal; false with the reason in why.
  bool Open(std::string& why);
  const std::string& path() const { return path_; }
  // Waits up to timeout_ms for bytes from the slave side and reads what is there (0 when none came,
  // or while no program holds the slave open). False when the master failed.
  bool Read(uint8_t* buffer, size_t size, int timeout_ms, size_t& got);
  // Writes all bytes towards the slave side; false when that failed.
  bool Write(const uint8_t* bytes, size_t count);

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace platform
