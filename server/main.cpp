// vornaxdm_server: start up, then one tick every 30 ms until the process is
// told to stop.
#include <signal.h>

#include "server/core/startup.h"
#include "server/net/udp.h"

namespace {

volatile sig_atomic_t stop_requested = 0;

void RequestStop(int) { stop_requested = 1; }

// No SA_RESTART: a signal cuts the pause short, so the loop ends at once.
void SetUpSignals() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A console reader that goes away (a pipe into a program that ended) must
  // not take the running game down with it.
  signal(SIGPIPE, SIG_IGN);
}


}  // namespace

int main(int argc, char** argv) {
  SetUpSignals();
  if (!GAMESTART(argc, argv)) {
    NET_STOP();
    return 1;
  }
  while (!stop_requested) {
    GAMECYCLE();
    // 30 ms, reading datagrams as they come.
    NET_PAUSE(30);
  }
  NET_STOP();
  return 0;
}
