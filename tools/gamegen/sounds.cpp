#include <cmath>

#include "assets.h"

namespace lyraban::gamegen {

namespace {

constexpr double kPi = 3.14159265358979323846;

Voice Pluck() { return {0.005, 0.6, {1.0f, 0.5f, 0.25f, 0.12f}, 0}; }
Voice Pad() { return {0.25, 3.0, {1.0f, 0.3f, 0.1f}, 0}; }
Voice Bell() { return {0.002, 1.2, {1.0f, 0.6f, 0.4f, 0.25f, 0.15f}, 0.17}; }

// Eight bars of 2 s at 120 beats a minute: one bar of introduction, then a
// looped section of I-vi-IV-V twice over.
constexpr int kBarFrames = 2;

Pcm Theme() {
  // A slower piece without loop comments: it loops whole.
  Pcm pcm(1, 22050, 8.0);
  const int roots[] = {57, 53, 48, 52};  // Am F C Em
  const int melody[] = {69, 72, 76, 74, 72, 69, 67, 69, 65, 69, 72, 71, 67, 64, 67, 71};
  for (int bar = 0; bar < 4; ++bar) {
    const double t = bar * 2.0;
    AddNote(pcm, t, 1.9, NoteFrequency(roots[bar] - 12), 0.3f, Pad());
    for (int i : {0, 3, 7}) AddNote(pcm, t, 1.9, NoteFrequency(roots[bar] + i), 0.12f, Pad());
    for (int k = 0; k < 4; ++k) AddNote(pcm, t + k * 0.5, 0.45, NoteFrequency(melody[bar * 4 + k]), 0.25f, Pluck());
  }
  Normalise(pcm, 0.7f);
  return pcm;
}

Pcm Waves() {
  // Filtered noise swelling twice in six seconds; the swell is periodic so
  // the loop seam falls in a trough.
  Pcm pcm(1, 22050, 6.0);
  Noise n(3);
  double low = 0, lower = 0;
  for (long i = 0; i < pcm.frames(); ++i) {
    const double t = static_cast<double>(i) / pcm.rate;
    low += 0.08 * (n.Next() - low);
    lower += 0.02 * (low - lower);
    const double swell = 0.25 + 0.75 * std::pow(std::sin(kPi * t / 3.0), 2);
    pcm.samples[static_cast<size_t>(i)] = static_cast<float>((low * 0.6 + lower * 2.0) * swell);
  }
  Normalise(pcm, 0.5f);
  return pcm;
}

Pcm Chime() {
  Pcm pcm(1, 22050, 2.0);
  AddNote(pcm, 0.0, 1.5, NoteFrequency(84), 0.5f, Bell());
  AddNote(pcm, 0.18, 1.3, NoteFrequency(79), 0.4f, Bell());
  Normalise(pcm, 0.8f);
  return pcm;
}

Pcm Knock() {
  Pcm pcm(1, 22050, 0.9);
  Noise n(9);
  for (double start : {0.0, 0.25}) {
    const long first = static_cast<long>(start * pcm.rate);
    double low = 0;
    for (long i = 0; i < pcm.rate / 8; ++i) {
      const double t = static_cast<double>(i) / pcm.rate;
      low += 0.15 * (n.Next() - low);
      const double body = std::sin(2 * kPi * 110 * t) * 0.8 + low;
      pcm.Add(first + i, static_cast<float>(body * std::exp(-t * 40)));
    }
  }
  Normalise(pcm, 0.8f);
  return pcm;
}

Pcm Sparkle() {
  Pcm pcm(1, 22050, 1.2);
  const int notes[] = {84, 88, 91, 96};
  for (int i = 0; i < 4; ++i) AddNote(pcm, i * 0.07, 0.6, NoteFrequency(notes[i]), 0.35f, Bell());
  Normalise(pcm, 0.8f);
  return pcm;
}

Pcm Ticking() {
  // Four seconds of a clock's tick-tock: the length of the catch-the-clock
  // event.
  Pcm pcm(1, 22050, 4.0);
  for (int i = 0; i < 8; ++i)
    AddNote(pcm, i * 0.5, 0.03, i % 2 ? 1800.0 : 2400.0, 0.5f, {0.001, 0.02, {1.0f, 0.4f}, 0.3});
  Normalise(pcm, 0.7f);
  return pcm;
}

// A voice line stands in as a short sung phrase: a vowel-like tone (a few
// strong low harmonics) that glides between syllables.
Pcm Phrase(double base, const std::vector<double>& steps, double syllable) {
  Pcm pcm(1, 22050, steps.size() * syllable + 0.3);
  double phase = 0;
  for (long i = 0; i < pcm.frames(); ++i) {
    const double t = static_cast<double>(i) / pcm.rate;
    const size_t s = std::min(steps.size() - 1, static_cast<size_t>(t / syllable));
    const double within = t - s * syllable;
    const double next = s + 1 < steps.size() ? steps[s + 1] : steps[s];
    const double glide = within > syllable * 0.7 ? (within - syllable * 0.7) / (syllable * 0.3) : 0;
    const double f = base * std::pow(2.0, (steps[s] + (next - steps[s]) * glide) / 12.0);
    phase += 2 * kPi * f / pcm.rate;
    const double vowel =
        std::sin(phase) + 0.6 * std::sin(2 * phase) + 0.35 * std::sin(3 * phase) + 0.15 * std::sin(5 * phase);
    const double env = std::sin(kPi * std::min(1.0, within / syllable)) * (t < steps.size() * syllable ? 1 : 0);
    pcm.samples[static_cast<size_t>(i)] = static_cast<float>(vowel * env);
  }
  Normalise(pcm, 0.7f);
  return pcm;
}

}  // namespace

Pcm MakeTitleMusic(MusicLoop& loop) {
  const int rate = 44100;
  Pcm pcm(2, rate, 12.5);
  const int roots[] = {60, 57, 53, 55};  // C Am F G
  const int thirds[] = {4, 3, 4, 4};
  // Introduction: a rising arpeggio over C.
  for (int k = 0; k < 8; ++k)
    AddNote(pcm, k * 0.25, 0.3, NoteFrequency(60 + (k % 4) * 4 - (k % 4 == 3 ? 1 : 0)), 0.2f, Pluck(),
            -0.5f + k / 8.0f);
  for (int bar = 1; bar < 6; ++bar) {
    const double t = bar * kBarFrames;
    const int chord = (bar - 1) % 4;
    const int root = roots[chord];
    AddNote(pcm, t, 1.9, NoteFrequency(root - 24), 0.35f, Pad(), 0);
    for (int k = 0; k < 8; ++k) {
      const int step = (k % 4 == 0) ? 0 : (k % 4 == 1 || k % 4 == 3) ? thirds[chord] : 7;
      AddNote(pcm, t + k * 0.25, 0.28, NoteFrequency(root + step + (k >= 4 ? 12 : 0)), 0.16f, Pluck(),
              k % 2 ? 0.4f : -0.4f);
    }
    AddNote(pcm, t, 0.9, NoteFrequency(root + 24), 0.18f, Bell(), 0.2f);
    AddNote(pcm, t + 1.0, 0.9, NoteFrequency(root + 24 + thirds[chord]), 0.14f, Bell(), -0.2f);
  }
  Normalise(pcm, 0.7f);
  // The section from the second bar to the end of the sixth repeats; the
  // half second after it is a tail heard only when the music does not loop.
  loop.start = static_cast<long>(kBarFrames) * rate;
  loop.end = static_cast<long>(6 * kBarFrames) * rate;
  return pcm;
}

void MakeSounds(Output& s) {
  MusicLoop loop{};
  const Pcm title = MakeTitleMusic(loop);
  s.Sound("bgm/bgm_title.ogg", title, 0.0f,
          {{"start", std::to_string(loop.start)}, {"end", std::to_string(loop.end)}, {"title", "Lyraban title"}});
  s.Sound("bgm/bgm_theme.ogg", Theme(), 0.0f);
  s.Sound("env/env_waves.ogg", Waves(), 0.0f);
  s.Sound("se/se_chime.ogg", Chime(), 0.0f);
  s.Sound("se/se_door.ogg", Knock(), 0.0f);
  // The message window's clock event asks for these two by number.
  s.Sound("se/se_017.ogg", Sparkle(), 0.0f);
  s.Sound("se/se_020.ogg", Ticking(), 0.0f);
  s.Sound("voice/hikari/hk_001.ogg", Phrase(330, {0, 2, 4, 2}, 0.22), 0.0f);
  s.Sound("voice/hikari/hk_002.ogg", Phrase(330, {4, 7, 5, 4, 0}, 0.2), 0.0f);
  s.Sound("voice/hikari/hk_003.ogg", Phrase(350, {7, 4, 0}, 0.3), 0.0f);
  s.Sound("voice/sora/so_001.ogg", Phrase(160, {0, -2, 0, 3}, 0.22), 0.0f);
  s.Sound("voice/sora/so_002.ogg", Phrase(150, {3, 0, -2}, 0.28), 0.0f);
  // What the settings dialog's play buttons try when nothing else plays.
  s.Sound("bgm/sample.ogg", Phrase(262, {0, 4, 7, 12, 7, 4}, 0.25), 0.0f);
  s.Sound("env/sample.ogg", Waves(), 0.0f);
  s.Sound("se/sample.ogg", Chime(), 0.0f);
  s.Sound("voice/sample.ogg", Phrase(330, {0, 4, 2}, 0.22), 0.0f);
}

}  // namespace lyraban::gamegen
