// The operator's log file (-log FILE): one line per event, appended, each
// starting with an ISO 8601 UTC time stamp. Without a file every call does
// nothing. Lines are written through fixed buffers: nothing is allocated.
#pragma once

#include <cstdint>
#include <string_view>

// Opens the file for appending; false (errno set) when it cannot be opened.
bool OPLOG_OPEN(const char* path);
void OPLOG_CLOSE();
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
