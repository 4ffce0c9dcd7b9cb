// The panel's HTTP: one request per connection (HTTP/1.1 with "Connection: close"), read within
// bounds: the request line and headers within 16 KiB, a body within 1 MiB, all within a time
// limit. Nothing here knows the routes; the panel's API answers the requests.
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

  // A header's value, "" when it is missing.
  std::string Header(const std::string& lower_name) const;
  // A query parameter, percent-decoded; "" when it is missing.
  std::string Param(const std::string& name) const;
};

struct Response {
  int status = 200;
  std::string type = "application/json";
  std::string body;
  std::string disposition;  // Content-Disposition, for downloads
};

// What reading a request gave: a request, or the status to answer instead (0: no answer, the
// connection ended or stayed silent).
struct ReadResult {
  bool ok = false;
  int status = 0;
};

// Reads one request from a connected socket within timeout_ms in all.
ReadResult ReadRequest(int fd, Request& out, int timeout_ms);

// The response's bytes: status line, headers (no CORS headers, no caching, no sniffing), body.
std::string ResponseBytes(const Response& r);

// Percent-decoding of a query value ('+' is a blank); invalid escapes stay as they are.
std::string Unescape(const std::string& text);

}  // namespace panel
