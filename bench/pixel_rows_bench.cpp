// The screen-wide loops of a frame, each on its plain per-pixel path and on
// its vector path, side by side on the same pixels (800 × 600): the blend
// modes of a "back" layer's overlays at 40 % opacity, a character and a
// half-dark novel page drawn with alpha onto the screen, the page's
// darkening fill, and a decoded PNG's rows reordered into a surface.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "graphics/blend_bytes.h"
#include "graphics/pixel_rows.h"
#include "graphics/png_filters.h"

namespace lyraban {
namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kOpacity = 102;  // 40 %

std::vector<u8> RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<u8> bytes(size);
  for (u8& b : bytes) b = static_cast<u8>(random());
  return bytes;
}

const char* PathName(PixelPath path) { return path == PixelPath::Scalar ? "scalar" : "vector"; }

void BlendOverlay(benchmark::State& state, BlendMode mode, PixelPath path) {
  const std::size_t size = std::size_t{kWidth} * kHeight * 3;
  const std::vector<u8> overlay = RandomBytes(size, 1), screen = RandomBytes(size, 2);
  std::vector<u8> out = screen;
  for (auto _ : state) {
    // Each pass starts from the same screen, so every pass blends the same bytes.
    state.PauseTiming();
    out = screen;
    state.ResumeTiming();
    if (!BlendBytesWith(path, mode, out.data(), overlay.data(), size, kOpacity)) state.SkipWithError("no such path");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<i64>(state.iterations() * size));
}

// A figure standing in the middle: opaque inside an ellipse, a soft edge,
// clear around it; or the novel page: every pixel at half alpha.
std::vector<u8> MakeAlphaPicture(bool page) {
  std::vector<u8> pixels = RandomBytes(std::size_t{kWidth} * kHeight * 4, 3);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const double dx = (x - kWidth / 2.0) / (kWidth / 5.0), dy = (y - kHeight * 0.6) / (kHeight * 0.45);
      const double r = std::sqrt(dx * dx + dy * dy);
      const int alpha = page ? 127 : r < 0.95 ? 255 : r < 1.05 ? static_cast<int>((1.05 - r) * 2550) : 0;
      pixels[(std::size_t{static_cast<std::size_t>(y)} * kWidth + x) * 4] = static_cast<u8>(alpha);
    }
  return pixels;
}

void DrawAlpha(benchmark::State& state, bool page, PixelPath path) {
  const std::vector<u8> picture = MakeAlphaPicture(page);
  const std::vector<u8> screen = RandomBytes(std::size_t{kWidth} * kHeight * 3, 4);
  std::vector<u8> out = screen;
  for (auto _ : state) {
    state.PauseTiming();
    out = screen;
    state.ResumeTiming();
    for (int y = 0; y < kHeight; ++y)
      if (!BlitAlphaRowWith(path, out.data() + std::size_t{static_cast<std::size_t>(y)} * kWidth * 3,
                            picture.data() + std::size_t{static_cast<std::size_t>(y)} * kWidth * 4, kWidth, 255))
        state.SkipWithError("no such path");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void DarkenPage(benchmark::State& state, PixelPath path) {
  std::vector<u8> page(std::size_t{kWidth} * kHeight * 4, 0);
  const u8 black[4] = {255, 0, 0, 0};
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y)
      FillRowWith(path, page.data() + std::size_t{static_cast<std::size_t>(y)} * kWidth * 4, kWidth, 4, black, 1, 127);
    benchmark::DoNotOptimize(page.data());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// A decoded PNG row reordered into the surface (colour, and colour with
// alpha), every row of a picture.
void StorePngRows(benchmark::State& state, int bytesPerPixel, PixelPath path) {
  const std::size_t rowBytes = std::size_t{kWidth} * bytesPerPixel;
  const std::vector<u8> decoded = RandomBytes(rowBytes * kHeight, 5);
  std::vector<u8> surface(decoded.size());
  const png::StoreRow store =
      path == PixelPath::Scalar ? png::ReferenceStoreRowFor(bytesPerPixel) : png::StoreRowFor(bytesPerPixel);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y) store(surface.data() + y * rowBytes, decoded.data() + y * rowBytes, kWidth);
    benchmark::DoNotOptimize(surface.data());
  }
  state.SetBytesProcessed(static_cast<i64>(state.iterations() * decoded.size()));
}

void Register() {
  const std::pair<const char*, BlendMode> modes[] = {
      {"Screen", BlendMode::Screen},       {"Multi", BlendMode::Multi},         {"Overlay", BlendMode::Overlay},
      {"Softlight", BlendMode::Softlight}, {"Hardlight", BlendMode::Hardlight}, {"Dodge", BlendMode::Dodge}};
  for (PixelPath path : {PixelPath::Scalar, PixelPath::Vector}) {
    for (const auto& [name, mode] : modes)
      benchmark::RegisterBenchmark((std::string("Rows/blend_") + name + "_40%/800x600/" + PathName(path)).c_str(),
                                   BlendOverlay, mode, path)
          ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((std::string("Rows/draw_character/800x600/") + PathName(path)).c_str(), DrawAlpha,
                                 false, path)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((std::string("Rows/draw_novel_page/800x600/") + PathName(path)).c_str(), DrawAlpha,
                                 true, path)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((std::string("Rows/darken_page/800x600/") + PathName(path)).c_str(), DarkenPage, path)
        ->Unit(benchmark::kMicrosecond);
    for (int bpp : {3, 4})
      benchmark::RegisterBenchmark(
          (std::string("Rows/png_store_") + (bpp == 3 ? "rgb" : "rgba") + "/800x600/" + PathName(path)).c_str(),
          StorePngRows, bpp, path)
          ->Unit(benchmark::kMicrosecond);
  }
}

const int kRegistered = (Register(), 0);

}  // namespace
}  // namespace lyraban
