#pragma once
#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace lyraban::testing {

// A small movie made at test time by the ffmpeg program: every picture one
// solid colour, and a sine tone as its sound.
struct MovieRecipe {
  int width = 64, height = 48;
  int fps = 5;
  std::vector<std::array<unsigned char, 3>> colours;  // red, green, blue per picture
  std::string videoCodec = "mpeg4";
  std::string audioCodec = "pcm_s16le";  // empty: no sound track
  int soundRate = 44100;
  int channels = 2;
  double toneHz = 441.0;
  int amplitude = 8000;
  double soundSeconds = -1;        // below 0: as long as the pictures
  std::vector<std::string> extra;  // more output options
};

// The tone's samples, interleaved, as the movie's sound holds them.
std::vector<short> MovieTone(const MovieRecipe& recipe);

// Writes the movie to `path` (its extension picks the container). False
// with ffmpeg's messages in `log` when it fails.
bool MakeMovie(const MovieRecipe& recipe, const std::filesystem::path& path, std::string& log);

}  // namespace lyraban::testing
