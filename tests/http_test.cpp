// The panel's request reader at its bounds: what a whole request gives, when it waits for more,
// and each refusal with its status.
#include <gtest/gtest.h>

#include <string>

#include "panel/http.h"

namespace {

int Read(const std::string& text, panel::Request& out) {
  panel::RequestReader reader;
  return reader.Add(text.data(), text.size(), out);
}

TEST(HttpRequestReader, StatusOfEachShape) {
  const std::string big_head = "GET / HTTP/1.1\r\nX: " + std::string(16 * 1024, 'y') + "\r\n\r\n";
  const struct {
    const char* name;
    std::string text;
    int status;
  } cases[] = {
      {"a whole GET", "GET /api/state?token=a HTTP/1.1\r\nHost: h\r\n\r\n", 200},
      {"a head not ended", "GET / HTTP/1.1\r\nHost: h\r\n", 0},
      {"a body still coming", "POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nabc", 0},
      {"a whole POST", "POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nabcde", 200},
      {"a head over 16 KiB", big_head, 431},
      {"a head over 16 KiB not ended", "GET / HTTP/1.1\r\nX: " + std::string(17 * 1024, 'y'), 431},
      {"a body over 1 MiB", "POST / HTTP/1.1\r\nContent-Length: 1048577\r\n\r\n", 413},
      {"a body of 1 MiB", "POST / HTTP/1.1\r\nContent-Length: 1048576\r\n\r\n", 0},
      {"chunked", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 411},
      {"a length that is no number", "POST / HTTP/1.1\r\nContent-Length: 12a\r\n\r\n", 400},
      {"a negative length", "POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", 400},
      {"a length of ten digits", "POST / HTTP/1.1\r\nContent-Length: 1000000000\r\n\r\n", 400},
      {"a repeated header", "GET / HTTP/1.1\r\nHost: a\r\nhost: b\r\n\r\n", 400},
      {"a header without a colon", "GET / HTTP/1.1\r\nHost\r\n\r\n", 400},
      {"a header with an empty name", "GET / HTTP/1.1\r\n: x\r\n\r\n", 400},
      {"a target that is no path", "GET http://x/ HTTP/1.1\r\n\r\n", 400},
      {"no version", "GET / FTP/1.1\r\n\r\n", 400},
      {"a request line of one word", "GET\r\n\r\n", 400},
      {"a target in UTF-8", "GET /caf\xC3\xA9?x=\xE2\x82\xAC\xF0\x9F\x98\x80 HTTP/1.1\r\n\r\n", 200},
      {"a target with a byte that is no UTF-8", "GET /api/config/\xFF HTTP/1.1\r\n\r\n", 400},
      {"a target with a cut sequence", "GET /\xC3 HTTP/1.1\r\n\r\n", 400},
      {"a target with an overlong sequence", "GET /\xC0\xAF HTTP/1.1\r\n\r\n", 400},
      {"a target with a surrogate", "GET /\xED\xA0\x80 HTTP/1.1\r\n\r\n", 400},
  };
  for (const auto& c : cases) {
    panel::Request r;
    EXPECT_EQ(Read(c.text, r), c.status) << c.name;
  }
}

TEST(HttpRequestReader, PartsOfAWholeRequest) {
  panel::RequestReader reader;
  panel::Request r;
  const std::string head =
      "POST /api/set?token=a%2Bb&x=1+2&bad=%zz HTTP/1.1\r\nContent-TYPE:  application/json \r\n"
      "Content-Length: 4\r\n\r\n";
  EXPECT_EQ(reader.Add(head.data(), head.size(), r), 0);
  EXPECT_EQ(reader.Add("{}", 2, r), 0);
  EXPECT_EQ(reader.Add("[]", 2, r), 200);
  EXPECT_EQ(r.method, "POST");
  EXPECT_EQ(r.path, "/api/set");
  EXPECT_EQ(r.body, "{}[]");
  EXPECT_EQ(r.Header("content-type"), "application/json");
  EXPECT_EQ(r.Header("missing"), "");
  EXPECT_EQ(r.Param("token"), "a+b");
  EXPECT_EQ(r.Param("x"), "1 2");
  EXPECT_EQ(r.Param("bad"), "%zz");
  EXPECT_EQ(r.Param("none"), "");
}

TEST(HttpResponse, HeadersOfEveryAnswer) {
  const std::string bytes = panel::ResponseBytes({404, "application/json", "{}", "", ""});
  EXPECT_EQ(bytes.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u);
  for (const char* header :
       {"Content-Length: 2\r\n", "Cache-Control: no-store\r\n", "X-Content-Type-Options: nosniff\r\n",
        "X-Frame-Options: DENY\r\n", "Referrer-Policy: no-referrer\r\n", "Connection: close\r\n"})
    EXPECT_NE(bytes.find(header), std::string::npos) << header;
  EXPECT_EQ(bytes.find("Access-Control"), std::string::npos);
  EXPECT_EQ(bytes.substr(bytes.size() - 6), "\r\n\r\n{}");
}

}  // namespace
