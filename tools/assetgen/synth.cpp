#include "tools/assetgen/synth.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kTwoPi = 6.2831853f;

struct Biquad {
  float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  float x1 = 0, x2 = 0, y1 = 0, y2 = 0;

  void Design(FilterKind kind, float frequency, float q) {
    frequency = std::clamp(frequency, 20.0f, kRate * 0.45f);
    const float w = kTwoPi * frequency / kRate, cw = std::cos(w), alpha = std::sin(w) / (2 * q);
    float n0, n1, n2;
    switch (kind) {
      case FilterKind::kLowPass: n0 = (1 - cw) / 2; n1 = 1 - cw; n2 = (1 - cw) / 2; break;
      case FilterKind::kHighPass: n0 = (1 + cw) / 2; n1 = -(1 + cw); n2 = (1 + cw) / 2; break;
      default: n0 = alpha; n1 = 0; n2 = -alpha; break;
    }
    const float a0 = 1 + alpha;
    b0 = n0 / a0;
    b1 = n1 / a0;
    b2 = n2 / a0;
    a1 = -2 * cw / a0;
    a2 = (1 - alpha) / a0;
  }

  float Step(float x) {
    const float y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

// One period of a glottal flow pulse; its slope drives the formants.
float GlottalFlow(float phase) {
  if (phase < 0.4f) return 0.5f * (1 - std::cos(3.14159f * phase / 0.4f));
  if (phase < 0.56f) return std::cos(3.14159f * (phase - 0.4f) / 0.32f);
  return 0;
}

float Lerp(float a, float b, float t) { return a + (b - a) * t; }

}  // namespace

int SampleCount(float seconds) { return int(seconds * kRate); }

Signal Silence(float seconds) { return Signal(size_t(SampleCount(seconds)), 0.0f); }

void MixInto(Signal& dst, const Signal& src, float at, float gain) {
  const size_t offset = size_t(SampleCount(at));
  if (dst.size() < offset + src.size()) dst.resize(offset + src.size(), 0.0f);
  for (size_t i = 0; i < src.size(); ++i) dst[offset + i] += src[i] * gain;
}

void Declick(Signal& s, float fadeIn, float fadeOut) {
  const size_t in = size_t(SampleCount(fadeIn)), out = size_t(SampleCount(fadeOut));
  for (size_t i = 0; i < in && i < s.size(); ++i) s[i] *= float(i) / float(in);
  for (size_t i = 0; i < out && i < s.size(); ++i) s[s.size() - 1 - i] *= float(i) / float(out);
}

Signal WhiteNoise(float seconds, Rng& rng) {
  Signal s = Silence(seconds);
  for (float& v : s) v = rng.Range(-1, 1);
  return s;
}

Signal Sweep(float seconds, float f0, float f1) {
  Signal s = Silence(seconds);
  float phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const float t = float(i) / float(s.size());
    phase += f0 * std::pow(f1 / f0, t) / kRate;
    s[i] = std::sin(kTwoPi * phase);
  }
  return s;
}

Signal Bell(float seconds, const std::vector<Partial>& partials) {
  Signal s = Silence(seconds);
  for (size_t i = 0; i < s.size(); ++i) {
    const float t = float(i) / kRate;
    for (const Partial& p : partials) s[i] += p.amplitude * std::sin(kTwoPi * p.frequency * t) * std::exp(-t / p.decay);
  }
  return s;
}

Signal Saw(float seconds, float frequency, float vibratoDepth, float vibratoRate) {
  Signal s = Silence(seconds);
  float phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const float t = float(i) / kRate;
    phase += frequency * (1 + vibratoDepth * std::sin(kTwoPi * vibratoRate * t)) / kRate;
    phase -= std::floor(phase);
    // Sum of the first harmonics: a sawtooth without harsh aliasing.
    float v = 0;
    for (int h = 1; h <= 8 && h * frequency < kRate / 2; ++h) v += std::sin(kTwoPi * phase * h) / h;
    s[i] = v * 0.6f;
  }
  return s;
}

void Filter(Signal& s, FilterKind kind, float frequency, float q) {
  Biquad f;
  f.Design(kind, frequency, q);
  for (float& v : s) v = f.Step(v);
}

void SweepBandPass(Signal& s, float f0, float f1, float q) {
  Biquad f;
  for (size_t i = 0; i < s.size(); ++i) {
    if (i % 32 == 0) f.Design(FilterKind::kBandPass, f0 * std::pow(f1 / f0, float(i) / float(s.size())), q);
    s[i] = f.Step(s[i]);
  }
}

void Saturate(Signal& s, float drive) {
  float peak = 0;
  for (float v : s) peak = std::max(peak, std::fabs(v));
  if (peak <= 0) return;
  for (float& v : s) v = std::tanh(drive * v / peak);
}

float ExpDecay(float t, float tau) { return std::exp(-t / tau); }

float AttackDecay(float t, float attack, float tau) {
  return t < attack ? t / attack : std::exp(-(t - attack) / tau);
}

Signal Voice(const VoiceShape& voice, Rng& rng) {
  Signal source = Silence(voice.seconds);
  float phase = 0, previous = 0, jitter = 0;
  for (size_t i = 0; i < source.size(); ++i) {
    const float t = float(i) / float(source.size());
    float pitch = t < 0.2f ? Lerp(voice.pitchStart, voice.pitchPeak, t / 0.2f) : Lerp(voice.pitchPeak, voice.pitchEnd, (t - 0.2f) / 0.8f);
    pitch *= 1 + voice.vibrato * std::sin(kTwoPi * 6.0f * float(i) / kRate);
    if (i % 64 == 0) jitter = rng.Range(-1, 1) * voice.roughness;
    phase += pitch * (1 + jitter) / kRate;
    phase -= std::floor(phase);
    const float flow = GlottalFlow(phase);
    source[i] = (flow - previous) * 8 + voice.breath * rng.Range(-1, 1);
    previous = flow;
  }
  // Three formant resonators in parallel, gliding between the vowels.
  Signal out = Silence(voice.seconds);
  Biquad formants[3];
  const float gains[3] = {1.0f, 0.6f, 0.3f};
  for (size_t i = 0; i < source.size(); ++i) {
    const float t = float(i) / float(source.size());
    if (i % 32 == 0) {
      formants[0].Design(FilterKind::kBandPass, Lerp(voice.from.f1, voice.to.f1, t), 6);
      formants[1].Design(FilterKind::kBandPass, Lerp(voice.from.f2, voice.to.f2, t), 8);
      formants[2].Design(FilterKind::kBandPass, Lerp(voice.from.f3, voice.to.f3, t), 10);
    }
    for (int f = 0; f < 3; ++f) out[i] += formants[f].Step(source[i]) * gains[f];
  }
  return out;
}
