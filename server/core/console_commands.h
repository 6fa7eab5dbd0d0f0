// Operator commands typed on the server's standard input: status, kick SLOT,
// map NAME, next, bots N, quit. Read only when standard input is a terminal
// or a pipe, and only as far as is waiting: a tick never waits for a line.
#pragma once

#include <string_view>

// Decides, once at start-up, whether standard input (or fd) is read.
void CMD_START(int fd);
// Runs every whole line waiting on the input. At the end of the input (or a
// read error) the input is no longer looked at; the server goes on.
void CMD_POLL();
// Runs one command line; the answer goes to the console.
void CMD_RUN(std::string_view line);
// True after the quit command.
bool CMD_QUITREQUESTED();
void CMD_RESET();
