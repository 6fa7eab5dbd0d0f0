// The message log's lines as the operator reads them: each line appended
// (server/sim/msglog.h) is turned into its display text for the console and,
// quoted and escaped, for the operator's log.
#pragma once

#include "protocol/shortstr.h"

// Prints the line's display text (nothing for an empty line or an unknown
// event code).
void SC_LOGMESS(const ShortStr& line);
