// The panel's HTTP server over the platform's TCP: an accept loop, a thread per connection up to
// a bound (more are answered 503 at once), each request read whole within a time limit, a refused
// request's remaining bytes read and dropped so that the client reads the answer, and an end that
// waits for every connection under way.
#pragma once
#include <atomic>

#include "panel/api.h"

namespace panel {

constexpr int kMaxConnections = 32;      // more at once are answered 503 and closed
constexpr int kRequestTimeoutMs = 5000;  // a request must arrive whole within this

// Serves the panel on the listening socket until stop is set; returns when every connection ended.
void ServeUntil(int listener, Panel& panel, const std::atomic<bool>& stop);

}  // namespace panel
