#include "support/movie_maker.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace lyraban::testing {

std::vector<short> MovieTone(const MovieSpec& spec) {
  const double seconds =
      spec.soundSeconds >= 0 ? spec.soundSeconds : static_cast<double>(spec.colours.size()) / spec.fps;
  const size_t frames = static_cast<size_t>(seconds * spec.soundRate);
  std::vector<short> samples(frames * spec.channels);
  for (size_t i = 0; i < frames; ++i) {
    const double v = spec.amplitude * std::sin(2 * M_PI * spec.toneHz * static_cast<double>(i) / spec.soundRate);
    for (int c = 0; c < spec.channels; ++c) samples[i * spec.channels + c] = static_cast<short>(std::lround(v));
  }
  return samples;
}

bool MakeMovie(const MovieSpec& spec, const std::filesystem::path& path, std::string& log) {
  TempDir work;
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  std::string pixels;
  for (const auto& colour : spec.colours)
    for (int i = 0; i < spec.width * spec.height; ++i) pixels.append(reinterpret_cast<const char*>(colour.data()), 3);
  WriteFileBytes(work.path() / "pictures.rgb", pixels);
  std::ostringstream command;
  command << "ffmpeg -nostdin -hide_banner -loglevel error -y -f rawvideo -pix_fmt rgb24 -s " << spec.width << 'x'
          << spec.height << " -r " << spec.fps << " -i '" << (work.path() / "pictures.rgb").string() << "'";
  if (!spec.audioCodec.empty()) {
    const std::vector<short> tone = MovieTone(spec);
    WriteFileBytes(work.path() / "tone.pcm",
                   std::string(reinterpret_cast<const char*>(tone.data()), tone.size() * sizeof(short)));
    command << " -f s16le -ar " << spec.soundRate << " -ac " << spec.channels << " -i '"
            << (work.path() / "tone.pcm").string() << "' -c:a " << spec.audioCodec;
  }
  command << " -c:v " << spec.videoCodec << " -pix_fmt yuv420p";
  for (const auto& option : spec.extra) command << ' ' << option;
  command << " '" << path.string() << "' 2>'" << (work.path() / "log.txt").string() << "'";
  const int status = std::system(command.str().c_str());
  log = ReadFileBytes(work.path() / "log.txt");
  return status == 0 && std::filesystem::exists(path);
}

}  // namespace lyraban::testing
