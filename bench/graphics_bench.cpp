#include <benchmark/benchmark.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "graphics/blend.h"
#include "graphics/png.h"
#include "graphics/surface.h"

namespace lyraban {
namespace {

// A photo-like picture: smooth gradients with sensor-like noise.
Surface MakePhoto() {
  Surface s;
  s.Create(3, 800, 600);
  std::mt19937 random(1);
  for (int y = 0; y < 600; ++y) {
    u8* p = s.Row(y);
    for (int x = 0; x < 800; ++x, p += 3) {
      const double wave = std::sin(x * 0.013) * std::cos(y * 0.017);
      p[0] = static_cast<u8>(std::clamp(90 + 60 * wave + y * 0.1 + int(random() % 7), 0.0, 255.0));
      p[1] = static_cast<u8>(std::clamp(120 + 50 * wave + x * 0.08 + int(random() % 7), 0.0, 255.0));
      p[2] = static_cast<u8>(std::clamp(140 - 40 * wave + int(random() % 7), 0.0, 255.0));
    }
  }
  return s;
}

// A character picture: a shaded figure on a transparent background.
Surface MakeCharacter() {
  Surface s;
  s.Create(4, 800, 600);
  std::memset(s.pixels(), 0, s.ByteSize());
  for (int y = 0; y < 600; ++y) {
    u8* p = s.Row(y);
    for (int x = 0; x < 800; ++x, p += 4) {
      const double dx = (x - 400) / 220.0, dy = (y - 330) / 280.0;
      const double r = dx * dx + dy * dy;
      if (r > 1.0) continue;
      p[0] = static_cast<u8>(r > 0.96 ? (1.0 - r) * 255 / 0.04 : 255);
      p[1] = static_cast<u8>(180 + 60 * dy);
      p[2] = static_cast<u8>(150 + 40 * dx);
      p[3] = static_cast<u8>(230 - 50 * r);
    }
  }
  return s;
}

const std::string& Encoded(bool photo) {
  static const std::string photoBytes = [] {
    std::string out;
    EncodePng(MakePhoto(), out);
    return out;
  }();
  static const std::string characterBytes = [] {
    std::string out;
    EncodePng(MakeCharacter(), out);
    return out;
  }();
  return photo ? photoBytes : characterBytes;
}

void DecodeLyraban(benchmark::State& state, bool photo) {
  const std::string& bytes = Encoded(photo);
  for (auto _ : state) {
    Surface s;
    if (!DecodePng(bytes, s)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(s.pixels());
  }
  state.SetBytesProcessed(state.iterations() * 800 * 600 * (photo ? 3 : 4));
}

struct MemoryInput {
  const std::string* bytes;
  std::size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* input = static_cast<MemoryInput*>(png_get_io_ptr(png));
  if (input->bytes->size() - input->at < length) png_error(png, "short");
  std::memcpy(out, input->bytes->data() + input->at, length);
  input->at += length;
}

bool DecodeWithLibpng(const std::string& bytes, std::vector<u8>& pixels, std::vector<png_bytep>& rows) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  MemoryInput input{&bytes, 0};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &input, ReadFromMemory);
  png_read_info(png, info);
  const std::size_t rowBytes = png_get_rowbytes(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels.data() + y * rowBytes;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

void DecodeLibpng(benchmark::State& state, bool photo) {
  const std::string& bytes = Encoded(photo);
  for (auto _ : state) {
    // Allocated per decode, as the engine's decoder allocates its surface.
    std::vector<u8> pixels(800 * 600 * (photo ? 3 : 4));
    std::vector<png_bytep> rows(600);
    if (!DecodeWithLibpng(bytes, pixels, rows)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(state.iterations() * 800 * 600 * (photo ? 3 : 4));
}

BENCHMARK_CAPTURE(DecodeLyraban, photo, true)->Name("PngDecode/photo800x600rgb/lyraban");
BENCHMARK_CAPTURE(DecodeLibpng, photo, true)->Name("PngDecode/photo800x600rgb/libpng");
BENCHMARK_CAPTURE(DecodeLyraban, character, false)->Name("PngDecode/character800x600rgba/lyraban");
BENCHMARK_CAPTURE(DecodeLibpng, character, false)->Name("PngDecode/character800x600rgba/libpng");

// The layers' common case: an actor with alpha drawn onto the 3-byte
// composed screen, plainly and through a blend mode.
void BlitActorOntoScreen(benchmark::State& state) {
  const Surface actor = MakeCharacter();
  Surface screen = MakePhoto();
  for (auto _ : state) {
    BlitAll(screen, actor, 0, 0);
    benchmark::DoNotOptimize(screen.pixels());
  }
  state.SetItemsProcessed(state.iterations() * 800 * 600);
}
BENCHMARK(BlitActorOntoScreen)->Name("Blit/rgb<-rgba/800x600");

void BlendOntoScreen(benchmark::State& state) {
  const Surface overlay = MakePhoto();
  Surface screen = MakePhoto();
  const auto mode = static_cast<BlendMode>(state.range(0));
  for (auto _ : state) {
    BlendAll(screen, overlay, mode, 0, 0, 200);
    benchmark::DoNotOptimize(screen.pixels());
  }
  state.SetItemsProcessed(state.iterations() * 800 * 600);
}
BENCHMARK(BlendOntoScreen)->Name("Blend/rgb<-rgb/opacity200")->Arg(2)->Arg(4)->Arg(6);

}  // namespace
}  // namespace lyraban
