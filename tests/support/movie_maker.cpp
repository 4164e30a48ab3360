#include "support/movie_maker.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace lyraban::testing {

std::vector<short> MovieTone(const MovieRecipe& recipe) {
  const double seconds =
      recipe.soundSeconds >= 0 ? recipe.soundSeconds : static_cast<double>(recipe.colours.size()) / recipe.fps;
  const size_t frames = static_cast<size_t>(seconds * recipe.soundRate);
  std::vector<short> samples(frames * recipe.channels);
  for (size_t i = 0; i < frames; ++i) {
    const double v = recipe.amplitude * std::sin(2 * M_PI * recipe.toneHz * static_cast<double>(i) / recipe.soundRate);
    for (int c = 0; c < recipe.channels; ++c) samples[i * recipe.channels + c] = static_cast<short>(std::lround(v));
  }
  return samples;
}

bool MakeMovie(const MovieRecipe& recipe, const std::filesystem::path& path, std::string& log) {
  TempDir work;
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  std::string pixels;
  for (const auto& colour : recipe.colours)
    for (int i = 0; i < recipe.width * recipe.height; ++i)
      pixels.append(reinterpret_cast<const char*>(colour.data()), 3);
  WriteFileBytes(work.path() / "pictures.rgb", pixels);
  std::ostringstream command;
  command << "ffmpeg -nostdin -hide_banner -loglevel error -y -f rawvideo -pix_fmt rgb24 -s " << recipe.width << 'x'
          << recipe.height << " -r " << recipe.fps << " -i '" << (work.path() / "pictures.rgb").string() << "'";
  if (!recipe.audioCodec.empty()) {
    const std::vector<short> tone = MovieTone(recipe);
    WriteFileBytes(work.path() / "tone.pcm",
                   std::string(reinterpret_cast<const char*>(tone.data()), tone.size() * sizeof(short)));
    command << " -f s16le -ar " << recipe.soundRate << " -ac " << recipe.channels << " -i '"
            << (work.path() / "tone.pcm").string() << "' -c:a " << recipe.audioCodec;
  }
  command << " -c:v " << recipe.videoCodec << " -pix_fmt yuv420p";
  for (const auto& option : recipe.extra) command << ' ' << option;
  command << " '" << path.string() << "' 2>'" << (work.path() / "log.txt").string() << "'";
  const int status = std::system(command.str().c_str());
  log = ReadFileBytes(work.path() / "log.txt");
  return status == 0 && std::filesystem::exists(path);
}

}  // namespace lyraban::testing
