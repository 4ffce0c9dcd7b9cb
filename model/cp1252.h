// Text between the device and the programs' JSON: names of stored configurations and the
// device's own texts are Windows-1252 bytes, JSON carries UTF-8. The five bytes Windows-1252
// leaves free (81h, 8Dh, 8Fh, 90h, 9Dh) stand for the control characters of the same number, as
// browsers read them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace model {

// The UTF-8 text of at most size bytes, up to the first zero byte.
std::string Utf8FromCp1252(const uint8_t* bytes, size_t size);
// The Windows-1252 bytes of a UTF-8 text; false when it is not UTF-8 or holds a character the
// code page lacks.
bool Cp1252FromUtf8(const std::string& text, std::string& bytes);

}  // namespace model
