// Building blocks for the synthesized sounds: oscillators, noise, filters,
// envelopes and a formant voice. All signals are mono floats at kRate.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/assetgen/canvas.h"

using Signal = std::vector<float>;

constexpr float kRate = 22050.0f;

Signal Silence(float seconds);
int SampleCount(float seconds);

// Adds src, multiplied by gain, into dst from `at` seconds on (dst grows).
void MixInto(Signal& dst, const Signal& src, float at = 0, float gain = 1);
// Multiplies by an envelope given as a function of time in seconds.
template <typename Envelope>
void Shape(Signal& s, Envelope envelope) {
  for (size_t i = 0; i < s.size(); ++i) s[i] *= envelope(float(i) / kRate);
}
// Short fades at both ends so no sound starts or stops with a click.
void Declick(Signal& s, float fadeIn = 0.002f, float fadeOut = 0.01f);

Signal WhiteNoise(float seconds, Rng& rng);
// A sine whose frequency glides exponentially from f0 to f1.
Signal Sweep(float seconds, float f0, float f1);
// Sum of sine partials (frequency, amplitude, decay time constant).
struct Partial {
  float frequency, amplitude, decay;
};
Signal Bell(float seconds, const std::vector<Partial>& partials);
// A band-limited-ish sawtooth with optional vibrato, for brass-like tones.
Signal Saw(float seconds, float frequency, float vibratoDepth = 0, float vibratoRate = 5);

// Second-order filters (RBJ cookbook); the centre or cut-off may move.
enum class FilterKind { kLowPass, kHighPass, kBandPass };
void Filter(Signal& s, FilterKind kind, float frequency, float q = 0.707f);
// Band-pass whose centre glides exponentially from f0 to f1.
void SweepBandPass(Signal& s, float f0, float f1, float q);

// Soft clipping (tanh) after scaling to the peak: louder without harsh edges.
void Saturate(Signal& s, float drive);

float ExpDecay(float t, float tau);
// Rises over attack seconds, then decays with time constant tau.
float AttackDecay(float t, float attack, float tau);

// A voice: glottal pulses at pitch(t) shaped by three formants that glide
// from vowel `from` to vowel `to`, plus breath noise.
struct Vowel {
  float f1, f2, f3;
};
struct VoiceShape {
  float seconds;
  float pitchStart, pitchPeak, pitchEnd;  // Hz: starts, peaks at 20 %, ends
  Vowel from, to;
  float breath = 0.08f;      // noise mixed into the source
  float roughness = 0;       // random pitch jitter, for growls
  float vibrato = 0;         // relative depth
};
Signal Voice(const VoiceShape& voice, Rng& rng);
