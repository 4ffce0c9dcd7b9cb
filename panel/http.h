// The panel's HTTP: one request per connection (HTTP/1.1 with "Connection: close"), read within
// bounds: the request line and headers within 16 KiB, a body within 1 MiB. Pure text: the server
// feeds the bytes and sends the answer; nothing here knows the routes or the sockets.
#pragma once
#include <cstddef>
#include <map>
#include <string>

namespace panel {

constexpr size_t kHeaderLimit = 16 * 1024;
constexpr size_t kBodyLimit = 1024 * 1024;

struct Request {
  std::string method;                          // "GET", "POST", ...
  std::string path;                            // the target before '?', not decoded
  std::string query;                           // after '?'
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  std::string peer;  // the client's address

  // A header's value, "" when it is missing.
  std::string Header(const std::string& lower_name) const;
  // A query parameter, percent-decoded; "" when it is missing.
  std::string Param(const std::string& name) const;
  // A cookie's value from the Cookie header; "" when it is missing.
  std::string Cookie(const std::string& name) const;
};

struct Response {
  int status = 200;
  std::string type = "application/json";
  std::string body;
  std::string disposition;  // Content-Disposition, for downloads
  std::string cookie;       // Set-Cookie, when one is given
};

// Takes a request's bytes as they arrive and tells when it is whole or must be refused.
class RequestReader {
 public:
  // Adds bytes: 0 while more are needed; 200 when the request is whole (in out); else the status
  // to refuse it with (400 malformed, 411 chunked, 413 body too large, 431 head too large).
  int Add(const char* data, size_t size, Request& out);
  bool empty() const { return text_.empty(); }
  // Whether the request line and the headers are all in.
  bool head_read() const { return need_ != 0; }

 private:
  std::string text_;
  size_t body_ = 0, need_ = 0;  // where the body starts and the request's length, once the head is in
};

// The response's bytes: status line, headers (no CORS headers, no caching, no sniffing), body.
std::string ResponseBytes(const Response& r);

// Percent-decoding of a query value ('+' is a blank); invalid escapes stay as they are.
std::string Unescape(const std::string& text);

}  // namespace panel
