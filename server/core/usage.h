// What `vornaxdm_server --help` and `--version` print.
#pragma once

#include <cstdio>

void SV_PRINTUSAGE(FILE* out);
void SV_PRINTVERSION(FILE* out);
