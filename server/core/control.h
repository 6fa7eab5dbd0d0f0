// The control socket (-control PATH): a Unix domain stream socket through
// which local programs steer the server with the console's commands. Its
// mode is 0660, so the file system decides who may steer.
//
// A connection sends command lines and reads each answer in full before the
// next command is read. When the client shuts down its sending side, the
// server answers what it sent and then closes the connection: the end of
// the answer is the end of the stream (how --send reads it). At most
// CONTROL_CONNECTIONS are served at once; a client that sends a line longer
// than the console takes has the rest of it skipped, and one that does not
// read its answers is disconnected rather than waited for.
#pragma once

#include <string_view>

constexpr int CONTROL_CONNECTIONS = 8;

// Removes a stale socket file and listens at path; false with a reason.
bool CONTROL_OPEN(const char* path, const char*& why);
// Once per tick, without waiting: new connections, their command lines, and
// as much of the answers as the clients take.
void CONTROL_POLL();
// Sends what it can of the last answers, closes every connection and removes
// the socket file.
void CONTROL_CLOSE();

// The client side (vornaxdm_server --send PATH COMMAND...): sends one command
// line, prints the answer on standard output. The exit code: 0 answered,
// 1 no server answered (the reason on standard error), 2 bad arguments.
int CONTROL_SEND(int argc, char** argv);
