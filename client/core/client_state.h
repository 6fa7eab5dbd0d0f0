// The client's global state: connection, own player, the player table, the
// map model, input and interface state, and the settings of config.cfg.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "client/core/keys.h"
#include "protocol/protocol.h"
#include "protocol/rules.h"
#include "protocol/weapons.h"

constexpr int MAX_DECORATIONS = 128;
constexpr int MAX_MAP_ITEMS = 128;
constexpr int MAX_EFFECTS = 64;
constexpr int HISTORY_LEN = 40;

constexpr uint8_t CS_IDLE = 0;
constexpr uint8_t CS_CONNECTING = 1;
constexpr uint8_t CS_CONNECTED = 2;

constexpr uint8_t EFFECT_BLOOD = 0;
constexpr uint8_t EFFECT_PUFF = 1;
constexpr uint8_t EFFECT_SPAWN = 2;

struct TClient {
  std::string name;
  uint16_t anim_x, anim_y;  // position at the last walk-animation step
  uint16_t x, y;            // position units, clamped 65..4159
  uint16_t dir;
  uint8_t ping;             // round trip in units of 33 ms
  uint8_t frags;
  uint8_t gun;              // 1..5
  uint8_t team;             // 0..3
  uint8_t prev_state;
  uint8_t state;            // PS_NONE .. PS_FIRING
  uint8_t walk_phase;       // 0..3
  uint8_t sprite_frame;     // 0..29
  uint8_t shot_timer;       // frames before another shot of this player is traced
  uint8_t fire_pose;        // frames the firing pose is still shown
  float fx, fy;             // x/64, y/64
  uint8_t mirrored;
};

struct TMapObject {
  float x, y;    // cells; cell centre = column or row + 0.5
  uint8_t kind;  // map character; 0 = unused
};

struct TMapItem {
  uint8_t kind;     // map character '0'..'9'
  uint8_t present;  // listed as present by the latest snapshot
  float x, y;
};

struct TEffect {
  float x, y;
  uint8_t frame;  // 0..3 running, 4 or more = free
  uint8_t kind;   // EFFECT_BLOOD, EFFECT_PUFF, EFFECT_SPAWN
  uint8_t value;  // hang offset used when drawing
};

// The key that takes out each weapon until config.cfg says otherwise.
constexpr std::array<uint8_t, NUM_WEAPONS + 1> DefaultGunKeys() {
  std::array<uint8_t, NUM_WEAPONS + 1> keys{};
  for (int w = 1; w <= NUM_WEAPONS; ++w) keys[w] = WEAPONS[w].default_key;
  return keys;
}

// Settings kept in config.cfg; the comments give the file keys.
struct ClientSettings {
  std::string name = "VornaxPlayer";        // name
  uint8_t team = 0;                         // team, 0..3
  uint8_t ms = 100;                         // ms, mouse speed 0..100
  uint8_t sv = 100;                         // sv, sound volume 0..100
  uint8_t key_forward = 'W';                // mf
  uint8_t key_backward = 'S';               // mb
  uint8_t key_left = 'A';                   // sl
  uint8_t key_right = 'D';                  // sr
  uint8_t key_attack = VK_LBUTTON;          // at
  uint8_t key_specjoin = 'G';               // js
  uint8_t key_chat = 'T';                   // ch
  std::array<uint8_t, NUM_WEAPONS + 1> key_gun = DefaultGunKeys();  // g1..g5
  uint8_t key_screenshot = VK_F12;          // scr
  std::string server_address = "127.0.0.1"; // svip, at most 16 characters
  uint16_t server_port = 10666;             // svport
  uint16_t window_width = 800;              // ww
  uint8_t start_maximised = 0;              // fscr
  // Until ms or sv is read or changed both factors are 0.1.
  float mouse_factor = 0.1f;
  float volume_factor = 0.1f;
};

// ---- Settings (config.cfg): per process, kept across connections and maps.
extern ClientSettings cfg;

// ---- Map model (world.cpp, session.cpp): per map. At start-up nothing is
// loaded (items of kind 0 and effects on frame 4 are unused); a new map
// clears it (ClearMap) before its text is decoded.
extern uint8_t map_text[MAP_TEXT_SIZE + 1];  // positions 1..4222, NUL-terminated
extern char map_grid[66][66];                // [column][row]; ring 0 and 65 is '['
extern TMapObject decorations[MAX_DECORATIONS + 1];  // 1..128
extern TMapItem map_items[MAX_MAP_ITEMS + 1];        // 1..128
extern TEffect effects[MAX_EFFECTS];                 // 0..63
extern uint32_t ceiling_colour, floor_colour;        // 0x00RRGGBB
extern uint16_t history_x[HISTORY_LEN], history_y[HISTORY_LEN];  // oldest first

void ResetMapModelAtStartUp();
// ClearMap (world.h) is the map-change reset of this group.

// ---- Players and connection (session.cpp, connection.cpp, prediction.cpp):
// per connection; a map change keeps them, the game info of the new map
// overwrites what it carries.
// Players, slots 1..24; entry 0 is unused.
extern TClient players[MAX_SLOTS + 1];
extern uint8_t conn_state;
extern bool awaiting_info;
extern uint8_t my_slot;
extern uint8_t view_slot;
extern uint16_t local_x, local_y;
extern float view_angle;
extern uint16_t net_angle;
extern uint8_t action;
extern uint8_t health;
extern uint8_t armor;
extern uint8_t ammo[3];  // 1..2
extern uint16_t server_tick;
extern uint16_t restart_countdown;
extern uint16_t log_ack;
extern std::string server_name, map_name;
extern uint8_t score_limit, max_players, team_play;

void ResetPlayersAtStartUp();
// The connection's fields, its watch, prediction and own-position history.
void ResetConnectionAtStartUp();

// ---- Input (input.cpp): per process.
extern uint8_t key_state[256];
extern uint8_t last_char;
extern uint8_t last_key;
extern bool chat_active;
extern std::string chat_line;
extern int32_t mouse_anchor_x, mouse_anchor_y;

// Keys, chat and the mouse anchor, and the key releases still pending.
void ResetInputAtStartUp();

// ---- Interface (labels, event log, whether the menu is open, the pictures
// shown): per process. The menu's selection is the menu model's (ResetMenu);
// the presentation's own state (camera, picture budget) is reset by
// ResetClient in client/frame.
extern bool menu_open;
extern std::vector<std::string> log_lines;
extern uint16_t log_scroll;
extern uint8_t log_rows;
extern uint8_t announce_timer;
extern uint8_t frame_counter;
extern uint8_t anim_tick;

// The two pictures the window shows stretched over its client area: the 3D
// view the renderer writes and the HUD overlay (white is transparent).
constexpr int VIEW_W = 400;
constexpr int VIEW_H = 300;
constexpr int HUD_W = 320;
constexpr int HUD_H = 240;
extern uint32_t view_surface[VIEW_W * VIEW_H];  // row-major, top row first
extern uint32_t hud_overlay[HUD_W * HUD_H];     // row-major, top row first
extern bool image1_visible;                     // the 3D view; hidden while the menu is open
extern bool cursor_visible;

// The interface state above and the frame-rate clock (the labels have
// ResetLabels, which runs at start-up).
void ResetInterfaceAtStartUp();

// Every group of the core back to its start-up value, settings included;
// tests call it (through ResetClient, which adds the presentation's state)
// before each case.
void ResetClientState();
