// vornaxdm_server: start up, then one tick every 30 ms until the process is
// told to stop (a signal or the quit command).
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>

#include "server/core/console_commands.h"
#include "server/core/control.h"
#include "server/core/metrics.h"
#include "server/core/notify.h"
#include "server/core/oplog.h"
#include "server/core/probe.h"
#include "server/core/startup.h"
#include "server/core/usage.h"
#include "server/net/udp.h"

namespace {

volatile sig_atomic_t stop_requested = 0;
volatile sig_atomic_t reopen_requested = 0;

void RequestStop(int) { stop_requested = 1; }
void RequestReopen(int) { reopen_requested = 1; }

// No SA_RESTART: a signal cuts the pause short, so the loop ends at once.
void SetUpSignals() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // SIGHUP reopens the operator's log (logrotate's postrotate), nothing else.
  action.sa_handler = RequestReopen;
  sigaction(SIGHUP, &action, nullptr);
  // A console reader that goes away (a pipe into a program that ended) must
  // not take the running game down with it.
  signal(SIGPIPE, SIG_IGN);
  // Run as a background job from a terminal, the server must not be stopped
  // for looking at its console input: the read fails instead.
  signal(SIGTTIN, SIG_IGN);
}

// --help, --version and --probe answer and end the program before anything
// starts; the exit code, or -1 to run the server.
int AnsweredRequest(int argc, char** argv) {
  switch (SV_COMMANDLINEREQUEST(argc, argv)) {
    case CommandLineRequest::kHelp:
      SV_PRINTUSAGE(stdout);
      return 0;
    case CommandLineRequest::kVersion:
      SV_PRINTVERSION(stdout);
      return 0;
    case CommandLineRequest::kProbe:
      return SV_PROBE(argc - 2, argv + 2, stdout, stderr);
    case CommandLineRequest::kRun:
      break;
  }
  return -1;
}

const char* StopReason() {
  if (CMD_QUITREQUESTED()) return "quit command";
  if (CMD_DRAINED()) return "drained";
  return "signal";
}

}  // namespace

int main(int argc, char** argv) {
  // --send talks to a running server and starts none.
  if (argc >= 2 && std::string_view(argv[1]) == "--send") return CONTROL_SEND(argc, argv);
  if (const int code = AnsweredRequest(argc, argv); code >= 0) return code;
  SetUpSignals();
  if (!GAMESTART(argc, argv)) {
    CONTROL_CLOSE();
    NET_STOP();
    return SV_COMMANDLINEREFUSED() ? 2 : 1;
  }
  NOTIFY_READY();
  CMD_START(STDIN_FILENO);
  while (!stop_requested && !CMD_QUITREQUESTED() && !CMD_DRAINED()) {
    if (reopen_requested) {
      reopen_requested = 0;
      OPLOG_REOPEN();
    }
    METRICS_TICKSTART();
    GAMECYCLE();
    CMD_POLL();
    CONTROL_POLL();
    METRICS_TICKEND();
    if (CMD_QUITREQUESTED() || CMD_DRAINED()) break;
    METRICS_POLL();
    NOTIFY_TICK();
    // 30 ms, reading datagrams as they come.
    NET_PAUSE(30);
  }
  NOTIFY_STOPPING();
  OPLOG_STOP(StopReason());
  CONTROL_CLOSE();
  METRICS_CLOSE();
  NET_STOP();
  return 0;
}
