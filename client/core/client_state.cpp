#include "client/core/client_state.h"

#include <cstring>

#include "client/core/connection.h"
#include "client/core/input.h"
#include "client/core/prediction.h"
#include "client/core/session.h"
#include "client/core/world.h"

ClientSettings cfg;
TClient players[MAX_SLOTS + 1];

uint8_t conn_state;
bool awaiting_info;
uint8_t my_slot;
uint8_t view_slot;
uint16_t local_x, local_y;
float view_angle;
uint16_t net_angle;
uint8_t action;
uint8_t health;
uint8_t armor;
uint8_t ammo[3];
uint16_t server_tick;
uint16_t restart_countdown;
uint16_t log_ack;
std::string server_name, map_name;
uint8_t score_limit, max_players, team_play;

uint8_t map_text[MAP_TEXT_SIZE + 1];
char map_grid[66][66];
TMapObject decorations[MAX_DECORATIONS + 1];
TMapItem map_items[MAX_MAP_ITEMS + 1];
TEffect effects[MAX_EFFECTS];
uint32_t ceiling_colour, floor_colour;
uint16_t history_x[HISTORY_LEN], history_y[HISTORY_LEN];

uint8_t key_state[256];
uint8_t last_char;
uint8_t last_key;
bool menu_open;
bool chat_active;
std::string chat_line;
std::vector<std::string> log_lines;
uint16_t log_scroll;
uint8_t log_rows;
uint8_t announce_timer;
uint8_t frame_counter;
uint8_t anim_tick;
int32_t mouse_anchor_x, mouse_anchor_y;

uint32_t view_surface[VIEW_W * VIEW_H];
uint32_t hud_overlay[HUD_W * HUD_H];
bool image1_visible;
bool cursor_visible;

void ResetPlayersAtStartUp() {
  for (auto& p : players) {
    p = TClient{};
    p.x = p.y = 65;
    p.fx = p.fy = 65.0f / 64.0f;
  }
}

void ResetConnectionAtStartUp() {
  conn_state = CS_IDLE;
  awaiting_info = false;
  my_slot = 1;
  view_slot = 0;
  local_x = local_y = 65;
  view_angle = 0;
  net_angle = 0;
  action = ACT_NONE;
  health = 100;
  armor = 0;
  ammo[0] = ammo[1] = ammo[2] = 0;
  server_tick = 0;
  restart_countdown = 0;
  log_ack = 0;
  server_name.clear();
  map_name.clear();
  score_limit = max_players = team_play = 0;
  ClearHistory();
  ResetPrediction();
  ResetConnectionState();
  ResetSession();
  ResetLocalPort();
}

void ResetInputAtStartUp() {
  std::memset(key_state, 0, sizeof key_state);
  ResetKeyReleases();
  last_char = last_key = 0;
  chat_active = false;
  chat_line.clear();
  mouse_anchor_x = mouse_anchor_y = 0;
}

void ResetInterfaceAtStartUp() {
  menu_open = true;
  log_lines.clear();
  log_scroll = 0;
  log_rows = 7;
  announce_timer = 0;
  frame_counter = 0;
  anim_tick = 0;
  std::memset(view_surface, 0, sizeof view_surface);
  std::memset(hud_overlay, 0xFF, sizeof hud_overlay);
  image1_visible = false;
  cursor_visible = true;
  ClearFrameClock();
}

void ResetClientState() {
  cfg = ClientSettings{};
  ResetMapModelAtStartUp();
  ResetPlayersAtStartUp();
  ResetConnectionAtStartUp();
  ResetInputAtStartUp();
  ResetInterfaceAtStartUp();
}

namespace {
struct InitialClientState {
  InitialClientState() { ResetClientState(); }
} initial_client_state;
}  // namespace
