#pragma once
#include <string>
#include <utility>
#include <vector>

#include "base/types.h"

namespace lyraban::testing {

// Interleaved 16-bit PCM made of consecutive tone segments, each a sine of
// one amplitude, so that which part of a sound is playing can be told from
// the level of the decoded output.
struct ToneSegment {
  double seconds;
  double amplitude;  // peak, in sample units
  double frequency = 440.0;
};
std::vector<i16> MakeTones(int channels, int rate, const std::vector<ToneSegment>& segments);

// Encodes PCM as Ogg Vorbis with the given comments (tag, value).
std::vector<u8> EncodeOgg(int channels, int rate, const std::vector<i16>& pcm,
                          const std::vector<std::pair<std::string, std::string>>& comments = {});

// Root mean square of the samples of frames [first, first + count) of an
// interleaved 16-bit buffer.
double Rms(const i16* samples, int channels, size_t first, size_t count);

}  // namespace lyraban::testing
