#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/trace.h"
#include "persist/user_settings.h"
#include "platform/freetype/freetype_fonts.h"
#include "text/glyph.h"
#include "text/message_text.h"
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

// A full page of the message window at typing speed 4 (everything at once):
// the page is cleared to the window box, three 22-character lines with one
// ruby and one emphasised word are parsed and typed into it, with shadows as
// the default settings draw them.
void TypePage(benchmark::State& state, bool cached) {
  Trace trace;
  platform::FreeTypeFontService fonts(trace);
  if (!fonts.HasCjkFace()) {
    state.SkipWithError("no CJK font installed");
    return;
  }
  const CodePage gbk;
  UserSettings settings;
  ResetUserSettings(settings);
  GlyphRasterizer rasterizer(gbk, trace);
  rasterizer.SetGlyphCache(cached);
  MessageText text(rasterizer, fonts, settings, trace);
  const std::string page = gbk.FromUtf8(
      "窗外的雨下了整整一夜，直到黎明时才渐渐停歇。/"
      "她推开木门，想起那个|约定(やくそく)，心里泛起一阵温暖。/"
      "“这一次，我会守住[秘密]，绝不让任何人知道。”");
  constexpr int kBoxHeight = 200;
  Surface box, surface;
  box.Create(4, 800, kBoxHeight);
  surface.Create(4, 800, kBoxHeight);
  // A half-transparent dark box, as the window's background image gives.
  for (std::size_t i = 0; i < box.ByteSize(); i += 4) {
    box.pixels()[i] = 160;
    box.pixels()[i + 1] = 40;
    box.pixels()[i + 2] = 24;
    box.pixels()[i + 3] = 16;
  }
  for (auto _ : state) {
    std::memcpy(surface.pixels(), box.pixels(), box.ByteSize());
    text.SelectTextArea(kWindowTextArea);
    text.penX = kWindowTextArea.left;
    text.penY = kWindowTextArea.top;
    text.ParseMessageText(page);
    text.BeginMessage();
    text.TypeMessage(surface, -1);
    benchmark::DoNotOptimize(surface.pixels()[0]);
  }
  // Three lines exactly: the page was measured to fit the text area, so a
  // wrap here would mean the page timed is not the one described.
  if (text.penY != kWindowTextArea.top + 2 * MessageText::kLinePitch)
    state.SkipWithError("the page did not lay out as three lines");
  state.SetItemsProcessed(state.iterations());
}

// 1,000 different ideographs (the first GBK hanzi rows) rendered and
// composited across a screen-sized 4-byte surface. Cached, every glyph is a
// hit after the first pass; uncached, every one is rasterized from its
// outline.
void RenderGlyphs1000(benchmark::State& state, bool cached) {
  Trace trace;
  platform::FreeTypeFontService fonts(trace);
  if (!fonts.HasCjkFace()) {
    state.SkipWithError("no CJK font installed");
    return;
  }
  const CodePage gbk;
  std::vector<u32> codes;
  for (u32 lead = 0xB0; codes.size() < 1000; ++lead)
    for (u32 trail = 0xA1; trail <= 0xFE && codes.size() < 1000; ++trail) codes.push_back(lead << 8 | trail);
  GlyphRasterizer rasterizer(gbk, trace);
  rasterizer.SetGlyphCache(cached);
  auto font = CreateFont(fonts, 24, 400);
  Surface surface;
  surface.Create(4, 800, 600);
  std::fill_n(surface.pixels(), surface.ByteSize(), u8{0});
  int failed = 0;
  for (auto _ : state) {
    int x = 0, y = 0;
    for (u32 code : codes) {
      failed += !rasterizer.RenderGlyph(font.get(), code, 1.0);
      rasterizer.CompositeGlyph(surface, x, y, TextColour{255, 255, 255});
      x += rasterizer.advanceX();
      if (x > 776) x = 0, y = (y + 26) % 576;
    }
    benchmark::DoNotOptimize(surface.pixels()[0]);
  }
  if (failed) state.SkipWithError("some glyphs did not render");
  state.SetItemsProcessed(state.iterations() * static_cast<long>(codes.size()));
}

void BM_TypePageCached(benchmark::State& state) { TypePage(state, true); }
void BM_TypePageUncached(benchmark::State& state) { TypePage(state, false); }
void BM_Glyphs1000Cached(benchmark::State& state) { RenderGlyphs1000(state, true); }
void BM_Glyphs1000Uncached(benchmark::State& state) { RenderGlyphs1000(state, false); }
BENCHMARK(BM_TypePageCached)->Name("TypePage/speed4/cached")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TypePageUncached)->Name("TypePage/speed4/uncached")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Glyphs1000Cached)->Name("Glyphs1000/cached")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Glyphs1000Uncached)->Name("Glyphs1000/uncached")->Unit(benchmark::kMicrosecond);

}  // namespace
