#include "tools/assetgen/assets.h"
std::vector<PictureFile> MakeItems() { return {}; }
std::vector<PictureFile> MakeEffects() { return {}; }
std::vector<PictureFile> MakeHud() { return {}; }
std::vector<SoundFile> MakeSounds() { return {}; }
