#include "ogg_maker.h"

#include "synth.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace lyraban::testing {

std::vector<i16> MakeTones(int channels, int rate, const std::vector<ToneSegment>& segments) {
  std::vector<i16> pcm;
  for (const ToneSegment& segment : segments) {
    const size_t frames = static_cast<size_t>(segment.seconds * rate);
    for (size_t i = 0; i < frames; ++i) {
      const double value = segment.amplitude * std::sin(2 * std::numbers::pi * segment.frequency * i / rate);
      pcm.insert(pcm.end(), channels, static_cast<i16>(std::lrint(value)));
    }
  }
  return pcm;
}

std::vector<u8> EncodeOgg(int channels, int rate, const std::vector<i16>& pcm,
                          const std::vector<std::pair<std::string, std::string>>& comments) {
  // The sample game's encoder, fed the same samples as floats.
  gamegen::Pcm source(channels, rate, 0);
  source.samples.reserve(pcm.size());
  for (i16 v : pcm) source.samples.push_back(v / 32768.0f);
  std::string bytes;
  if (!gamegen::EncodeOgg(source, 0.4f, comments, bytes)) std::abort();
  return std::vector<u8>(bytes.begin(), bytes.end());
}

double Rms(const i16* samples, int channels, size_t first, size_t count) {
  double sum = 0;
  const size_t n = count * channels;
  for (size_t i = 0; i < n; ++i) sum += std::pow(static_cast<double>(samples[first * channels + i]), 2);
  return n ? std::sqrt(sum / n) : 0.0;
}

}  // namespace lyraban::testing
