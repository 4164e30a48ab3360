// lyraban_gamegen_movie OUT.webm
// Draws and scores the sample game's opening movie — dawn over the sea in
// three seconds — and has the ffmpeg program encode it with free codecs
// (VP8 pictures, Vorbis sound in WebM). Movies are files beside the game's
// data, not archive entries.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "canvas.h"
#include "synth.h"

namespace lyraban::gamegen {
namespace {

constexpr int kWidth = 320, kHeight = 240, kFps = 15;
constexpr double kSeconds = 3.0;
constexpr int kRate = 44100;

Canvas DawnFrame(double t) {
  const float k = static_cast<float>(t / kSeconds);  // 0 at night, 1 at sunrise
  Canvas c(kWidth, kHeight, Rgba{0, 0, 0, 1});
  const float horizon = kHeight * 0.62f;
  c.VerticalGradient(0, 0, kWidth, static_cast<int>(horizon), Mix({0.05f, 0.07f, 0.2f, 1}, {0.35f, 0.55f, 0.85f, 1}, k),
                     Mix({0.2f, 0.15f, 0.3f, 1}, {1.0f, 0.7f, 0.45f, 1}, k));
  // The sun climbs out of the sea.
  const float sunY = horizon + 30 - 70 * k;
  c.Glow(kWidth * 0.5f, sunY, 90, WithAlpha({1.0f, 0.8f, 0.5f, 1}, 0.6f * k));
  c.FillCircle(kWidth * 0.5f, sunY, 22, Mix({0.9f, 0.4f, 0.2f, 1}, {1.0f, 0.9f, 0.6f, 1}, k));
  c.VerticalGradient(0, static_cast<int>(horizon), kWidth, kHeight,
                     Mix({0.05f, 0.08f, 0.2f, 1}, {0.2f, 0.4f, 0.6f, 1}, k),
                     Mix({0.02f, 0.03f, 0.1f, 1}, {0.08f, 0.2f, 0.35f, 1}, k));
  // Glints on the water drift towards the shore.
  for (int row = 0; row < 7; ++row) {
    const float y = horizon + 8 + row * row * 2.2f + static_cast<float>(std::fmod(t * 6, 4.0));
    for (int i = 0; i < 5; ++i) {
      const float x = static_cast<float>(std::fmod(i * 71 + row * 37 + t * (10 + row * 3), kWidth + 40)) - 20;
      c.Line(x, y, x + 12 + row * 2, y, 1.2f, WithAlpha({1.0f, 0.9f, 0.7f, 1}, 0.25f + 0.5f * k));
    }
  }
  return c;
}

Pcm DawnMusic() {
  Pcm pcm(2, kRate, kSeconds);
  const Voice pad{0.6, 3.0, {1.0f, 0.3f, 0.1f}, 0};
  const Voice bell{0.002, 1.2, {1.0f, 0.6f, 0.4f, 0.25f, 0.15f}, 0.17};
  for (int note : {48, 55, 64, 67}) AddNote(pcm, 0.0, 2.9, NoteFrequency(note), 0.15f, pad, note % 2 ? 0.4f : -0.4f);
  const int melody[] = {76, 79, 84, 83};
  for (int i = 0; i < 4; ++i) AddNote(pcm, 0.4 + i * 0.6, 1.0, NoteFrequency(melody[i]), 0.2f, bell, -0.3f + 0.2f * i);
  Normalise(pcm, 0.6f);
  return pcm;
}

}  // namespace
}  // namespace lyraban::gamegen

int main(int argc, char** argv) {
  using namespace lyraban::gamegen;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT.webm\n", argv[0]);
    return 2;
  }
  const std::filesystem::path out = argv[1];
  std::filesystem::create_directories(out.parent_path().empty() ? "." : out.parent_path());
  const std::string pictures = out.string() + ".pictures.raw", sound = out.string() + ".sound.raw";
  {
    std::ofstream file(pictures, std::ios::binary);
    for (int i = 0; i < static_cast<int>(kSeconds * kFps); ++i) {
      lyraban::Surface frame;
      if (!DawnFrame(static_cast<double>(i) / kFps).ToSurface(frame, false)) return 1;
      for (int y = 0; y < frame.height(); ++y)
        file.write(reinterpret_cast<const char*>(frame.Row(y)), static_cast<std::streamsize>(frame.width()) * 3);
    }
    const Pcm music = DawnMusic();
    std::ofstream pcm(sound, std::ios::binary);
    for (float v : music.samples) {
      const short s = static_cast<short>(std::lround(std::fmax(-1.0f, std::fmin(1.0f, v)) * 32767));
      pcm.write(reinterpret_cast<const char*>(&s), sizeof s);
    }
    if (!file || !pcm) return 1;
  }
  const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y -f rawvideo -pix_fmt bgr24 -s " +
                              std::to_string(kWidth) + "x" + std::to_string(kHeight) + " -r " + std::to_string(kFps) +
                              " -i '" + pictures + "' -f s16le -ar " + std::to_string(kRate) + " -ac 2 -i '" + sound +
                              "' -c:v libvpx -b:v 400k -pix_fmt yuv420p -c:a libvorbis -q:a 3 '" + out.string() + "'";
  const int status = std::system(command.c_str());
  std::filesystem::remove(pictures);
  std::filesystem::remove(sound);
  if (status != 0) {
    std::fprintf(stderr, "gamegen: ffmpeg could not encode %s\n", out.string().c_str());
    return 1;
  }
  return 0;
}
