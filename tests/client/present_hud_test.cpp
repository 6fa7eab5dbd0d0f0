// The HUD overlay, and the animation of players and effects.
#include <AL/al.h>

#include "client/presentation/assets.h"
#include "client/presentation/audio.h"
#include "client/presentation/hud.h"
#include "client/presentation/renderer.h"
#include "client_test.h"

namespace {

HudBitmap Picture(int w, int h, uint32_t colour, uint32_t corner) {
  HudBitmap b;
  b.width = w;
  b.height = h;
  b.pixels.assign(static_cast<size_t>(w) * h, colour);
  b.pixels[0] = corner;
  return b;
}

uint32_t Overlay(int x, int y) { return hud_overlay[y * HUD_W + x]; }

class Hud : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    CreateViewSurface();
    menu_open = false;
    hud_panel = Picture(320, 40, 0x404040, 0x404040);
    for (int t = 0; t < 4; ++t) hud_team[t] = Picture(24, 20, 0x100000u * (t + 1), 0x100000u * (t + 1));
    for (int w = 1; w <= 5; ++w) {
      hud_weapon[w] = Picture(40, 20, 0x000100u * w, 0x000100u * w);
      hud_gun[w][0] = Picture(60, 50, 0x0000A0u + w, 0x00FF00);  // green corner: transparent
      hud_gun[w][1] = Picture(60, 50, 0x0000C0u + w, 0x00FF00);
      gun_left[w] = 160 - 30;
      gun_top[w] = 240 - 50 - 40;
    }
    view_slot = my_slot = 1;
  }
};

TEST_F(Hud, SpectatingWithoutAFollowedPlayerLeavesTheOverlayWhite) {
  players[1].state = PS_SPECTATOR;
  DrawHud();
  for (int i = 0; i < HUD_W * HUD_H; ++i) ASSERT_EQ(hud_overlay[i], 0xFFFFFFu) << i;
  view_slot = 0;
  DrawHud();
  EXPECT_EQ(Overlay(5, 235), 0xFFFFFFu);
}

// Dead, a player has no gun; out-of-range values from the snapshot are drawn
// in range and left as they came.
TEST_F(Hud, LivingPlayerSeesGunPanelAndIconsADeadOneNoGun) {
  players[1].state = PS_ALIVE;
  players[1].gun = 3;
  players[1].team = 2;
  DrawHud();
  const int panel_top = 200;
  EXPECT_EQ(Overlay(0, panel_top - 1), 0xFFFFFFu);
  EXPECT_EQ(Overlay(5, panel_top), 0x404040u);
  EXPECT_EQ(Overlay(319, 239), 0x404040u);
  EXPECT_EQ(Overlay(278, panel_top + 14), 0x300000u);  // team 2's icon
  EXPECT_EQ(Overlay(301, panel_top + 33), 0x300000u);
  EXPECT_EQ(Overlay(302, panel_top + 14), 0x404040u);
  EXPECT_EQ(Overlay(218, panel_top + 6), 0x000300u);  // weapon 3's icon
  // The gun stands on the panel; its corner colour is transparent.
  EXPECT_EQ(Overlay(130, 150), 0xFFFFFFu);
  EXPECT_EQ(Overlay(131, 150), 0x0000A3u);
  EXPECT_EQ(Overlay(189, 199), 0x0000A3u);
  EXPECT_EQ(Overlay(190, 199), 0xFFFFFFu);
  // While the firing pose lasts the second picture shows.
  players[1].fire_pose = 2;
  DrawHud();
  EXPECT_EQ(Overlay(131, 150), 0x0000C3u);

  players[1].state = PS_DEAD;
  players[1].gun = 9;
  players[1].team = 6;
  DrawHud();
  EXPECT_EQ(players[1].gun, 9);  // drawn as weapon 5 and team 2
  EXPECT_EQ(players[1].team, 6);
  EXPECT_EQ(Overlay(131, 150), 0xFFFFFFu);
  EXPECT_EQ(Overlay(218, 206), 0x000500u);
  EXPECT_EQ(Overlay(278, panel_top + 14), 0x300000u);
}

// Characters written in the HUD colour from x on, up to the next number:
// the headless platform draws each character as one solid cell.
int TextCells(int x, int until) {
  int cells = 0;
  bool inside = false;
  for (int px = x; px < until; ++px) {
    const bool text = Overlay(px, 200 + 13) == 0xC8DCC8u;
    if (text && !inside) ++cells;
    inside = text;
  }
  return cells;
}

TEST_F(Hud, NumbersShowOwnValuesOrDashesWhenFollowingSomeoneElse) {
  players[1].state = PS_ALIVE;
  players[1].gun = 2;
  players[1].frags = 12;
  health = 100;
  armor = 0;
  ammo[1] = 25;
  ammo[2] = 7;
  DrawHud();
  EXPECT_EQ(TextCells(10, 59), 2);
  EXPECT_EQ(TextCells(59, 116), 3);
  EXPECT_EQ(TextCells(116, 168), 1);
  EXPECT_EQ(TextCells(168, 218), 2);
  players[1].gun = 5;  // the rifle uses the second kind of ammunition
  DrawHud();
  EXPECT_EQ(TextCells(168, 218), 1);

  my_slot = 1;
  view_slot = 5;  // spectating, following slot 5
  players[1].state = PS_SPECTATOR;
  players[5].state = PS_FIRING;
  players[5].frags = 3;
  DrawHud();
  EXPECT_EQ(TextCells(10, 59), 1);
  EXPECT_EQ(TextCells(59, 116), 4);
  EXPECT_EQ(TextCells(116, 168), 4);
  EXPECT_EQ(TextCells(168, 218), 4);
}

TEST_F(Hud, PicturesLargerThanTheOverlayAreClipped) {
  players[1].state = PS_ALIVE;
  players[1].gun = 1;
  hud_gun[1][0] = Picture(500, 300, 0x0000AA, 0x00FF00);
  gun_left[1] = 160 - 250;
  gun_top[1] = 240 - 300 - 40;
  hud_panel = Picture(400, 300, 0x404040, 0);
  DrawHud();
  EXPECT_EQ(Overlay(0, 0), 0x404040u);
  EXPECT_EQ(Overlay(319, 239), 0x404040u);
}

// ---------------------------------------------------------------- animation

class Animation : public Hud {
 protected:
  // Runs animation frames; the sprites change only when anim_tick is 0.
  void Step(int frames = 4) {
    for (int i = 0; i < frames; ++i) {
      anim_tick = static_cast<uint8_t>((anim_tick + 1) % 4);
      AnimatePlayers();
    }
  }
};

TEST_F(Animation, WalkPhaseAdvancesOnlyWhenThePlayerMoved) {
  TClient& p = players[3];
  p.state = PS_ALIVE;
  p.x = p.anim_x = 500;
  p.y = p.anim_y = 600;
  Step();
  EXPECT_EQ(p.walk_phase, 0);
  p.x += 11;
  p.y += 11;
  Step(4);
  EXPECT_EQ(p.walk_phase, 1);
  EXPECT_EQ(p.anim_x, 511);
  p.x += 50;
  Step(4);
  EXPECT_EQ(p.walk_phase, 2);
  for (int i = 0; i < 2; ++i) {
    p.x += 1;
    Step(4);
  }
  EXPECT_EQ(p.walk_phase, 0);
}

TEST_F(Animation, DirectionSeenFromTheCamera) {
  TClient& p = players[3];
  p.state = PS_ALIVE;
  p.anim_x = p.x;  // standing still: walk phase 0
  p.anim_y = p.y;
  net_angle = 0;
  struct Case {
    uint16_t dir;
    int frame;
    bool mirrored;
  };
  for (const Case c : {Case{0, 0, false}, Case{180, 16, false}, Case{90, 8, true}, Case{270, 8, false},
                       Case{45, 4, true}, Case{315, 4, false}, Case{135, 12, true}, Case{225, 12, false}}) {
    p.dir = c.dir;
    Step();
    EXPECT_EQ(p.sprite_frame, c.frame) << c.dir;
    EXPECT_EQ(p.mirrored != 0, c.mirrored) << c.dir;
  }
  p.fire_pose = 5;  // firing pose: frame 20 + direction
  p.dir = 180;
  Step(1);
  Step(3);
  EXPECT_EQ(p.sprite_frame, 24);
}

TEST_F(Animation, DyingPlaysItsSoundOnceAndRestsOnTheLastFrame) {
  std::vector<uint8_t> long_sound(44100, 128);
  WriteFile("sounds/snd_skinD2.wav", WavBytes(1, 22050, 8, long_sound));
  InitAudio();
  ASSERT_TRUE(AudioReady());
  TClient& p = players[6];
  p.state = PS_DEAD;
  p.team = 2;
  p.sprite_frame = 9;
  std::vector<int> frames;
  for (int i = 0; i < 7; ++i) {
    Step();
    frames.push_back(p.sprite_frame);
    ALint state = 0, buffer = 0;
    alGetSourcei(sound_sources[6], AL_SOURCE_STATE, &state);
    alGetSourcei(sound_sources[6], AL_BUFFER, &buffer);
    EXPECT_EQ(state == AL_PLAYING, i == 0) << i;
    if (i == 0) {
      EXPECT_EQ(static_cast<uint32_t>(buffer), snd_skinD[2]);
    }
    alSourceStop(sound_sources[6]);
  }
  EXPECT_EQ(frames, (std::vector<int>{25, 26, 27, 28, 29, 29, 29}));
  CloseAudio();
}

TEST_F(Animation, EffectsAgeAndBloodSinks) {
  effects[0] = TEffect{1, 1, 0, EFFECT_BLOOD, 102};
  effects[1] = TEffect{1, 1, 0, EFFECT_PUFF, 120};
  effects[2] = TEffect{1, 1, 3, EFFECT_SPAWN, 0};
  anim_tick = 1;
  AnimatePlayers();  // not an animation step
  EXPECT_EQ(effects[0].frame, 0);
  Step(3);  // anim_tick reaches 0
  EXPECT_EQ(effects[0].frame, 1);
  EXPECT_EQ(effects[0].value, 67);
  EXPECT_EQ(effects[1].value, 120);
  EXPECT_EQ(effects[2].frame, 4);  // free after its fourth image
  Step(4);
  Step(4);
  EXPECT_EQ(effects[0].value, 0);
  EXPECT_EQ(effects[0].frame, 3);
  Step(4);
  EXPECT_EQ(effects[0].frame, 4);
  EXPECT_EQ(effects[2].frame, 4);
}

// A whole frame: other players appear in the view, the own one does not.
TEST_F(Animation, OtherPlayersAreDrawnButNotTheViewPlayer) {
  for (int f = 0; f < 30; ++f) {
    SpriteImage& s = skin_images[1][f];
    s = SpriteImage{};
    s.width = s.height = 64;
    for (auto& t : s.texels) t = 0xAA0000u + static_cast<uint32_t>(f);
    s.texels[0] = 1;
  }
  players[1].state = PS_ALIVE;
  players[1].team = 1;
  local_x = 10 * 64 + 32;
  local_y = 10 * 64 + 32;
  players[1].fx = 11.0f;  // the view player's last reported position, just ahead of the camera
  players[1].fy = 10.5f;
  players[2].state = PS_ALIVE;
  players[2].team = 1;
  players[2].fx = 12.5f;
  players[2].fy = 10.5f;
  players[2].dir = 180;  // facing the camera
  players[2].sprite_frame = 16;
  RenderFrame();
  EXPECT_EQ(view_surface[200 * VIEW_W + 200], 0xAA0010u);
  players[2].state = PS_SPECTATOR;
  RenderFrame();
  EXPECT_NE(view_surface[200 * VIEW_W + 200] & 0xFFFF00, 0xAA0000u);
}

}  // namespace
