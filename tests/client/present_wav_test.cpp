// The WAV reader on files written by the tests, good and broken.
#include "client/presentation/assets.h"
#include "client_test.h"

namespace {

Bytes Samples(size_t n) {
  Bytes s(n);
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<uint8_t>(i * 7);
  return s;
}

bool Parse(const Bytes& bytes, WavData& out) { return ParseWav(bytes.data(), bytes.size(), out); }

void SetLe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(WavReader, ReadsTheFourPcmFormatsWholeFramesOnly) {
  struct Case {
    uint16_t channels, bits;
    uint32_t rate;
    size_t samples, kept;
  };
  for (const Case c : {Case{1, 8, 11025, 400, 400}, Case{1, 16, 22050, 400, 400}, Case{2, 8, 44100, 400, 400},
                       Case{2, 16, 8000, 400, 400}, Case{2, 16, 8000, 10, 8}}) {
    WavData wav;
    ASSERT_TRUE(Parse(WavBytes(c.channels, c.rate, c.bits, Samples(c.samples)), wav));
    EXPECT_EQ(wav.channels, c.channels);
    EXPECT_EQ(wav.bits, c.bits);
    EXPECT_EQ(wav.sample_rate, c.rate);
    EXPECT_EQ(wav.samples, Samples(c.kept));
  }
}

TEST(WavReader, SkipsOtherChunksALongerFormatChunkAndTrailingJunk) {
  WavData wav;
  ASSERT_TRUE(Parse(WavBytes(1, 8000, 8, Samples(10), {Chunk("LIST", Samples(13)), Chunk("fact", {1, 2, 3, 4})}), wav));
  EXPECT_EQ(wav.samples, Samples(10));

  // A format chunk of 18 bytes: two extra bytes before the next chunk.
  Bytes longer = WavBytes(1, 8000, 16, Samples(8));
  SetLe32(longer, 16, 18);
  longer.insert(longer.begin() + 36, {0, 0});
  ASSERT_TRUE(Parse(longer, wav));
  EXPECT_EQ(wav.bits, 16);
  EXPECT_EQ(wav.samples, Samples(8));

  Bytes junk = WavBytes(2, 8000, 16, Samples(16));
  junk.insert(junk.end(), {'J', 'U', 'N', 'K', 0xFF, 0xFF, 0xFF, 0x7F, 1, 2});  // says 2 GB follow
  ASSERT_TRUE(Parse(junk, wav));
  EXPECT_EQ(wav.samples, Samples(16));
  junk.push_back(9);  // and a few bytes too short to be a chunk
  ASSERT_TRUE(Parse(junk, wav));
}

TEST(WavReader, BrokenFilesAreRefused) {
  const Bytes good = WavBytes(1, 8000, 16, Samples(100));
  std::vector<std::pair<std::string, Bytes>> cases = {
      {"empty", {}},
      {"no data chunk", Bytes(good.begin(), good.begin() + 36)},
      {"cut in the data", Bytes(good.begin(), good.end() - 10)},
      {"no samples", WavBytes(1, 8000, 16, {})},
      {"24-bit", WavBytes(1, 8000, 24, Samples(30))},
      {"six channels", WavBytes(6, 8000, 16, Samples(120))},
      {"rate zero", WavBytes(1, 0, 16, Samples(10))},
      {"lying data length", good},
      {"format chunk past the end", good},
      {"format chunk too short", good},
      {"lying chunk before the data", WavBytes(1, 8000, 8, Samples(10), {Chunk("LIST", Samples(4))})},
  };
  SetLe32(cases[7].second, 40, 0xFFFFFFF0u);  // the data chunk claims 4 GB
  SetLe32(cases[8].second, 16, 0x7FFFFFFF);
  SetLe32(cases[9].second, 16, 4);
  SetLe32(cases[10].second, 40, 1000);  // the LIST chunk hides the data chunk
  for (const auto& [name, bytes] : cases) {
    WavData wav;
    wav.channels = 77;
    EXPECT_FALSE(Parse(bytes, wav)) << name;
    EXPECT_EQ(wav.channels, 77) << name;  // untouched
  }
  WavData wav;
  EXPECT_FALSE(ParseWav(nullptr, 0, wav));
}

TEST_F(ClientTest, WavFilesAreReadFromDiskAndMissingOnesRefused) {
  WriteFile("sounds/a.wav", WavBytes(1, 22050, 8, Samples(50)));
  WriteFile("sounds/dir.wav/x", "");
  WavData wav;
  ASSERT_TRUE(ReadWavFile("sounds/a.wav", wav));
  EXPECT_EQ(wav.samples.size(), 50u);
  EXPECT_FALSE(ReadWavFile("sounds/missing.wav", wav));
  EXPECT_FALSE(ReadWavFile("sounds/dir.wav", wav));
}

}  // namespace
