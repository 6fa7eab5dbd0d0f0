// The message log: the newest 97 event lines, numbered from 1, printed on
// the console as they are appended.
#pragma once

#include <cstdint>

#include "protocol/shortstr.h"

constexpr int LOG_LINES = 97;

extern ShortStr SV_LOG[LOG_LINES];  // index 0 is the newest line
extern uint16_t SV_LOGI;            // lines appended so far = number of the newest

void SV_CLEARLOG();
void SV_ADDMSG(const ShortStr& line);
// Turns a line into its display text and prints it (nothing for an empty
// line or an unknown event code).
void SC_LOGMESS(const ShortStr& line);
