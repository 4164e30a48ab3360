#include <benchmark/benchmark.h>
#include <png.h>
#include <spng.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "graphics/blend.h"
#include "graphics/png.h"
#include "graphics/surface.h"

namespace lyraban {
namespace {

// Picture sizes the decoding pairs run at: the classic screen and 1080p.
struct Size {
  int width, height;
};
constexpr Size kSmall{800, 600};
constexpr Size kFullHd{1920, 1080};

// A photo-like picture: smooth gradients with sensor-like noise. Larger sizes
// show the same picture stretched, so only the pixel count changes.
Surface MakePhoto(Size size = kSmall) {
  Surface s;
  s.Create(3, size.width, size.height);
  const double sx = 800.0 / size.width, sy = 600.0 / size.height;
  std::mt19937 random(1);
  for (int y = 0; y < size.height; ++y) {
    u8* p = s.Row(y);
    const double v = y * sy;
    for (int x = 0; x < size.width; ++x, p += 3) {
      const double u = x * sx;
      const double wave = std::sin(u * 0.013) * std::cos(v * 0.017);
      p[0] = static_cast<u8>(std::clamp(90 + 60 * wave + v * 0.1 + int(random() % 7), 0.0, 255.0));
      p[1] = static_cast<u8>(std::clamp(120 + 50 * wave + u * 0.08 + int(random() % 7), 0.0, 255.0));
      p[2] = static_cast<u8>(std::clamp(140 - 40 * wave + int(random() % 7), 0.0, 255.0));
    }
  }
  return s;
}

// A character picture: a shaded figure on a transparent background.
Surface MakeCharacter(Size size = kSmall) {
  Surface s;
  s.Create(4, size.width, size.height);
  std::memset(s.pixels(), 0, s.ByteSize());
  const double sx = 800.0 / size.width, sy = 600.0 / size.height;
  for (int y = 0; y < size.height; ++y) {
    u8* p = s.Row(y);
    for (int x = 0; x < size.width; ++x, p += 4) {
      const double dx = (x * sx - 400) / 220.0, dy = (y * sy - 330) / 280.0;
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

// One encoded picture per kind and size, made on first use.
const std::string& Encoded(bool photo, Size size) {
  static std::map<std::tuple<bool, int, int>, std::string> cache;
  std::string& bytes = cache[{photo, size.width, size.height}];
  if (bytes.empty()) EncodePng(photo ? MakePhoto(size) : MakeCharacter(size), bytes);
  return bytes;
}

int64_t PictureBytes(bool photo, Size size) { return int64_t{size.width} * size.height * (photo ? 3 : 4); }

void DecodeLyraban(benchmark::State& state, bool photo, Size size) {
  const std::string& bytes = Encoded(photo, size);
  for (auto _ : state) {
    Surface s;
    if (!DecodePng(bytes, s)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(s.pixels());
  }
  state.SetBytesProcessed(state.iterations() * PictureBytes(photo, size));
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

void DecodeLibpng(benchmark::State& state, bool photo, Size size) {
  const std::string& bytes = Encoded(photo, size);
  for (auto _ : state) {
    // Allocated per decode, as the engine's decoder allocates its surface.
    std::vector<u8> pixels(PictureBytes(photo, size));
    std::vector<png_bytep> rows(size.height);
    if (!DecodeWithLibpng(bytes, pixels, rows)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(state.iterations() * PictureBytes(photo, size));
}

// libspng in the picture's own pixel format (no conversion), like the libpng
// side; it checks the chunks' CRCs by default, as the others do.
bool DecodeWithLibspng(const std::string& bytes, std::vector<u8>& pixels) {
  spng_ctx* ctx = spng_ctx_new(0);
  if (!ctx) return false;
  std::size_t size = 0;
  bool ok = spng_set_png_buffer(ctx, bytes.data(), bytes.size()) == 0 &&
            spng_decoded_image_size(ctx, SPNG_FMT_PNG, &size) == 0 && size == pixels.size() &&
            spng_decode_image(ctx, pixels.data(), size, SPNG_FMT_PNG, 0) == 0;
  spng_ctx_free(ctx);
  return ok;
}

void DecodeLibspng(benchmark::State& state, bool photo, Size size) {
  const std::string& bytes = Encoded(photo, size);
  for (auto _ : state) {
    std::vector<u8> pixels(PictureBytes(photo, size));
    if (!DecodeWithLibspng(bytes, pixels)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(state.iterations() * PictureBytes(photo, size));
}

BENCHMARK_CAPTURE(DecodeLyraban, photo, true, kSmall)->Name("PngDecode/photo800x600rgb/lyraban");
BENCHMARK_CAPTURE(DecodeLibpng, photo, true, kSmall)->Name("PngDecode/photo800x600rgb/libpng");
BENCHMARK_CAPTURE(DecodeLibspng, photo, true, kSmall)->Name("PngDecode/photo800x600rgb/libspng");
BENCHMARK_CAPTURE(DecodeLyraban, character, false, kSmall)->Name("PngDecode/character800x600rgba/lyraban");
BENCHMARK_CAPTURE(DecodeLibpng, character, false, kSmall)->Name("PngDecode/character800x600rgba/libpng");
BENCHMARK_CAPTURE(DecodeLibspng, character, false, kSmall)->Name("PngDecode/character800x600rgba/libspng");
BENCHMARK_CAPTURE(DecodeLyraban, photo, true, kFullHd)->Name("PngDecode/photo1920x1080rgb/lyraban");
BENCHMARK_CAPTURE(DecodeLibpng, photo, true, kFullHd)->Name("PngDecode/photo1920x1080rgb/libpng");
BENCHMARK_CAPTURE(DecodeLibspng, photo, true, kFullHd)->Name("PngDecode/photo1920x1080rgb/libspng");
BENCHMARK_CAPTURE(DecodeLyraban, character, false, kFullHd)->Name("PngDecode/character1920x1080rgba/lyraban");
BENCHMARK_CAPTURE(DecodeLibpng, character, false, kFullHd)->Name("PngDecode/character1920x1080rgba/libpng");
BENCHMARK_CAPTURE(DecodeLibspng, character, false, kFullHd)->Name("PngDecode/character1920x1080rgba/libspng");

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
