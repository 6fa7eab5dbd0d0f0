#include "server/sim/hooks.h"

namespace {

void NoLine(std::string_view) {}
void NoWait() {}
void NoMessage(const ShortStr&) {}
void NoSlot(uint8_t) {}
void NoGiveUp(uint8_t, const char*) {}
void NoMap() {}

constexpr ServerHooks SILENT = {NoLine, NoLine, NoWait, NoMessage, NoSlot, NoGiveUp, NoMap};

}  // namespace

ServerHooks SV_HOOKS = SILENT;

void SV_RESETHOOKS() { SV_HOOKS = SILENT; }
