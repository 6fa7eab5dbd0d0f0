// `vornaxdm_server --probe HOST:PORT [SECONDS]`: asks one server the status
// query and prints one line (name, map, players/maximum, ping), for a
// health check where only the server is installed. 0 when it answered, 1
// when it did not within SECONDS (2 by default) or the name did not
// resolve, 2 for bad arguments.
#pragma once

#include <cstdio>

// args are what follows --probe.
int SV_PROBE(int count, char** args, FILE* out, FILE* err);
