// One cross-fade frame of an 800×600 and of a 1920×1080 screen against the
// memory bound: the memcpy pair moves as many bytes as the cross-fade touches
// (two sources read, one destination written: 3 screens' bytes), as 1.5
// screens copied.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "graphics/surface.h"
#include "graphics/transition.h"

namespace lyraban {
namespace {

struct Size {
  int width, height;
};
constexpr Size kSmall{800, 600};
constexpr Size kFullHd{1920, 1080};

void Randomise(Surface& s, unsigned seed) {
  std::mt19937 random(seed);
  for (std::size_t i = 0; i < s.ByteSize(); ++i) s.pixels()[i] = static_cast<u8>(random());
}

struct Screens {
  explicit Screens(Size size) {
    front.Create(3, size.width, size.height);
    composed.Create(3, size.width, size.height);
    previous.Create(3, size.width, size.height);
    Randomise(front, 1);
    Randomise(composed, 2);
    Randomise(previous, 3);
  }
  std::size_t size() const { return front.ByteSize(); }
  Surface front, composed, previous;
};

void CrossFadeLyraban(benchmark::State& state, Size size, bool saturating) {
  Screens s(size);
  int t = 0;
  for (auto _ : state) {
    CrossFade(s.front, s.composed, s.previous, t, saturating);
    benchmark::DoNotOptimize(s.front.pixels());
    benchmark::ClobberMemory();
    t = (t + 7) & 255;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 3 * s.size());
}
BENCHMARK_CAPTURE(CrossFadeLyraban, small, kSmall, false)->Name("CrossFade/800x600/lyraban");
BENCHMARK_CAPTURE(CrossFadeLyraban, small_saturating, kSmall, true)->Name("CrossFade/800x600/lyraban_saturating");
BENCHMARK_CAPTURE(CrossFadeLyraban, fullhd, kFullHd, false)->Name("CrossFade/1920x1080/lyraban");
BENCHMARK_CAPTURE(CrossFadeLyraban, fullhd_saturating, kFullHd, true)->Name("CrossFade/1920x1080/lyraban_saturating");

void CrossFadeMemcpy(benchmark::State& state, Size size) {
  Screens s(size);
  const std::size_t n = s.size();
  for (auto _ : state) {
    // Both sources read, 1.5 screens written: the same 3 × n bytes of traffic.
    std::memcpy(s.front.pixels(), s.composed.pixels(), n);
    std::memcpy(s.previous.pixels(), s.previous.pixels() + n / 2, n / 2);
    benchmark::DoNotOptimize(s.front.pixels());
    benchmark::DoNotOptimize(s.previous.pixels());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 3 * n);
}
BENCHMARK_CAPTURE(CrossFadeMemcpy, small, kSmall)->Name("CrossFade/800x600/memcpy");
BENCHMARK_CAPTURE(CrossFadeMemcpy, fullhd, kFullHd)->Name("CrossFade/1920x1080/memcpy");

}  // namespace
}  // namespace lyraban
