// Positional sound effects: 25 OpenAL sources, source 0 for the listener's
// own sounds and source s for player slot s. Without a device every call is
// skipped and the game is silent.
#include "client/presentation/audio.h"

#include <AL/al.h>
#include <AL/alc.h>

#include <fstream>

#include "client/core/client_state.h"
#include "client/core/event_log.h"
#include "client/core/presentation.h"
#include "client/presentation/assets.h"
#include "client/presentation/renderer.h"

uint32_t snd_ammo, snd_chat, snd_health, snd_armor, snd_score, snd_spawn, snd_mmove;
uint32_t snd_g[NUM_WEAPONS + 1];
uint32_t snd_skinD[4];
uint32_t snd_skinP[4];
uint32_t sound_sources[SOUND_SOURCES];

namespace {

ALCdevice* device = nullptr;
ALCcontext* context = nullptr;

bool FileExists(const std::string& path) { return static_cast<bool>(std::ifstream(path, std::ios::binary)); }

ALenum AlFormat(const WavData& wav) {
  if (wav.channels == 1) return wav.bits == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
  return wav.bits == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;
}

void LoadAllSounds() {
  snd_ammo = LoadSound("snd_ammo");
  snd_chat = LoadSound("snd_chat");
  snd_health = LoadSound("snd_health");
  snd_armor = LoadSound("snd_armor");
  snd_score = LoadSound("snd_score");
  snd_spawn = LoadSound("snd_spawn");
  snd_mmove = LoadSound("snd_mmove");
  for (int weapon = 1; weapon <= NUM_WEAPONS; ++weapon) snd_g[weapon] = LoadSound("snd_g" + std::to_string(WEAPONS[weapon].sound));
  for (int team = 0; team < 4; ++team) {
    snd_skinD[team] = LoadSound("snd_skinD" + std::to_string(team));
    snd_skinP[team] = LoadSound("snd_skinP" + std::to_string(team));
  }
}

}  // namespace

bool AudioReady() { return context != nullptr; }

// Opens the device and its context and makes the 25 sources.
static bool OpenDevice(const char* device_name) {
  device = alcOpenDevice(device_name);
  if (!device) return false;
  context = alcCreateContext(device, nullptr);
  if (!context || alcMakeContextCurrent(context) == ALC_FALSE) {
    if (context) alcDestroyContext(context);
    alcCloseDevice(device);
    context = nullptr;
    device = nullptr;
    return false;
  }
  for (uint32_t& source : sound_sources) {
    ALuint name = 0;
    alGenSources(1, &name);
    source = name;
    alSourcef(source, AL_GAIN, cfg.volume_factor);
  }
  return true;
}

bool InitAudioDevice(const char* device_name) {
  CloseAudio();  // starting again (tests do) begins from nothing
  OpenDevice(device_name);
  UpdateSoundPositions();
  LoadAllSounds();
  return context != nullptr;
}

void InitAudio() { InitAudioDevice(nullptr); }

void CloseAudio() {
  if (!context) return;
  for (uint32_t& source : sound_sources) {
    ALuint name = source;
    alSourceStop(name);
    alDeleteSources(1, &name);
    source = 0;
  }
  uint32_t* buffers[] = {&snd_ammo, &snd_chat, &snd_health, &snd_armor, &snd_score, &snd_spawn, &snd_mmove};
  auto release = [](uint32_t& buffer) {
    ALuint name = buffer;
    if (name) alDeleteBuffers(1, &name);
    buffer = 0;
  };
  for (uint32_t* buffer : buffers) release(*buffer);
  for (auto& b : snd_g) release(b);
  for (auto& b : snd_skinD) release(b);
  for (auto& b : snd_skinP) release(b);
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(context);
  alcCloseDevice(device);
  context = nullptr;
  device = nullptr;
}

uint32_t LoadSound(const std::string& name) {
  const std::string path = "sounds/" + name + ".wav";
  WavData wav;
  // A file that cannot be decoded is as good as missing.
  if (!FileExists(path) || !ReadWavFile(path, wav)) {
    LogLine(path + " not found!");
    return 0;
  }
  if (!context) return 0;
  ALuint buffer = 0;
  alGenBuffers(1, &buffer);
  alBufferData(buffer, AlFormat(wav), wav.samples.data(), static_cast<ALsizei>(wav.samples.size()),
               static_cast<ALsizei>(wav.sample_rate));
  return buffer;
}

void PlaySound(uint32_t buffer, uint8_t slot) {
  // While the menu is shown only the listener's own source is heard.
  if (menu_open && slot != 0) return;
  if (!context || slot >= SOUND_SOURCES) return;
  const ALuint source = sound_sources[slot];
  alSourceStop(source);
  alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
  alSourcePlay(source);
}

void PlayCueSound(Cue cue, uint8_t slot, uint8_t variant) {
  switch (cue) {
    case Cue::Ammo: PlaySound(snd_ammo, slot); break;
    case Cue::Armor: PlaySound(snd_armor, slot); break;
    case Cue::Health: PlaySound(snd_health, slot); break;
    case Cue::Chat: PlaySound(snd_chat, slot); break;
    case Cue::Score: PlaySound(snd_score, slot); break;
    case Cue::Spawn: PlaySound(snd_spawn, slot); break;
    case Cue::Shot: PlaySound(snd_g[variant <= NUM_WEAPONS ? variant : 0], slot); break;
    case Cue::Pain: PlaySound(snd_skinP[variant & 3], slot); break;
    case Cue::MenuMove: PlaySound(snd_mmove, slot); break;
  }
}

void SetVolume() {
  if (!context) return;
  for (uint32_t source : sound_sources) alSourcef(source, AL_GAIN, cfg.volume_factor);
}

void UpdateSoundPositions() {
  if (!context) return;
  const ALfloat camera_position[3] = {camera.pos_x, camera.pos_y, 0};
  for (int s = 0; s < SOUND_SOURCES; ++s) {
    const bool at_camera = s == 0 || s == view_slot;
    const ALfloat player_position[3] = {players[s].fx, players[s].fy, 0};
    alSourcefv(sound_sources[s], AL_POSITION, at_camera ? camera_position : player_position);
    alSourcef(sound_sources[s], AL_GAIN, cfg.volume_factor);
  }
  const ALfloat orientation[6] = {camera.dir_x, camera.dir_y, 0, 0, 0, -1};
  alListenerfv(AL_POSITION, camera_position);
  alListenerfv(AL_ORIENTATION, orientation);
}
