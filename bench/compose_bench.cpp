// Composing a typical scene: an 800 × 600 background, three characters with
// alpha, and a "back" layer with three full-screen overlays (Normal at half
// opacity, Multi, Screen). The pixman side does the same drawing with its
// nearest-filter operators OVER, MULTIPLY and SCREEN.
#include <benchmark/benchmark.h>
#include <pixman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/trace.h"
#include "graphics/layer.h"
#include "graphics/png.h"
#include "graphics/surface.h"
#include "platform/clock.h"
#include "resources/resources.h"

namespace lyraban {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kCharWidth = 400;

class StillClock final : public platform::Clock {
 public:
  u32 Now() override { return 0; }
  void Sleep(u32) override {}
  void WaitOnWorker(u32) override {}
  void Wake() override {}
};

u8 Clamp(double v) { return static_cast<u8>(std::clamp(v, 0.0, 255.0)); }

Surface MakeBackground() {
  Surface s;
  s.Create(3, kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    u8* p = s.Row(y);
    for (int x = 0; x < kWidth; ++x, p += 3) {
      const double wave = std::sin(x * 0.013) * std::cos(y * 0.017);
      p[0] = Clamp(90 + 60 * wave + y * 0.1);
      p[1] = Clamp(120 + 50 * wave + x * 0.08);
      p[2] = Clamp(140 - 40 * wave);
    }
  }
  return s;
}

// A shaded figure on a transparent background, soft at its edge.
Surface MakeCharacter(int shade) {
  Surface s;
  s.Create(4, kCharWidth, kHeight);
  std::memset(s.pixels(), 0, s.ByteSize());
  for (int y = 0; y < kHeight; ++y) {
    u8* p = s.Row(y);
    for (int x = 0; x < kCharWidth; ++x, p += 4) {
      const double dx = (x - 200) / 170.0, dy = (y - 330) / 280.0;
      const double r = dx * dx + dy * dy;
      if (r > 1.0) continue;
      p[0] = Clamp(r > 0.94 ? (1.0 - r) * 255 / 0.06 : 255);
      p[1] = Clamp(shade + 60 * dy);
      p[2] = Clamp(150 + 40 * dx);
      p[3] = Clamp(230 - 50 * r);
    }
  }
  return s;
}

Surface MakeOverlay(int bytesPerPixel, int seed) {
  Surface s;
  s.Create(bytesPerPixel, kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    u8* p = s.Row(y);
    for (int x = 0; x < kWidth; ++x, p += bytesPerPixel) {
      u8* c = p;
      if (bytesPerPixel == 4) *c++ = Clamp(128 + 127 * std::sin((x + seed) * 0.01));
      c[0] = Clamp(128 + 100 * std::cos((y + seed) * 0.02));
      c[1] = Clamp(160 + 60 * std::sin((x * 0.7 + y + seed) * 0.01));
      c[2] = Clamp(200 - (x + y + seed) % 90);
    }
  }
  return s;
}

// The scene's pictures, in our surface formats.
struct Scene {
  Surface background = MakeBackground();
  Surface characters[3] = {MakeCharacter(120), MakeCharacter(160), MakeCharacter(200)};
  Surface normal = MakeOverlay(4, 0);
  Surface multi = MakeOverlay(3, 37);
  Surface screen = MakeOverlay(3, 91);
};

class GameFolder {
 public:
  GameFolder() : root_(fs::temp_directory_path() / ("lyraban-compose-" + std::to_string(::getpid()))) {
    fs::create_directories(root_ / "data" / "img");
    fs::create_directories(root_ / "data" / "anime");
  }
  ~GameFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  void Write(const std::string& relative, const std::string& bytes) {
    std::ofstream(root_ / "data" / relative, std::ios::binary) << bytes;
  }
  void WritePicture(const std::string& name, const Surface& s) {
    std::string bytes;
    EncodePng(s, bytes, 1);
    Write("img/" + name, bytes);
  }
  std::string path() const { return root_.string(); }

 private:
  fs::path root_;
};

void ComposeLyraban(benchmark::State& state) {
  const Scene scene;
  GameFolder game;
  game.WritePicture("bg.png", scene.background);
  for (int i = 0; i < 3; ++i) game.WritePicture("chara" + std::to_string(i) + ".png", scene.characters[i]);
  game.WritePicture("normal.png", scene.normal);
  game.WritePicture("multi.png", scene.multi);
  game.WritePicture("screen.png", scene.screen);
  game.Write("anime/room.img",
             "Type=back\r\nImg0=normal.png\r\nAlpha0=128\r\nImg1=multi.png\r\nMode1=Multi\r\n"
             "Img2=screen.png\r\nMode2=Screen\r\n");

  Trace trace;
  Resources resources(trace);
  resources.OpenDataFolder(game.path());
  StillClock clock;
  LayerSet layers(resources, trace, clock, kWidth, kHeight);
  bool ok = layers.SetLayerImage(0, "bg.png");
  for (int i = 0; i < 3; ++i) {
    ok = ok && layers.SetLayerImage(i + 1, "chara" + std::to_string(i) + ".png");
    layers.SetLayerX(i + 1, kWidth / 4 * (i + 1));
  }
  ok = ok && layers.SetLayerImage(4, "room.img");
  Surface composed;
  composed.Create(3, kWidth, kHeight);
  layers.ComposeLayers(composed);  // loads and caches every picture
  if (!ok) state.SkipWithError("scene did not load");
  for (auto _ : state) {
    layers.ComposeLayers(composed);
    benchmark::DoNotOptimize(composed.pixels());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// pixman works on premultiplied 32-bit pixels; the conversion is set-up, not
// measured.
pixman_image_t* ToPixman(const Surface& s) {
  pixman_image_t* image = pixman_image_create_bits(s.bytesPerPixel() == 4 ? PIXMAN_a8r8g8b8 : PIXMAN_x8r8g8b8,
                                                   s.width(), s.height(), nullptr, s.width() * 4);
  auto* out = reinterpret_cast<u32*>(pixman_image_get_data(image));
  for (int y = 0; y < s.height(); ++y) {
    const u8* p = s.Row(y);
    for (int x = 0; x < s.width(); ++x, p += s.bytesPerPixel()) {
      u32 a = 255, b, g, r;
      if (s.bytesPerPixel() == 4) {
        a = p[0];
        b = (p[1] * a + 127) / 255, g = (p[2] * a + 127) / 255, r = (p[3] * a + 127) / 255;
      } else {
        b = p[0], g = p[1], r = p[2];
      }
      *out++ = a << 24 | r << 16 | g << 8 | b;
    }
  }
  pixman_image_set_filter(image, PIXMAN_FILTER_NEAREST, nullptr, 0);
  return image;
}

// `destinationFormat` PIXMAN_r8g8b8 is our 3-byte screen layout; the 32-bit
// variant shows pixman on its preferred format.
void ComposePixman(benchmark::State& state, pixman_format_code_t destinationFormat) {
  const Scene scene;
  pixman_image_t* background = ToPixman(scene.background);
  pixman_image_t* characters[3];
  for (int i = 0; i < 3; ++i) characters[i] = ToPixman(scene.characters[i]);
  pixman_image_t* normal = ToPixman(scene.normal);
  pixman_image_t* multi = ToPixman(scene.multi);
  pixman_image_t* screen = ToPixman(scene.screen);
  const pixman_color_t half = {0, 0, 0, 128 * 257};
  pixman_image_t* opacity = pixman_image_create_solid_fill(&half);
  const pixman_color_t black = {0, 0, 0, 0xffff};
  const int bpp = PIXMAN_FORMAT_BPP(destinationFormat) / 8;
  const int stride = (kWidth * bpp + 3) / 4 * 4;
  std::vector<u32> storage(static_cast<size_t>(stride) * kHeight / 4);
  pixman_image_t* dst = pixman_image_create_bits(destinationFormat, kWidth, kHeight, storage.data(), stride);
  const pixman_rectangle16_t whole = {0, 0, kWidth, kHeight};

  for (auto _ : state) {
    pixman_image_fill_rectangles(PIXMAN_OP_SRC, dst, &black, 1, &whole);
    pixman_image_composite32(PIXMAN_OP_OVER, background, nullptr, dst, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
    for (int i = 0; i < 3; ++i)
      pixman_image_composite32(PIXMAN_OP_OVER, characters[i], nullptr, dst, 0, 0, 0, 0,
                               kWidth / 4 * (i + 1) - kCharWidth / 2, 0, kCharWidth, kHeight);
    pixman_image_composite32(PIXMAN_OP_OVER, normal, opacity, dst, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
    pixman_image_composite32(PIXMAN_OP_MULTIPLY, multi, nullptr, dst, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
    pixman_image_composite32(PIXMAN_OP_SCREEN, screen, nullptr, dst, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
    benchmark::DoNotOptimize(storage.data());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);

  for (pixman_image_t* image :
       {background, characters[0], characters[1], characters[2], normal, multi, screen, opacity, dst})
    pixman_image_unref(image);
}

BENCHMARK(ComposeLyraban)->Name("Compose/lyraban")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ComposePixman, rgb24, PIXMAN_r8g8b8)->Name("Compose/pixman")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ComposePixman, xrgb32, PIXMAN_x8r8g8b8)
    ->Name("Compose/pixman_x8r8g8b8")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lyraban
