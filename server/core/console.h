// The operator's console: a plain scrolling text window. Lines appear at once
// also when the output goes to a pipe or a file. A line is written whole or
// not at all: when standard output cannot take it right now (a stalled pipe
// or terminal), it is dropped and counted rather than holding up the tick,
// and one line tells how many were dropped once output flows again.
#pragma once

#include <cstdio>
#include <string_view>

// Clears the screen, but only when the output is a terminal: a log file or a
// pipe gets no escape sequences.
void CON_CLEAR();
// Writes one line. Bytes that a terminal would act on (control characters,
// DEL, the C1 controls as single bytes 0x80..0x9F or in UTF-8) are shown as
// '?', because names and chat come from the network; bytes 0x80..0x9F inside
// a well-formed UTF-8 character stay.
void CON_WRITELINE(std::string_view text);
// The same safe text, without the line end, to any file (the operator's log).
void CON_WRITESAFE(FILE* out, std::string_view text);
// The same safe text into a buffer of the caller's; how many bytes were
// written (the text is cut at a whole character when it does not fit).
size_t CON_SAFETEXT(std::string_view text, char* out, size_t room);
// Console lines that standard output could not take, since the last notice.
unsigned long CON_DROPPEDLINES();
// Waits for Enter after a start-up failure, but only when there is a terminal
// to read: a detached server (stdin closed, a pipe, /dev/null) goes on at once.
void CON_WAITENTER();

// Tests send the console to a file of their own; nullptr means stdout.
void CON_SETOUTPUT(FILE* out);
void CON_RESET();
