// The WAV reader on files written by the tests, good and broken.
#include <gtest/gtest.h>

#include "client/presentation/assets.h"
#include "present_test_util.h"

using namespace present_test;

namespace {

std::vector<uint8_t> Samples(size_t n) {
  std::vector<uint8_t> s(n);
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<uint8_t>(i * 7);
  return s;
}

bool Parse(const std::vector<uint8_t>& bytes, WavData& out) { return ParseWav(bytes.data(), bytes.size(), out); }

void SetLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(WavReader, ReadsTheFourPcmFormatsWithTheirRates) {
  struct Case {
    uint16_t channels, bits;
    uint32_t rate;
  };
  for (const Case c : {Case{1, 8, 11025}, Case{1, 16, 22050}, Case{2, 8, 44100}, Case{2, 16, 8000}}) {
    WavData wav;
    ASSERT_TRUE(Parse(WavBytes(c.channels, c.rate, c.bits, Samples(400)), wav));
    EXPECT_EQ(wav.channels, c.channels);
    EXPECT_EQ(wav.bits, c.bits);
    EXPECT_EQ(wav.sample_rate, c.rate);
    EXPECT_EQ(wav.samples, Samples(400));
  }
}

TEST(WavReader, SkipsALongerFormatChunkAndOtherChunks) {
  auto bytes = WavBytes(1, 8000, 8, Samples(10), {Chunk("LIST", Samples(13)), Chunk("fact", {1, 2, 3, 4})});
  WavData wav;
  ASSERT_TRUE(Parse(bytes, wav));
  EXPECT_EQ(wav.samples, Samples(10));

  // A format chunk of 18 bytes: two extra bytes before the next chunk.
  auto longer = WavBytes(1, 8000, 16, Samples(8));
  SetLe32(longer, 16, 18);
  longer.insert(longer.begin() + 36, {0, 0});
  ASSERT_TRUE(Parse(longer, wav));
  EXPECT_EQ(wav.bits, 16);
  EXPECT_EQ(wav.samples, Samples(8));
}

TEST(WavReader, TrailingJunkAfterTheSamplesIsIgnored) {
  auto bytes = WavBytes(2, 8000, 16, Samples(16));
  const std::vector<uint8_t> junk{'J', 'U', 'N', 'K', 0xFF, 0xFF, 0xFF, 0x7F, 1, 2};  // says 2 GB follow
  bytes.insert(bytes.end(), junk.begin(), junk.end());
  WavData wav;
  ASSERT_TRUE(Parse(bytes, wav));
  EXPECT_EQ(wav.samples, Samples(16));
  bytes.push_back(9);  // and a few bytes too short to be a chunk
  ASSERT_TRUE(Parse(bytes, wav));
}

TEST(WavReader, OddSampleCountsKeepOnlyWholeFrames) {
  WavData wav;
  ASSERT_TRUE(Parse(WavBytes(2, 8000, 16, Samples(10)), wav));
  EXPECT_EQ(wav.samples.size(), 8u);
}

TEST(WavReader, BrokenFilesAreRefused) {
  const auto good = WavBytes(1, 8000, 16, Samples(100));
  std::vector<std::pair<std::string, std::vector<uint8_t>>> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"header only", std::vector<uint8_t>(good.begin(), good.begin() + 36)});
  cases.push_back({"cut in the data", std::vector<uint8_t>(good.begin(), good.end() - 10)});
  auto lying = good;
  SetLe32(lying, 40, 0xFFFFFFF0u);  // the data chunk claims 4 GB
  cases.push_back({"lying data length", lying});
  auto zero = WavBytes(1, 8000, 16, {});
  cases.push_back({"no samples", zero});
  auto huge_format = good;
  SetLe32(huge_format, 16, 0x7FFFFFFF);
  cases.push_back({"format chunk past the end", huge_format});
  auto short_format = good;
  SetLe32(short_format, 16, 4);
  cases.push_back({"format chunk too short", short_format});
  auto lying_before = WavBytes(1, 8000, 8, Samples(10), {Chunk("LIST", Samples(4))});
  SetLe32(lying_before, 40, 1000);  // the LIST chunk hides the data chunk
  cases.push_back({"lying chunk before the data", lying_before});
  cases.push_back({"no data chunk", std::vector<uint8_t>(good.begin(), good.begin() + 36)});
  cases.push_back({"24-bit", WavBytes(1, 8000, 24, Samples(30))});
  cases.push_back({"six channels", WavBytes(6, 8000, 16, Samples(120))});
  cases.push_back({"rate zero", WavBytes(1, 0, 16, Samples(10))});
  for (const auto& [name, bytes] : cases) {
    WavData wav;
    wav.channels = 77;
    EXPECT_FALSE(Parse(bytes, wav)) << name;
    EXPECT_EQ(wav.channels, 77) << name;  // untouched
  }
  WavData wav;
  EXPECT_FALSE(ParseWav(nullptr, 0, wav));
}

class WavFiles : public ScratchDir {};

TEST_F(WavFiles, ReadsFromDiskAndRefusesMissingFiles) {
  WriteFile("sounds/a.wav", WavBytes(1, 22050, 8, Samples(50)));
  WavData wav;
  ASSERT_TRUE(ReadWavFile("sounds/a.wav", wav));
  EXPECT_EQ(wav.samples.size(), 50u);
  EXPECT_FALSE(ReadWavFile("sounds/missing.wav", wav));
  std::filesystem::create_directory("sounds/dir.wav");
  EXPECT_FALSE(ReadWavFile("sounds/dir.wav", wav));
}

}  // namespace
