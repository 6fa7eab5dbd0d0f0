// Server-controlled players.
#pragma once

#include <cstdint>

void SV_BOTZ();
void SV_ADDBOT();
void BOT_CODE(uint8_t slot);
void BOT_MOVE(uint8_t slot);
void BOT_TRYMOVE(uint8_t slot);
void BOT_TRAGET(uint8_t slot);
void BOT_ATTACK(uint8_t slot);
bool BOT_CHECK_ENEMY(uint8_t bot, uint8_t other);
void BOT_CHOOSE_GUN(uint8_t slot);
bool LINE_SEE(uint16_t x1, uint16_t y1, uint16_t x2, uint16_t y2);
uint16_t P_DIR(uint16_t x1, uint16_t y1, uint16_t x2, uint16_t y2);
int16_t DIR_DIFF(uint16_t a, uint16_t b);
uint16_t DIR_TURN(uint16_t current, uint16_t target, uint8_t step);
// The goal generator back to MT19937 seeded with 0.
void BOT_RESETRNG();
