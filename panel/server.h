// The panel's HTTP server over the platform's TCP: one thread accepts the connections and reads
// every request as it arrives (its head within 2 s, the whole within 5 s), refuses at once what is
// not admitted (no token, wrong Host), and gives each admitted request a thread of its own, up to a
// bound (more are answered 503). A refused request's remaining bytes are read and dropped so that
// the client reads the answer; the end waits for every request under way.
#pragma once
#include <atomic>
#include <cstddef>

#include "panel/api.h"

namespace panel {

constexpr int kMaxConnections = 32;      // admitted requests handled at once; more are answered 503
constexpr int kHeadTimeoutMs = 2000;     // a request's head must arrive within this
constexpr int kRequestTimeoutMs = 5000;  // the whole request within this
constexpr size_t kMaxPending = 512;      // connections whose request is still arriving (the oldest gives way)

// Serves the panel on the listening socket until stop is set; returns when every connection ended.
void ServeUntil(int listener, Panel& panel, const std::atomic<bool>& stop);

}  // namespace panel
