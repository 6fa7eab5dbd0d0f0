// assetgen OUTDIR: writes every picture (OUTDIR/sprites/*.bmp) and sound
// (OUTDIR/sounds/*.wav) the client loads. assetgen --icon FILE writes the
// desktop icon, a 256 x 256 PNG. The output depends on nothing but this
// program, so every run writes the same bytes.
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/assetgen/assets.h"
#include "tools/assetgen/files.h"

namespace {

bool WritePictures(const std::filesystem::path& root, const std::vector<PictureFile>& pictures) {
  for (const PictureFile& p : pictures)
    if (!WriteFileBytes((root / p.path).string(), EncodeBmp(p.width, p.height, p.pixels))) {
      std::fprintf(stderr, "assetgen: cannot write %s\n", (root / p.path).c_str());
      return false;
    }
  return true;
}

bool WriteSounds(const std::filesystem::path& root, const std::vector<SoundFile>& sounds) {
  for (const SoundFile& s : sounds) {
    PcmStats stats;
    // -1 dBFS leaves headroom for the resampling OpenAL may do.
    const auto bytes = EncodeWav(s.samples, kSampleRate, -1.0f, &stats);
    if (!WriteFileBytes((root / s.path).string(), bytes)) {
      std::fprintf(stderr, "assetgen: cannot write %s\n", (root / s.path).c_str());
      return false;
    }
    std::printf("%-24s %6.3f s  peak %.2f dBFS\n", s.path.c_str(), double(s.samples.size()) / kSampleRate,
                double(stats.peak_dbfs));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--icon") {
    const IconFile icon = MakeIcon();
    if (WriteFileBytes(argv[2], EncodePng(icon.width, icon.height, icon.pixels, icon.alpha))) return 0;
    std::fprintf(stderr, "assetgen: cannot write %s\n", argv[2]);
    return 1;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: assetgen OUTDIR | assetgen --icon FILE.png\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  std::error_code error;
  std::filesystem::create_directories(root / "sprites", error);
  std::filesystem::create_directories(root / "sounds", error);
  if (error) {
    std::fprintf(stderr, "assetgen: cannot create folders in %s\n", root.c_str());
    return 1;
  }
  bool ok = true;
  for (auto make : {MakeWallTextures, MakeDecorations, MakeItems, MakeSkins, MakeEffects, MakeHud})
    ok = ok && WritePictures(root, make());
  ok = ok && WriteSounds(root, MakeSounds());
  return ok ? 0 : 1;
}
