// Positional sound effects through OpenAL. Without a device the game is
// silent and every call does nothing.
#pragma once

#include <cstdint>
#include <string>

#include "client/core/presentation.h"
#include "protocol/weapons.h"

// OpenAL buffer names; 0 (a missing file) plays as silence.
extern uint32_t snd_ammo, snd_chat, snd_health, snd_armor, snd_score, snd_spawn, snd_mmove;
extern uint32_t snd_g[NUM_WEAPONS + 1];  // weapon 1..NUM_WEAPONS
extern uint32_t snd_skinD[4];  // team 0..3
extern uint32_t snd_skinP[4];  // team 0..3

constexpr int SOUND_SOURCES = 25;
// Source 0 is the listener's, source s belongs to player slot s.
extern uint32_t sound_sources[SOUND_SOURCES];

void InitAudio();
// InitAudio on a named device; a device that cannot be opened leaves the game
// silent. Returns whether sound is available.
bool InitAudioDevice(const char* device_name);
bool AudioReady();
// Releases the device, its sources and buffers (tests start afresh with it).
void CloseAudio();
void PlaySound(uint32_t buffer, uint8_t slot);
// The sound of a cue of the core (core/presentation.h).
void PlayCueSound(Cue cue, uint8_t slot, uint8_t variant);
void UpdateSoundPositions();
void SetVolume();  // applies cfg.volume_factor to every source
uint32_t LoadSound(const std::string& name);
