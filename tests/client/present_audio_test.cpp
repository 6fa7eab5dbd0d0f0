// Sound through OpenAL Soft's null output, and the game without any device.
#include <AL/al.h>

#include "client/presentation/audio.h"
#include "client/presentation/renderer.h"
#include "client_test.h"
#include "support/asset_names.h"

namespace {

const std::vector<std::string> SOUND_NAMES = SoundNames();

// One second of a quiet tone, long enough to still play when checked.
Bytes Tone() {
  Bytes s(22050);
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<uint8_t>(128 + (i % 20 < 10 ? 20 : -20));
  return WavBytes(1, 22050, 8, s);
}

ALint SourceInt(uint8_t slot, ALenum what) {
  ALint v = 0;
  alGetSourcei(sound_sources[slot], what, &v);
  return v;
}

float SourceGain(uint8_t slot) {
  ALfloat v = -1;
  alGetSourcef(sound_sources[slot], AL_GAIN, &v);
  return v;
}

class Audio : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    CreateViewSurface();
  }
  void TearDown() override {
    CloseAudio();
    ClientTest::TearDown();
  }
  void StartWithAllSounds() {
    for (const std::string& name : SOUND_NAMES) WriteFile("sounds/" + name + ".wav", Tone());
    InitAudio();
    ASSERT_TRUE(AudioReady()) << "OpenAL's null output should give a device";
  }
};

TEST_F(Audio, MissingAndUndecodableSoundsAreLoggedInLoadOrderAndSilent) {
  WriteFile("sounds/snd_chat.wav", "RIFF\x01\x02\x03");
  WriteFile("sounds/snd_ammo.wav", Tone());
  InitAudio();
  ASSERT_EQ(log_lines.size(), 19u);
  for (int i = 1; i < 20; ++i) EXPECT_EQ(log_lines[i - 1], "sounds/" + SOUND_NAMES[i] + ".wav not found!");
  EXPECT_NE(snd_ammo, 0u);
  EXPECT_EQ(snd_chat, 0u);
  EXPECT_EQ(snd_skinP[3], 0u);
  menu_open = false;
  PlaySound(snd_g[2], 4);  // buffer 0: silence, no harm
}

TEST_F(Audio, TwentyFiveSourcesOfWhichOnlyTheListenersPlaysWhileTheMenuIsOpen) {
  StartWithAllSounds();
  EXPECT_TRUE(log_lines.empty());
  for (int s = 0; s < SOUND_SOURCES; ++s) {
    EXPECT_NE(sound_sources[s], 0u);
    EXPECT_FLOAT_EQ(SourceGain(static_cast<uint8_t>(s)), 0.1f);  // the start volume
  }
  ALint frequency = 0;
  alGetBufferi(snd_g[3], AL_FREQUENCY, &frequency);
  EXPECT_EQ(frequency, 22050);

  menu_open = true;
  PlaySound(snd_g[1], 3);
  EXPECT_NE(SourceInt(3, AL_SOURCE_STATE), AL_PLAYING);
  PlaySound(snd_mmove, 0);
  EXPECT_EQ(SourceInt(0, AL_SOURCE_STATE), AL_PLAYING);
  EXPECT_EQ(static_cast<uint32_t>(SourceInt(0, AL_BUFFER)), snd_mmove);

  menu_open = false;
  PlaySound(snd_g[1], 3);
  PlaySound(snd_g[2], 4);  // two players are heard at once
  EXPECT_EQ(SourceInt(3, AL_SOURCE_STATE), AL_PLAYING);
  EXPECT_EQ(SourceInt(4, AL_SOURCE_STATE), AL_PLAYING);
  EXPECT_EQ(static_cast<uint32_t>(SourceInt(3, AL_BUFFER)), snd_g[1]);
  // A new sound on the same slot replaces the one playing.
  PlaySound(snd_spawn, 3);
  EXPECT_EQ(static_cast<uint32_t>(SourceInt(3, AL_BUFFER)), snd_spawn);
  EXPECT_EQ(SourceInt(3, AL_SOURCE_STATE), AL_PLAYING);
  PlaySound(snd_spawn, 200);  // no such source: ignored
}

TEST_F(Audio, SourcesFollowPlayersAndTheListenerFollowsTheCamera) {
  StartWithAllSounds();
  camera.pos_x = 10.5f;
  camera.pos_y = 20.25f;
  camera.dir_x = 0;
  camera.dir_y = 1;
  view_slot = 2;
  players[2].fx = 40;  // the view player is heard where the camera is
  players[5].fx = 3.5f;
  players[5].fy = 7.25f;
  cfg.volume_factor = 100 / 200.0f;
  UpdateSoundPositions();
  auto position = [](uint8_t slot) {
    ALfloat p[3] = {-1, -1, -1};
    alGetSourcefv(sound_sources[slot], AL_POSITION, p);
    return std::vector<float>(p, p + 3);
  };
  EXPECT_EQ(position(0), (std::vector<float>{10.5f, 20.25f, 0}));
  EXPECT_EQ(position(2), (std::vector<float>{10.5f, 20.25f, 0}));
  EXPECT_EQ(position(5), (std::vector<float>{3.5f, 7.25f, 0}));
  EXPECT_FLOAT_EQ(SourceGain(7), 0.5f);
  ALfloat listener[3], orientation[6];
  alGetListenerfv(AL_POSITION, listener);
  alGetListenerfv(AL_ORIENTATION, orientation);
  EXPECT_EQ(std::vector<float>(listener, listener + 3), (std::vector<float>{10.5f, 20.25f, 0}));
  EXPECT_EQ(std::vector<float>(orientation, orientation + 6), (std::vector<float>{0, 1, 0, 0, 0, -1}));
  cfg.volume_factor = 0;
  UpdateSoundPositions();
  EXPECT_FLOAT_EQ(SourceGain(0), 0.0f);
}

TEST_F(Audio, WithoutADeviceTheGameIsSilentAndCarriesOn) {
  for (const std::string& name : SOUND_NAMES) WriteFile("sounds/" + name + ".wav", Tone());
  WriteFile("sounds/snd_chat.wav", "");
  EXPECT_FALSE(InitAudioDevice("no such sound device"));
  EXPECT_FALSE(AudioReady());
  EXPECT_EQ(LogCount("sounds/snd_chat.wav not found!"), 1);  // files are still checked
  EXPECT_EQ(log_lines.size(), 1u);
  EXPECT_EQ(snd_ammo, 0u);
  menu_open = false;
  PlaySound(snd_ammo, 0);
  PlaySound(snd_g[1], 7);
  UpdateSoundPositions();
  SetVolume();
  CloseAudio();
}

}  // namespace
