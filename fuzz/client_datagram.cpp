// libFuzzer: any datagram from the server's address, applied to the client
// in each connection state. The first input byte picks the state and
// whether the game information is still awaited; the rest is the datagram.
#include <cstdint>
#include <cstring>

#include "client/core/client_state.h"
#include "client/core/session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static bool started = false;
  if (!started) {
    ResetClientState();
    started = true;
  }
  conn_state = static_cast<uint8_t>(data[0] % 3);
  awaiting_info = (data[0] & 4) != 0;
  client_buf.clear();
  const size_t n = size - 1 < MessageBuffer::kSize ? size - 1 : MessageBuffer::kSize;
  std::memcpy(client_buf.receiveArea(), data + 1, n);
  client_buf.received(static_cast<uint16_t>(n));
  HandleDatagram(cfg.server_address, cfg.server_port);
  // Keep the log from growing without end over millions of runs.
  if (log_lines.size() > 1000) log_lines.clear();
  return 0;
}
