// Composing a typical scene, at 800 × 600 and at 1920 × 1080: a background, three characters with
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

// The screen; characters are half as wide. Pictures are drawn in the
// coordinates of the 800 × 600 scene and stretched, so both sizes show the
// same scene.
struct Size {
  int width, height;
  int charWidth() const { return width / 2; }
  double sx() const { return 800.0 / width; }
  double sy() const { return 600.0 / height; }
};
constexpr Size kSmall{800, 600};
constexpr Size kFullHd{1920, 1080};

class StillClock final : public platform::Clock {
 public:
  u32 Now() override { return 0; }
  void Sleep(u32) override {}
  void WaitOnWorker(u32) override {}
  void Wake() override {}
};

u8 Clamp(double v) { return static_cast<u8>(std::clamp(v, 0.0, 255.0)); }

Surface MakeBackground(Size size) {
  Surface s;
  s.Create(3, size.width, size.height);
  for (int y = 0; y < size.height; ++y) {
    u8* p = s.Row(y);
    const double v = y * size.sy();
    for (int x = 0; x < size.width; ++x, p += 3) {
      const double u = x * size.sx();
      const double wave = std::sin(u * 0.013) * std::cos(v * 0.017);
      p[0] = Clamp(90 + 60 * wave + v * 0.1);
      p[1] = Clamp(120 + 50 * wave + u * 0.08);
      p[2] = Clamp(140 - 40 * wave);
    }
  }
  return s;
}

// A shaded figure on a transparent background, soft at its edge.
Surface MakeCharacter(Size size, int shade) {
  Surface s;
  s.Create(4, size.charWidth(), size.height);
  std::memset(s.pixels(), 0, s.ByteSize());
  for (int y = 0; y < size.height; ++y) {
    u8* p = s.Row(y);
    for (int x = 0; x < size.charWidth(); ++x, p += 4) {
      const double dx = (x * size.sx() - 200) / 170.0, dy = (y * size.sy() - 330) / 280.0;
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

Surface MakeOverlay(Size size, int bytesPerPixel, int seed) {
  Surface s;
  s.Create(bytesPerPixel, size.width, size.height);
  for (int y = 0; y < size.height; ++y) {
    u8* p = s.Row(y);
    const int v = static_cast<int>(y * size.sy());
    for (int x = 0; x < size.width; ++x, p += bytesPerPixel) {
      const int u = static_cast<int>(x * size.sx());
      u8* c = p;
      if (bytesPerPixel == 4) *c++ = Clamp(128 + 127 * std::sin((u + seed) * 0.01));
      c[0] = Clamp(128 + 100 * std::cos((v + seed) * 0.02));
      c[1] = Clamp(160 + 60 * std::sin((u * 0.7 + v + seed) * 0.01));
      c[2] = Clamp(200 - (u + v + seed) % 90);
    }
  }
  return s;
}

// The scene's pictures, in our surface formats.
struct Scene {
  explicit Scene(Size size)
      : background(MakeBackground(size)),
        characters{MakeCharacter(size, 120), MakeCharacter(size, 160), MakeCharacter(size, 200)},
        normal(MakeOverlay(size, 4, 0)),
        multi(MakeOverlay(size, 3, 37)),
        screen(MakeOverlay(size, 3, 91)) {}
  Surface background;
  Surface characters[3];
  Surface normal;
  Surface multi;
  Surface screen;
};

class GameFolder {
 public:
  explicit GameFolder(Size size)
      : root_(fs::temp_directory_path() /
              ("lyraban-compose-" + std::to_string(::getpid()) + "-" + std::to_string(size.width))) {
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

void ComposeLyraban(benchmark::State& state, Size size) {
  const int width = size.width, height = size.height;
  const Scene scene(size);
  GameFolder game(size);
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
  LayerSet layers(resources, trace, clock, width, height);
  bool ok = layers.SetLayerImage(0, "bg.png");
  for (int i = 0; i < 3; ++i) {
    ok = ok && layers.SetLayerImage(i + 1, "chara" + std::to_string(i) + ".png");
    layers.SetLayerX(i + 1, width / 4 * (i + 1));
  }
  ok = ok && layers.SetLayerImage(4, "room.img");
  Surface composed;
  composed.Create(3, width, height);
  layers.ComposeLayers(composed);  // loads and caches every picture
  if (!ok) state.SkipWithError("scene did not load");
  for (auto _ : state) {
    layers.ComposeLayers(composed);
    benchmark::DoNotOptimize(composed.pixels());
  }
  state.SetItemsProcessed(state.iterations() * width * height);
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
void ComposePixman(benchmark::State& state, Size size, pixman_format_code_t destinationFormat) {
  const int width = size.width, height = size.height, charWidth = size.charWidth();
  const Scene scene(size);
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
  const int stride = (width * bpp + 3) / 4 * 4;
  std::vector<u32> storage(static_cast<size_t>(stride) * height / 4);
  pixman_image_t* dst = pixman_image_create_bits(destinationFormat, width, height, storage.data(), stride);
  const pixman_rectangle16_t whole = {0, 0, static_cast<u16>(width), static_cast<u16>(height)};

  for (auto _ : state) {
    pixman_image_fill_rectangles(PIXMAN_OP_SRC, dst, &black, 1, &whole);
    pixman_image_composite32(PIXMAN_OP_OVER, background, nullptr, dst, 0, 0, 0, 0, 0, 0, width, height);
    for (int i = 0; i < 3; ++i)
      pixman_image_composite32(PIXMAN_OP_OVER, characters[i], nullptr, dst, 0, 0, 0, 0,
                               width / 4 * (i + 1) - charWidth / 2, 0, charWidth, height);
    pixman_image_composite32(PIXMAN_OP_OVER, normal, opacity, dst, 0, 0, 0, 0, 0, 0, width, height);
    pixman_image_composite32(PIXMAN_OP_MULTIPLY, multi, nullptr, dst, 0, 0, 0, 0, 0, 0, width, height);
    pixman_image_composite32(PIXMAN_OP_SCREEN, screen, nullptr, dst, 0, 0, 0, 0, 0, 0, width, height);
    benchmark::DoNotOptimize(storage.data());
  }
  state.SetItemsProcessed(state.iterations() * width * height);

  for (pixman_image_t* image :
       {background, characters[0], characters[1], characters[2], normal, multi, screen, opacity, dst})
    pixman_image_unref(image);
}

BENCHMARK_CAPTURE(ComposeLyraban, small, kSmall)->Name("Compose/800x600/lyraban")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ComposePixman, small_rgb24, kSmall, PIXMAN_r8g8b8)
    ->Name("Compose/800x600/pixman")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ComposePixman, small_xrgb32, kSmall, PIXMAN_x8r8g8b8)
    ->Name("Compose/800x600/pixman_x8r8g8b8")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ComposeLyraban, fullhd, kFullHd)->Name("Compose/1920x1080/lyraban")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ComposePixman, fullhd_rgb24, kFullHd, PIXMAN_r8g8b8)
    ->Name("Compose/1920x1080/pixman")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ComposePixman, fullhd_xrgb32, kFullHd, PIXMAN_x8r8g8b8)
    ->Name("Compose/1920x1080/pixman_x8r8g8b8")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lyraban
