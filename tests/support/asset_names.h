// The names of the game's picture and sound files, in the order the client
// loads them, for the tests that write, generate or break them.
#pragma once

#include <string>
#include <vector>

// prefix + first .. last + suffix: Numbered("it", 0, 9, ".bmp") is it0.bmp .. it9.bmp.
inline std::vector<std::string> Numbered(const std::string& prefix, int first, int last, const std::string& suffix) {
  std::vector<std::string> names;
  for (int i = first; i <= last; ++i) names.push_back(prefix + std::to_string(i) + suffix);
  return names;
}

inline std::vector<std::string> Lettered(const std::string& prefix, char first, char last, const std::string& suffix) {
  std::vector<std::string> names;
  for (char c = first; c <= last; ++c) names.push_back(prefix + c + suffix);
  return names;
}

// The 30 frames of each team's skin.
inline std::vector<std::string> SkinNames(const std::string& suffix) {
  std::vector<std::string> names;
  for (int team = 0; team < 4; ++team)
    for (const std::string& n : Numbered("skin_" + std::to_string(team) + "_", 0, 29, suffix)) names.push_back(n);
  return names;
}

// The HUD's pictures: the panel, the team icons, each weapon's gun idle and
// firing, the weapon icons.
inline std::vector<std::string> HudNames(const std::string& suffix) {
  std::vector<std::string> names = {"hudpanel" + suffix};
  for (const std::string& n : Numbered("hud_team_", 0, 3, suffix)) names.push_back(n);
  for (int w = 1; w <= 5; ++w)
    for (int f = 0; f < 2; ++f) names.push_back("hud_g" + std::to_string(w) + "_" + std::to_string(f) + suffix);
  for (const std::string& n : Numbered("hud_w", 1, 5, suffix)) names.push_back(n);
  return names;
}

// The 20 sounds, without their ".wav".
inline std::vector<std::string> SoundNames() {
  std::vector<std::string> names = {"snd_ammo", "snd_chat", "snd_health", "snd_armor", "snd_score", "snd_spawn", "snd_mmove"};
  for (const std::string& n : Numbered("snd_g", 1, 5, "")) names.push_back(n);
  for (int t = 0; t < 4; ++t) {
    names.push_back("snd_skinD" + std::to_string(t));
    names.push_back("snd_skinP" + std::to_string(t));
  }
  return names;
}
