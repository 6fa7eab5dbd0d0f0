// Every weapon, once: what the server's rules, the client's shots and menu,
// the pictures and sounds it loads and the asset generator read. A new weapon
// is a new row here (and NUM_WEAPONS one more, in protocol.h).
#pragma once

#include <cstdint>

#include "protocol/protocol.h"

struct WeaponSpec {
  const char* name;       // in the message log and kill lines
  const char* menu_text;  // the menu's key-binding line
  uint8_t ammo_type;      // the ammunition counter it uses, 1..2
  uint8_t ammo_per_shot;
  uint8_t reload;       // ticks between shots
  uint8_t fire_anim;    // ticks the server shows the player firing
  uint8_t damage;       // per hit
  uint8_t dispersion;   // the heading cycles -k..k-1 with the server's tick
  uint8_t trace_step;   // position units per step of a shot's trace
  uint16_t trace_range; // position units a shot reaches
  uint8_t fire_pose;    // client: frames its firing pose shows (a stab is seen)
  uint8_t hit_flash;    // client: green and blue taken off the view when hit
  uint8_t picture;      // its HUD pictures hud_g<n>_<frame>.bmp and hud_w<n>.bmp
  uint8_t sound;        // its shot sound snd_g<n>.wav
  uint8_t default_key;  // the key that takes it out, until config.cfg says otherwise
};

// Indexed by weapon 1..NUM_WEAPONS; entry 0 is unused.
inline constexpr WeaponSpec WEAPONS[NUM_WEAPONS + 1] = {
    // name       menu text   ammo take reload anim damage disp step range pose flash pic snd key
    {"",          "",         0,   0,   0,     0,   0,     0,   0,   0,    0,   0,    0,  0,  0},
    {"knife",     "Knife",    1,   0,   20,    8,   50,    0,   10,  49,   10,  80,   1,  1,  '1'},
    {"pistol",    "Pistol",   1,   1,   18,    6,   8,     0,   10,  6000, 6,   30,   2,  2,  '2'},
    {"mp40",      "MP-40",    1,   1,   5,     3,   8,     0,   10,  6000, 3,   30,   3,  3,  '3'},
    {"chaingun",  "Chaingun", 1,   1,   3,     2,   8,     4,   10,  6000, 2,   30,   4,  4,  '4'},
    {"rifle",     "Rifle",    2,   1,   30,    6,   40,    0,   10,  6000, 6,   80,   5,  5,  '5'},
};
