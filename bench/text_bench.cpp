#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "core/base/trace.h"
#include "platform/freetype/freetype_fonts.h"
#include "text/glyph.h"
#include "text/text_pen.h"

namespace {

using namespace lyraban;

// One 40-character dialogue line, rendered and composited glyph by glyph
// into a message-window sized 4-byte surface, with and without the cache.
void RenderCjkLine(benchmark::State& state, bool cached) {
  Trace trace;
  platform::FreeTypeFontService fonts(trace);
  if (!fonts.HasCjkFace()) {
    state.SkipWithError("no CJK font installed");
    return;
  }
  const CodePage gbk;
  const std::string line =
      gbk.FromUtf8("夜空に浮かぶ月の光が静かな町を照らしていた。彼女は窓辺に立ち、遠くの山並みを眺めながら息をついた");
  std::vector<u32> codes;
  ForEachCode(gbk, line, [&](u32 code) { codes.push_back(code); });
  codes.resize(std::min<std::size_t>(codes.size(), 40));
  GlyphRasterizer rasterizer(gbk, trace);
  rasterizer.SetGlyphCache(cached);
  auto font = CreateFont(fonts, 24, 700);
  Surface surface;
  surface.Create(4, 800, 200);
  std::fill_n(surface.pixels(), surface.ByteSize(), u8{0});
  for (auto _ : state) {
    int x = 0;
    for (u32 code : codes) {
      rasterizer.RenderGlyph(font.get(), code, 1.0);
      rasterizer.CompositeGlyph(surface, x % 776, 70, TextColour{255, 255, 255});
      x += rasterizer.advanceX();
    }
    benchmark::DoNotOptimize(surface.pixels()[0]);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(codes.size()));
}

void BM_TextLineUncached(benchmark::State& state) { RenderCjkLine(state, false); }
void BM_TextLineCached(benchmark::State& state) { RenderCjkLine(state, true); }
BENCHMARK(BM_TextLineUncached)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TextLineCached)->Unit(benchmark::kMicrosecond);

}  // namespace
