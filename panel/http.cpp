#include "panel/http.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>

namespace panel {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

const char* StatusText(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 409:
      return "Conflict";
    case 411:
      return "Length Required";
    case 413:
      return "Content Too Large";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

// Whether text is UTF-8: every sequence whole, none longer than it must be, no surrogate and nothing
// past U+10FFFF. A target that is not is refused before anything could echo it into JSON.
bool IsUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const uint8_t lead = uint8_t(text[i]);
    const size_t length = lead < 0x80             ? 1
                          : (lead & 0xE0) == 0xC0 ? 2
                          : (lead & 0xF0) == 0xE0 ? 3
                          : (lead & 0xF8) == 0xF0 ? 4
                                                  : 0;
    if (length == 0 || i + length > text.size()) return false;
    uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const uint8_t next = uint8_t(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    static const uint32_t kLowest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if ((length > 1 && c < kLowest[length]) || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

// The request line and the headers, up to the blank line; false when they do not read.
bool ParseHead(const std::string& head, Request& out) {
  size_t eol = head.find("\r\n");
  const std::string line = head.substr(0, eol);
  const size_t sp1 = line.find(' '), sp2 = line.rfind(' ');
  if (sp1 == std::string::npos || sp2 == sp1 || line.compare(sp2 + 1, 5, "HTTP/") != 0) return false;
  out.method = line.substr(0, sp1);
  const std::string target = line.substr(sp1 + 1, sp2 - sp1 - 1);
  if (target.empty() || target[0] != '/') return false;
  const size_t q = target.find('?');
  out.path = target.substr(0, q);
  out.query = q == std::string::npos ? "" : target.substr(q + 1);
  if (!IsUtf8(target)) return false;
  out.headers.clear();
  while (eol != std::string::npos && eol + 2 < head.size()) {
    const size_t start = eol + 2;
    eol = head.find("\r\n", start);
    const std::string h = head.substr(start, eol == std::string::npos ? std::string::npos : eol - start);
    if (h.empty()) break;
    const size_t colon = h.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    const std::string name = Lower(h.substr(0, colon));
    if (out.headers.count(name)) return false;  // a repeated header is refused, not merged
    out.headers[name] = Trim(h.substr(colon + 1));
  }
  return true;
}

// The body's length from the headers: 0 without one, -1 when it does not read or is chunked.
long BodyLength(const Request& r) {
  if (!r.Header("transfer-encoding").empty()) return -1;
  const std::string v = r.Header("content-length");
  if (v.empty()) return 0;
  if (v.size() > 9 || v.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::strtol(v.c_str(), nullptr, 10);
}

}  // namespace

std::string Request::Header(const std::string& lower_name) const {
  auto it = headers.find(lower_name);
  return it == headers.end() ? "" : it->second;
}

std::string Request::Param(const std::string& name) const {
  size_t pos = 0;
  while (pos <= query.size()) {
    size_t amp = query.find('&', pos);
    if (amp == std::string::npos) amp = query.size();
    const std::string pair = query.substr(pos, amp - pos);
    const size_t eq = pair.find('=');
    if (pair.substr(0, eq) == name) return eq == std::string::npos ? "" : Unescape(pair.substr(eq + 1));
    pos = amp + 1;
  }
  return "";
}

std::string Request::Cookie(const std::string& name) const {
  const std::string all = Header("cookie");
  size_t pos = 0;
  while (pos < all.size()) {
    size_t end = all.find(';', pos);
    if (end == std::string::npos) end = all.size();
    const std::string pair = Trim(all.substr(pos, end - pos));
    const size_t eq = pair.find('=');
    if (eq != std::string::npos && pair.compare(0, eq, name) == 0 && eq == name.size())
      return pair.substr(eq + 1);
    pos = end + 1;
  }
  return "";
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
               std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += char(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

int RequestReader::Add(const char* data, size_t size, Request& out) {
  text_.append(data, size);
  if (need_ == 0) {
    const size_t end = text_.find("\r\n\r\n");
    if (end == std::string::npos ? text_.size() > kHeaderLimit : end + 4 > kHeaderLimit) return 431;
    if (end == std::string::npos) return 0;
    if (!ParseHead(text_.substr(0, end + 2), out)) return 400;
    const long length = BodyLength(out);
    if (length < 0) return out.Header("transfer-encoding").empty() ? 400 : 411;
    if (size_t(length) > kBodyLimit) return 413;
    body_ = end + 4;
    need_ = body_ + size_t(length);
  }
  if (text_.size() < need_) return 0;
  out.body = text_.substr(body_, need_ - body_);
  return 200;
}

std::string ResponseBytes(const Response& r) {
  std::string s = "HTTP/1.1 " + std::to_string(r.status) + " " + StatusText(r.status) + "\r\n";
  s += "Content-Type: " + r.type + "\r\n";
  s += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
  if (!r.disposition.empty()) s += "Content-Disposition: " + r.disposition + "\r\n";
  if (!r.cookie.empty()) s += "Set-Cookie: " + r.cookie + "\r\n";
  s += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nX-Frame-Options: DENY\r\n";
  s += "Referrer-Policy: no-referrer\r\nConnection: close\r\n\r\n";
  return s + r.body;
}

}  // namespace panel
