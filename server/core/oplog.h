// The operator's log file (-log FILE): one line per event, appended, each
// starting with an ISO 8601 UTC time stamp. Without a file every call does
// nothing. Lines are written through fixed buffers: nothing is allocated.
// Each line goes out in one write, whole or not at all. A write that fails
// (a full disk) is reported on standard error once, with the reason; the
// lines lost meanwhile are counted and the count is written to the file as
// soon as writing works again.
#pragma once

#include <cstdint>
#include <string_view>

// Opens the file for appending (created with mode 0640); false (errno set) when it cannot be opened.
bool OPLOG_OPEN(const char* path);
void OPLOG_CLOSE();
// Opens the same path again (after logrotate moved the file away) and goes
// on there; on failure the old file is kept and standard error says why.
bool OPLOG_REOPEN();
// Lines lost since the last one that reached the file.
unsigned long OPLOG_LOSTLINES();
bool OPLOG_ACTIVE();

// One line: the time stamp, a space, the text with control bytes shown as '?'.
void OPLOG_LINE(std::string_view text);

// Port, rotation, bots and limits, once the socket is up.
void OPLOG_STARTUP();
// A player came in: slot, name, address and port (or "bot").
void OPLOG_CONNECT(uint8_t slot);
// A slot is given up; reason says why ("disconnect", "time-out", ...).
void OPLOG_SLOTGIVENUP(uint8_t slot, const char* reason);
// The current map starts, or ends with the scores of every player (and team).
void OPLOG_MAPSTART();
void OPLOG_MAPEND();
// The server stops: the map ends, then a last line with the reason.
void OPLOG_STOP(const char* reason);
