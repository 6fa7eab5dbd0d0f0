// The 20 sounds: weapon shots, pain and death cries in four team voices,
// pick-ups, chat, the win fanfare, the spawn sound and the menu click. Each
// is normalised to -1 dBFS when written.
#include <cmath>

#include "tools/assetgen/assets.h"
#include <string>
#include "tools/assetgen/synth.h"
#include "protocol/weapons.h"

namespace {

// One gunshot: a bright crack, a lower body and a falling thump, then a
// short room tail. `weight` scales the low end and the tail length.
Signal Shot(float weight, uint64_t seed) {
  Rng rng(seed);
  const float length = 0.18f + 0.5f * weight;
  Signal crack = WhiteNoise(length, rng);
  Filter(crack, FilterKind::kHighPass, 900);
  Shape(crack, [](float t) { return ExpDecay(t, 0.012f); });
  Signal body = WhiteNoise(length, rng);
  Filter(body, FilterKind::kLowPass, 1400 - 600 * weight);
  Shape(body, [=](float t) { return ExpDecay(t, 0.04f + 0.08f * weight); });
  Signal thump = Sweep(length, 140 - 60 * weight, 45);
  Shape(thump, [=](float t) { return AttackDecay(t, 0.002f, 0.05f + 0.12f * weight); });
  Signal tail = WhiteNoise(length, rng);
  Filter(tail, FilterKind::kLowPass, 700);
  Shape(tail, [=](float t) { return AttackDecay(t, 0.02f, 0.06f + 0.2f * weight); });

  Signal out;
  MixInto(out, crack, 0, 0.9f);
  MixInto(out, body, 0, 0.8f);
  MixInto(out, thump, 0, 0.5f + 0.5f * weight);
  MixInto(out, tail, 0, 0.25f);
  Saturate(out, 2.5f);
  return out;
}

Signal KnifeSwish() {
  Rng rng(11);
  Signal s = WhiteNoise(0.3f, rng);
  SweepBandPass(s, 700, 4200, 3.0f);
  Shape(s, [](float t) { return std::pow(std::sin(3.14159f * std::min(t / 0.3f, 1.0f)), 2.0f); });
  return s;
}

Signal Mp40Burst() {
  // A crack with the bolt's quick second report right behind it.
  Signal s;
  MixInto(s, Shot(0.2f, 21), 0, 1.0f);
  MixInto(s, Shot(0.15f, 22), 0.06f, 0.55f);
  return s;
}

Signal ChaingunRattle() {
  Signal s;
  for (int i = 0; i < 3; ++i) MixInto(s, Shot(0.12f, 31 + uint64_t(i)), 0.03f * i, 1.0f - 0.15f * i);
  Signal whirr = Saw(0.2f, 95, 0.05f, 30);
  Filter(whirr, FilterKind::kLowPass, 600);
  Shape(whirr, [](float t) { return 0.25f * ExpDecay(t, 0.1f); });
  MixInto(s, whirr);
  return s;
}

Signal RifleBoom() {
  Signal s = Shot(1.0f, 41);
  Rng rng(42);
  Signal echo = WhiteNoise(0.9f, rng);
  Filter(echo, FilterKind::kLowPass, 400);
  Shape(echo, [](float t) { return AttackDecay(t, 0.05f, 0.3f); });
  MixInto(s, echo, 0.04f, 0.35f);
  Saturate(s, 1.5f);
  return s;
}

// Voice parameters of one team: base pitch and character.
struct TeamVoice {
  float pitch;
  float roughness;
  float breath;
  Vowel pain, death;
};

TeamVoice VoiceOf(int team) {
  const Vowel ah{730, 1090, 2440}, uh{520, 1190, 2390}, oh{570, 840, 2410}, eh{530, 1840, 2480}, aa{660, 1700, 2400};
  switch (team) {
    case 0: return {105, 0.01f, 0.06f, uh, ah};        // SS: low, firm
    case 1: return {72, 0.12f, 0.25f, oh, aa};         // mutants: growling, breathy
    case 2: return {135, 0.02f, 0.08f, eh, oh};        // soldiers: middle
    default: return {175, 0.015f, 0.05f, aa, eh};      // officers: high, sharp
  }
}

Signal Pain(int team) {
  const TeamVoice v = VoiceOf(team);
  Rng rng(100 + uint64_t(team));
  VoiceShape voice{0.32f, v.pitch * 1.3f, v.pitch * 1.7f, v.pitch * 1.05f, v.pain, v.pain, v.breath, v.roughness, 0};
  Signal s = Voice(voice, rng);
  Shape(s, [](float t) { return AttackDecay(t, 0.015f, 0.11f); });
  return s;
}

Signal Death(int team) {
  const TeamVoice v = VoiceOf(team);
  Rng rng(200 + uint64_t(team));
  VoiceShape voice{0.95f, v.pitch * 1.4f, v.pitch * 1.8f, v.pitch * 0.6f, v.death, Vowel{450, 900, 2300}, v.breath * 1.5f,
                 v.roughness + 0.02f, 0.03f};
  Signal s = Voice(voice, rng);
  Shape(s, [](float t) { return t < 0.03f ? t / 0.03f : t < 0.5f ? 1.0f : ExpDecay(t - 0.5f, 0.16f); });
  // A last gasp of breath after the cry.
  Signal gasp = WhiteNoise(0.3f, rng);
  Filter(gasp, FilterKind::kBandPass, 900, 1.5f);
  Shape(gasp, [](float t) { return 0.06f * std::sin(3.14159f * t / 0.3f); });
  MixInto(s, gasp, 0.75f);
  return s;
}

void MetalClick(float at, float pitch, Rng& rng, Signal& into) {
  Signal click = WhiteNoise(0.06f, rng);
  Filter(click, FilterKind::kBandPass, pitch, 8);
  Shape(click, [](float t) { return ExpDecay(t, 0.008f); });
  MixInto(into, click, at);
}

Signal AmmoPickup() {
  Rng rng(51);
  Signal s;
  MetalClick(0, 2600, rng, s);
  MetalClick(0.07f, 3400, rng, s);
  Signal clack = Bell(0.15f, {{330, 0.5f, 0.03f}, {990, 0.3f, 0.02f}});
  MixInto(s, clack, 0.07f, 0.6f);
  return s;
}

Signal ArmourPickup() {
  Rng rng(61);
  // An inharmonic metal plate, then a short shimmer that rises.
  Signal s = Bell(0.6f, {{420, 0.6f, 0.15f}, {1130, 0.45f, 0.1f}, {1870, 0.3f, 0.08f}, {2690, 0.2f, 0.05f}});
  Signal hit = WhiteNoise(0.05f, rng);
  Filter(hit, FilterKind::kHighPass, 2000);
  Shape(hit, [](float t) { return ExpDecay(t, 0.006f); });
  MixInto(s, hit);
  Signal shimmer = Sweep(0.35f, 900, 1800);
  Shape(shimmer, [](float t) { return 0.2f * std::sin(3.14159f * t / 0.35f); });
  MixInto(s, shimmer, 0.12f);
  return s;
}

Signal Chime(float frequency, float seconds) {
  return Bell(seconds, {{frequency, 0.7f, 0.25f}, {frequency * 2, 0.25f, 0.12f}, {frequency * 3.01f, 0.1f, 0.06f}});
}

Signal HealthPickup() {
  Signal s;
  MixInto(s, Chime(659, 0.4f), 0, 0.8f);
  MixInto(s, Chime(988, 0.5f), 0.09f, 0.8f);
  return s;
}

Signal ChatBlip() {
  Signal s;
  MixInto(s, Chime(1319, 0.08f), 0, 0.7f);
  MixInto(s, Chime(1760, 0.12f), 0.06f, 0.7f);
  return s;
}

Signal Fanfare() {
  // C E G rising, then a held C major chord on brass-like saws.
  const float c5 = 523.25f, e5 = 659.25f, g5 = 783.99f, c6 = 1046.5f;
  struct Note {
    float at, frequency, length;
  };
  const Note notes[] = {{0, c5, 0.16f},    {0.15f, e5, 0.16f}, {0.3f, g5, 0.16f}, {0.45f, c6, 0.3f},
                        {0.75f, g5, 0.14f}, {0.9f, c6, 0.9f},   {0.9f, e5, 0.9f},  {0.9f, g5, 0.9f}};
  Signal s;
  for (const Note& n : notes) {
    Signal tone = Saw(n.length, n.frequency, n.length > 0.5f ? 0.006f : 0.0f, 5.5f);
    Filter(tone, FilterKind::kLowPass, 2500);
    const float length = n.length;
    Shape(tone, [=](float t) { return std::min(1.0f, t / 0.02f) * std::min(1.0f, (length - t) / 0.06f); });
    MixInto(s, tone, n.at, 0.5f);
  }
  return s;
}

Signal SpawnSound() {
  Rng rng(71);
  Signal rise = Sweep(0.7f, 180, 1400);
  Shape(rise, [](float t) { return 0.5f * std::sin(3.14159f * t / 0.7f); });
  Signal air = WhiteNoise(0.7f, rng);
  SweepBandPass(air, 400, 5000, 2.0f);
  Shape(air, [](float t) { return 0.8f * std::sin(3.14159f * t / 0.7f); });
  Signal s;
  MixInto(s, rise);
  MixInto(s, air);
  for (int i = 0; i < 6; ++i) MixInto(s, Chime(rng.Range(1800, 3200), 0.15f), 0.25f + 0.06f * i, 0.2f);
  return s;
}

Signal MenuClick() {
  Rng rng(81);
  Signal s = Bell(0.04f, {{1200, 0.6f, 0.01f}, {2400, 0.2f, 0.006f}});
  MetalClick(0, 4000, rng, s);
  return s;
}

// A weapon's shot, by its sound number (protocol/weapons.h).
Signal ShotSound(int sound) {
  switch (sound) {
    case 1: return KnifeSwish();
    case 2: return Shot(0.35f, 12);
    case 3: return Mp40Burst();
    case 4: return ChaingunRattle();
    default: return RifleBoom();
  }
}

}  // namespace

std::vector<SoundFile> MakeSounds() {
  std::vector<std::pair<std::string, Signal>> sounds = {
      {"snd_ammo", AmmoPickup()},   {"snd_chat", ChatBlip()},      {"snd_health", HealthPickup()},
      {"snd_armor", ArmourPickup()}, {"snd_score", Fanfare()},      {"snd_spawn", SpawnSound()},
      {"snd_mmove", MenuClick()},
  };
  for (int weapon = 1; weapon <= NUM_WEAPONS; ++weapon) {
    const int sound = WEAPONS[weapon].sound;
    sounds.emplace_back("snd_g" + std::to_string(sound), ShotSound(sound));
  }
  for (int team = 0; team < 4; ++team) {
    sounds.emplace_back("snd_skinD" + std::to_string(team), Death(team));
    sounds.emplace_back("snd_skinP" + std::to_string(team), Pain(team));
  }
  std::vector<SoundFile> out;
  for (auto& [name, signal] : sounds) {
    Filter(signal, FilterKind::kHighPass, 25);  // no DC offset or rumble below hearing
    Declick(signal);
    out.push_back({"sounds/" + name + ".wav", std::move(signal)});
  }
  return out;
}
