// A plain HTTP client on loopback TCP, for the metrics page and for asking
// a Prometheus started by a test.
#pragma once

#include <cstdint>
#include <string>

struct HttpReply {
  int status = 0;  // 0 when no whole answer came
  std::string body;
};

// GET path from 127.0.0.1:port, waiting up to timeout_ms for the whole answer.
HttpReply HttpGet(uint16_t port, const std::string& path, int timeout_ms = 5000);
// Sends raw bytes and reads the answer until the server closes.
HttpReply HttpExchange(uint16_t port, const std::string& request, int timeout_ms = 5000);
// A connected loopback TCP socket that the caller closes; -1 when refused.
int ConnectTcp(uint16_t port);
// A TCP port nothing listens on right now (the system's choice).
uint16_t FreeTcpPort();
