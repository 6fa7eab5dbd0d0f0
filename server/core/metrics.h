// The metrics page (-metrics ADDRESS:PORT): Prometheus text exposition,
// version 0.0.4, served by a small HTTP server on a non-blocking TCP socket
// that the main loop polls once per tick. At most METRICS_CONNECTIONS
// connections are served at once, a request may be at most
// METRICS_REQUEST_LIMIT bytes and a connection lives at most
// METRICS_CONNECTION_MS: a slow or silent client never holds the tick and
// never holds the page for long. Only `GET /metrics` is answered with the
// page; other paths get 404. Everything lives in fixed tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr int METRICS_CONNECTIONS = 4;
constexpr size_t METRICS_REQUEST_LIMIT = 2048;
constexpr size_t METRICS_PAGE_LIMIT = 16384;
constexpr int METRICS_CONNECTION_MS = 3000;
// A tick whose work takes longer than this overruns the 30 ms pause.
constexpr double METRICS_OVERRUN_SECONDS = 0.030;

// "PORT" (on 127.0.0.1) or "ADDRESS:PORT"; false with the reason in
// `error` when the text is no such thing or the socket cannot listen.
bool METRICS_OPEN(const char* where, const char*& error);
void METRICS_CLOSE();
// The port listened on (the one the system chose for port 0), 0 when closed.
uint16_t METRICS_PORT();
// "ADDRESS:PORT" listened on, "" when closed.
std::string METRICS_ADDRESSTEXT();

// Around the work of one tick: its duration goes into the histogram.
void METRICS_TICKSTART();
void METRICS_TICKEND();
// Accepts, reads and answers what the connections allow now; never waits.
void METRICS_POLL();
// The current map started now (match time counts from here).
void METRICS_MAPSTARTED();

// Writes the page into out; its length (cut at cap, never beyond).
size_t METRICS_WRITEPAGE(char* out, size_t cap);
// Closes everything and forgets every count.
void METRICS_RESET();
