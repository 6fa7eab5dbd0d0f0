// Operator commands: typed on the server's standard input (read only when it
// is a terminal or a pipe, and only as far as is waiting: a tick never waits
// for a line) or sent through the control socket. One table names every
// command; the console, the help command, the answer to an unknown command
// and --help all print from it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

struct ConsoleCommand {
  const char* name;
  const char* arguments;    // "SLOT [MINUTES]", "" for none
  const char* description;  // one short line
  void (*run)(std::string_view argument);
};

// Decides, once at start-up, whether standard input (or fd) is read.
void CMD_START(int fd);
// Runs every whole line waiting on the input. At the end of the input (or a
// read error) the input is no longer looked at; the server goes on. A named
// pipe is held open, so it never ends.
void CMD_POLL();
// Runs one command line; the answer goes to the console.
void CMD_RUN(std::string_view line);
// Runs one command line; each line of the answer goes to reply instead.
using CommandReply = void (*)(void* context, std::string_view line);
void CMD_RUNFOR(std::string_view line, CommandReply reply, void* context);
// True after the quit command.
bool CMD_QUITREQUESTED();
// True once a drain has run its course: the match it waited for is over (or
// no player was left to finish one).
bool CMD_DRAINED();
// The commands, each with its arguments and what it does, for --help.
void CMD_PRINTHELP(FILE* out);
void CMD_RESET();
