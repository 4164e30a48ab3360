// One cross-fade frame of an 800×600 screen against the memory bound: the
// memcpy pair moves as many bytes as the cross-fade touches (two sources
// read, one destination written, 3 × 1.44 MB), as 1.5 screens copied.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "graphics/surface.h"
#include "graphics/transition.h"

namespace lyraban {
namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

void Randomise(Surface& s, unsigned seed) {
  std::mt19937 random(seed);
  for (std::size_t i = 0; i < s.ByteSize(); ++i) s.pixels()[i] = static_cast<u8>(random());
}

struct Screens {
  Screens() {
    front.Create(3, kWidth, kHeight);
    composed.Create(3, kWidth, kHeight);
    previous.Create(3, kWidth, kHeight);
    Randomise(front, 1);
    Randomise(composed, 2);
    Randomise(previous, 3);
  }
  std::size_t size() const { return front.ByteSize(); }
  Surface front, composed, previous;
};

void CrossFadeLyraban(benchmark::State& state) {
  Screens s;
  const bool saturating = state.range(0) != 0;
  int t = 0;
  for (auto _ : state) {
    CrossFade(s.front, s.composed, s.previous, t, saturating);
    benchmark::DoNotOptimize(s.front.pixels());
    benchmark::ClobberMemory();
    t = (t + 7) & 255;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 3 * s.size());
}
BENCHMARK(CrossFadeLyraban)->Name("CrossFade/lyraban")->Arg(0)->Arg(1);

void CrossFadeMemcpy(benchmark::State& state) {
  Screens s;
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
BENCHMARK(CrossFadeMemcpy)->Name("CrossFade/memcpy");

}  // namespace
}  // namespace lyraban
