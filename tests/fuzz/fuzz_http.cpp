// The panel's request reader on any bytes, fed in pieces as a socket would give them: it never
// takes more than its bounds, a whole request's parts hold what the head said, and the same bytes
// in other pieces give the same answer.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "panel/http.h"

namespace {

// The status after feeding text in pieces of at most piece bytes (0 when it wants more).
int Feed(const std::string& text, size_t piece, panel::Request& out) {
  panel::RequestReader reader;
  for (size_t at = 0; at < text.size(); at += piece)
    if (const int status = reader.Add(text.data() + at, std::min(piece, text.size() - at), out))
      return status;
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = 1 + data[0] % 64;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  panel::Request whole, pieces;
  const int at_once = Feed(text, text.size() + 1, whole), in_pieces = Feed(text, piece, pieces);
  if (at_once != in_pieces) std::abort();
  switch (at_once) {
    case 0:
    case 400:
    case 411:
    case 413:
    case 431:
      return 0;
    case 200:
      break;
    default:
      std::abort();
  }
  if (whole.path.empty() || whole.path[0] != '/' || whole.body.size() > panel::kBodyLimit) std::abort();
  if (whole.body != pieces.body || whole.path != pieces.path || whole.headers != pieces.headers) std::abort();
  for (const auto& [name, value] : whole.headers)
    for (char c : name)
      if (c >= 'A' && c <= 'Z') std::abort();
  (void)whole.Param("token");
  (void)panel::ResponseBytes({200, "application/json", whole.body, "", ""});
  return 0;
}
