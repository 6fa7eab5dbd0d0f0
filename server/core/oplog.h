// The operator's log file (-log FILE): one line per event, appended, each
// starting with an ISO 8601 UTC time stamp. Without a file every call does
// nothing. Lines are written through fixed buffers: nothing is allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Opens the file for appending; false (errno set) when it cannot be opened.
bool OPLOG_OPEN(const char* path);
void OPLOG_CLOSE();
bool OPLOG_ACTIVE();

// One line: the time stamp, a space, the text with control bytes written
// as \xHH, so a new line can only start with a time stamp.
void OPLOG_LINE(std::string_view text);
// Appends `s` to out[len .. cap) as the log shows a name or a player's text:
// `\` and `"` escaped as \\ and \", control bytes (0x00-0x1F, 0x7F) as \xHH.
// What does not fit is cut.
void OPLOG_ESCAPE(std::string_view s, char* out, size_t cap, size_t& len);

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
