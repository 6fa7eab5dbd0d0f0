// The message log: the newest 97 event lines, numbered from 1. Each line
// appended is handed to SV_HOOKS.message_logged, which the program prints
// (server/core/log_echo.h).
#pragma once

#include <cstdint>

#include "protocol/shortstr.h"

constexpr int LOG_LINES = 97;

extern ShortStr SV_LOG[LOG_LINES];  // index 0 is the newest line
extern uint16_t SV_LOGI;            // lines appended so far = number of the newest

void SV_CLEARLOG();
void SV_ADDMSG(const ShortStr& line);
