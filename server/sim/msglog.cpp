#include "server/sim/msglog.h"

#include "server/sim/hooks.h"

ShortStr SV_LOG[LOG_LINES];
uint16_t SV_LOGI;

void SV_CLEARLOG() {
  for (auto& line : SV_LOG) line.clear();
  SV_LOGI = 0;
}

void SV_ADDMSG(const ShortStr& line) {
  SV_LOGI = static_cast<uint16_t>(SV_LOGI + 1);
  for (int k = LOG_LINES - 2; k >= 0; --k) SV_LOG[k + 1] = SV_LOG[k];
  SV_LOG[0] = line;
  SV_HOOKS.message_logged(line);
}
