#include "text/glyph.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <vector>

#include "fake_fonts.h"
#include "graphics/pixel.h"
#include "graphics/png.h"
#include "platform/freetype/freetype_fonts.h"
#include "resources/resources.h"
#include "support/temp_dir.h"
#include "text/game_font.h"
#include "text/text_pen.h"

namespace lyraban {
namespace {

using testing::FakeFontService;
using testing::FontRig;

// Reducing the outline shows in the rasterizer's hand-computed maps below.
TEST(CoverageTest, WidenAddsTheLeftNeighbourAndSaturates) {
  std::vector<u8> map = {10, 200, 100, 0, 9, 0, 0, 255, 255, 9};  // stride 5, width 4
  WidenCoverage(map.data(), 4, 2, 5);
  EXPECT_EQ(map, (std::vector<u8>{10, 210, 255, 100, 9, 0, 0, 255, 255, 9}));
}

TEST(CoverageTest, CompositeMixesEachPixelFormat) {
  const u8 map[] = {128, 64};
  const auto blend = [&](int bpp, int width, std::vector<u8> start, TextColour c = {200, 100, 50}) {
    Surface s;
    EXPECT_TRUE(s.Create(bpp, width, 1));
    std::copy(start.begin(), start.end(), s.pixels());
    EXPECT_TRUE(CompositeCoverage(s, 0, 0, map, width, 1, 2, c));
    return std::vector<u8>(s.pixels(), s.pixels() + s.ByteSize());
  };
  // Blue, green, red; towards darker values the rounding goes through
  // arithmetic shifts.
  EXPECT_EQ(blend(3, 2, {10, 20, 30, 200, 200, 200}), (std::vector<u8>{30, 60, 115, 162, 175, 200}));
  EXPECT_EQ(blend(4, 1, {100, 10, 20, 30}), (std::vector<u8>{178, 30, 60, 115}));
  // Grey formats blend towards the colour's luma (123 here, 254 for white).
  EXPECT_EQ(blend(2, 1, {0, 0}), (std::vector<u8>{128, 62}));
  EXPECT_EQ(blend(1, 1, {0}, {255, 255, 255}), (std::vector<u8>{127}));
}

TEST(CoverageTest, CompositeClipsAtEveryEdge) {
  Surface s;
  ASSERT_TRUE(s.Create(1, 4, 3));
  // Columns carry their own coverage so that clipping shows which survive.
  const u8 map[] = {10, 20, 30, 40, 50, 60, 11, 21, 31, 41, 51, 61};
  const auto at = [&](int x, int y) {
    std::fill_n(s.pixels(), s.ByteSize(), u8{0});
    EXPECT_TRUE(CompositeCoverage(s, x, y, map, 6, 2, 6, TextColour{255, 255, 255}));
    return std::vector<u8>(s.pixels(), s.pixels() + s.ByteSize());
  };
  const auto w = [](int c) { return static_cast<u8>(Lerp(0, 254, c)); };
  EXPECT_EQ(at(-3, 0), (std::vector<u8>{w(40), w(50), w(60), 0, w(41), w(51), w(61), 0, 0, 0, 0, 0}));
  EXPECT_EQ(at(2, 2), (std::vector<u8>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, w(10), w(20)}));
  for (auto [x, y] : {std::pair{4, 0}, {-6, 0}, {0, -2}, {0, 3}}) EXPECT_EQ(at(x, y), std::vector<u8>(12, 0));
  Surface empty;
  EXPECT_FALSE(CompositeCoverage(empty, 0, 0, map, 6, 2, 6, TextColour{}));
}

class RasterizerTest : public ::testing::Test, public FontRig {
 protected:
  std::vector<u8> Map() const {
    return {rasterizer.coverage(), rasterizer.coverage() + rasterizer.stride() * rasterizer.height()};
  }

  std::unique_ptr<Font> plain = CreateFont(fonts, 24, 400), bold = CreateFont(fonts, 24, 700);
};

TEST_F(RasterizerTest, MetricsFollowTheMagnifiedOutline) {
  // 10×9 magnified pixels: two output columns and two output rows, the
  // second from one lone source row.
  FakeFontService::Glyph& q = fonts.glyphs['Q'];
  q.metrics = {10, 9, -9, 17, -100, 0};
  q.bits.assign(4 * 9, 0);
  for (int r = 0; r < 8; ++r) q.bits[r * 4] = 0xFF, q.bits[r * 4 + 1] = 0xC0;
  q.bits[8 * 4] = 0x80;
  ASSERT_TRUE(rasterizer.RenderGlyph(plain.get(), 'Q', 1.0));
  // originX: -9 >> 3 rounds down; top: ascent 20 less 17 >> 3; |cellIncX| >> 3.
  EXPECT_EQ(std::vector<int>({rasterizer.width(), rasterizer.height(), rasterizer.stride(), rasterizer.originX(),
                              rasterizer.top(), rasterizer.advanceX()}),
            std::vector<int>({2, 2, 4, -2, 18, 12}));
  EXPECT_EQ(Map(), (std::vector<u8>{255, 63, 0, 0, 3, 0, 0, 0}));
  // The ascent scales with the glyph; the outline's own offsets do not.
  ASSERT_TRUE(rasterizer.RenderGlyph(plain.get(), 'Q', 0.5));
  EXPECT_EQ(rasterizer.top(), 10 - 2);
}

TEST_F(RasterizerTest, EmptyGlyphsAdvanceAndFailuresLeaveNothing) {
  fonts.glyphs[' '].metrics.cellIncX = 96;
  ASSERT_TRUE(rasterizer.RenderGlyph(plain.get(), ' ', 1.0));
  EXPECT_EQ(std::tuple(rasterizer.width(), rasterizer.height(), rasterizer.advanceX()), std::tuple(0, 0, 12));
  Surface s;
  ASSERT_TRUE(s.Create(3, 4, 4));
  EXPECT_TRUE(rasterizer.CompositeGlyph(s, 0, 0, TextColour{}));

  fonts.glyphs['F'].fail = true;
  fonts.glyphs['L'] = {{1, 1, 0, 1, 8, 0}, {0x80, 0, 0, 0, 0}};  // a byte more than its metrics announce
  // Nothing, no character, a lone GBK lead byte, a code past 16 bits, no scale.
  const std::pair<Font*, u32> bad[] = {{plain.get(), 'F'}, {plain.get(), 'L'},  {nullptr, 'A'},
                                       {plain.get(), 0},   {plain.get(), 0xB0}, {plain.get(), 0x10041}};
  for (auto [font, code] : bad) {
    ASSERT_TRUE(rasterizer.RenderGlyph(plain.get(), 'A', 1.0));
    EXPECT_FALSE(rasterizer.RenderGlyph(font, code, 1.0)) << code;
    EXPECT_EQ(std::pair(rasterizer.advanceX(), rasterizer.width()), std::pair(0, 0)) << code;
  }
  EXPECT_FALSE(rasterizer.RenderGlyph(plain.get(), 'A', 0.0));
}

// The glyph reference test proves that a cache hit draws what a fresh render
// draws, on a real face; here that hits skip the outline, per font and scale.
TEST_F(RasterizerTest, BoldIsOneColumnWiderAndTheCacheServesRepeatsPerFontAndScale) {
  const u32 hei = 0xBADA;  // 黑 in GBK
  ASSERT_TRUE(rasterizer.RenderGlyph(bold.get(), hei, 1.0));
  EXPECT_EQ(std::tuple(rasterizer.width(), rasterizer.stride(), Map()[24], fonts.requests.back().weight),
            std::tuple(25, 25, u8{255}, 700));
  const int calls = fonts.bitmapCalls;
  for (auto [font, scale, more] : {std::tuple{bold.get(), 1.0, 0}, {bold.get(), 0.5, 1}, {plain.get(), 1.0, 2}}) {
    ASSERT_TRUE(rasterizer.RenderGlyph(font, hei, scale));
    EXPECT_EQ(fonts.bitmapCalls, calls + more) << scale;
  }
  rasterizer.SetGlyphCache(false);
  ASSERT_TRUE(rasterizer.RenderGlyph(bold.get(), hei, 1.0));
  EXPECT_EQ(fonts.bitmapCalls, calls + 3);
}

// Fake glyphs are solid boxes one font size square whose top is the pen's y.
TEST(TextPenTest, FontRulesSpacesLinesBrokenCharactersAndWrapInThePenColour) {
  FontRig rig;
  TextPen pen{rig.rasterizer, rig.fonts, 200, 120};
  Surface surface;
  ASSERT_TRUE(surface.Create(4, 200, 120));
  pen.DrawString(surface, "ab", false);
  EXPECT_EQ(pen.penX, 0) << "no font, no advance";
  EXPECT_TRUE(!pen.SetFont(-1, 0) && !pen.SetFont(10, -1) && rig.fonts.requests.empty());
  ASSERT_TRUE(pen.SetFont(25, 2));
  EXPECT_EQ(std::pair(rig.fonts.requests.back().height, rig.fonts.requests.back().weight), std::pair(25, 400));
  pen.left = 7, pen.top = 5;
  pen.Reset();
  // Half-width space: half the size, rounded down; full-width: the size.
  pen.DrawString(surface, " " + testing::Gbk("　"), true);
  EXPECT_EQ(pen.penX, 7 + 12 + 25);
  pen.DrawString(surface, "a\nc", false);
  EXPECT_EQ(std::pair(pen.penX, pen.penY), std::pair(7 + 25, 5 + 27));
  // A trailing lead byte has no trail: not drawn, the pen stays; a zero byte ends the text.
  pen.DrawString(surface, std::string_view("A\xB0\0D", 4), true);
  EXPECT_EQ(pen.penX, 7 + 50);

  ASSERT_TRUE(pen.SetFont(20, 4));
  pen.left = 0, pen.right = 100;
  // From x, wrap, then the pen after.
  for (auto [x, wrap, afterX, afterY] : {std::tuple{81, true, 20, 24}, {81, false, 101, 0}, {80, true, 100, 0}}) {
    pen.penX = x, pen.penY = 0;
    pen.DrawChar(surface, 'A', wrap);
    EXPECT_EQ(std::pair(pen.penX, pen.penY), std::pair(afterX, afterY)) << x;
  }
}

// Real glyphs, pixel for pixel: a CJK character and a Latin letter rendered
// through FreeType and the glyph rasterizer, composited into a 4-byte
// surface and compared with a coverage map that was reviewed by eye once.
//
// The reference depends on the exact font file and rasterizer, so it carries
// a note of both. Run with LYRABAN_UPDATE_GLYPH_REFERENCE=1 to write it
// afresh, then look at the image before keeping it.

namespace fs = std::filesystem;

const fs::path kDir = fs::path(LYRABAN_SOURCE_DIR) / "tests" / "text" / "reference";
const fs::path kImage = kDir / "glyph_coverage.png", kNote = kDir / "glyph_coverage.txt";
// The sample strip, a 32-pixel cell each (character, weight, scale): 永 holds
// every basic stroke (dot, hook, rising and falling sweeps), so most
// rasterizer faults show in it; g has a descender and a bowl. The half scale
// is the ruby size.
const std::tuple<const char*, int, double> kSamples[] = {
    {"永", 400, 1.0}, {"永", 700, 1.0}, {"g", 400, 1.0}, {"g", 700, 1.0}, {"永", 400, 0.5}};
constexpr int kCell = 32, kPen = 4, kWidth = 5 * kCell, kHeight = 34;
const char* const kUpdate = std::getenv("LYRABAN_UPDATE_GLYPH_REFERENCE");
const bool kUpdating = kUpdate && *kUpdate && std::string(kUpdate) != "0";

class GlyphReferenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int face = 0, boldFace = 0;
    const std::string font = fonts_.FindFontFile(platform::FontFamily::Heiti, 400, face);
    const std::string bold = fonts_.FindFontFile(platform::FontFamily::Heiti, 700, boldFace);
    std::error_code ec;
    // The note's lines, a value running to the end of its line (paths may hold spaces).
    current_ = {{"font", font},
                {"face", std::to_string(face)},
                {"font-bytes", std::to_string(font.empty() ? 0 : fs::file_size(font, ec))},
                {"freetype", std::to_string(FREETYPE_MAJOR) + "." + std::to_string(FREETYPE_MINOR) + "." +
                                 std::to_string(FREETYPE_PATCH)}};
    if (font.empty() || !fonts_.HasCjkFace()) GTEST_SKIP() << "no CJK font found through fontconfig";
    if (bold != font || boldFace != face)
      GTEST_SKIP() << "bold resolves to another face (" << bold << "), so the bold cells cannot match";
    if (kUpdating) return;
    std::istringstream note(testing::ReadFileBytes(kNote));
    for (std::string line; std::getline(note, line);)
      if (const auto space = line.find(' '); space != std::string::npos)
        reference_[line.substr(0, space)] = line.substr(space + 1);
    ASSERT_FALSE(reference_.empty()) << "missing " << kNote << "; run with LYRABAN_UPDATE_GLYPH_REFERENCE=1";
    // Another face draws other pixels; that is not a fault of the renderer.
    for (const char* key : {"font", "face", "font-bytes"})
      if (reference_[key] != current_[key])
        GTEST_SKIP() << "reference made with " << key << " " << reference_[key] << ", here " << current_[key];
  }

  // Renders the strip white on transparent black, which on a clear 4-byte
  // pixel makes alpha, blue, green and red all equal the coverage, then
  // compares it with the reference, taking the channels in turn.
  void ExpectStripMatchesReference(const std::string& what) {
    SCOPED_TRACE(what + ", font " + current_["font"] + ", FreeType " + current_["freetype"]);
    Surface strip, grey, expected;
    ASSERT_TRUE(strip.Create(4, kWidth, kHeight) && grey.Create(1, kWidth, kHeight) && plain_ && bold_);
    std::fill_n(strip.pixels(), strip.ByteSize(), u8{0});
    for (int i = 0; i < 5; ++i) {
      const auto [utf8, weight, scale] = kSamples[i];
      const u32 code = CodePage(CodePage::Kind::Gbk).CodeFromUtf8(utf8);
      ASSERT_TRUE(rasterizer_.RenderGlyph(weight > 400 ? bold_.get() : plain_.get(), code, scale)) << utf8;
      ASSERT_TRUE(rasterizer_.CompositeGlyph(strip, i * kCell + kPen, kPen, TextColour{255, 255, 255}));
    }
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) grey.Row(y)[x] = strip.Row(y)[x * 4 + x % 4];
    if (kUpdating && what == "uncached") {
      std::string png, note;
      ASSERT_TRUE(EncodePng(grey, png, 9));
      fs::create_directories(kDir);
      testing::WriteFileBytes(kImage, png);
      for (const char* key : {"font", "face", "font-bytes", "freetype"}) note += key + (" " + current_[key] + "\n");
      testing::WriteFileBytes(kNote, note);
      reference_ = current_;
      std::printf("glyph reference written to %s; review it before keeping it\n", kImage.c_str());
    }
    // When updating this also proves that the stored file reads back the same.
    ASSERT_TRUE(DecodePng(testing::ReadFileBytes(kImage), expected)) << "cannot read " << kImage;
    ASSERT_EQ(std::tuple(expected.bytesPerPixel(), expected.width(), expected.height()),
              std::tuple(1, kWidth, kHeight));
    int differing = 0;
    for (int y = 0; y < kHeight; ++y) differing += std::memcmp(grey.Row(y), expected.Row(y), kWidth) != 0;
    EXPECT_EQ(differing, 0) << "rows differ from " << kImage << "; the reference was made with FreeType "
                            << reference_["freetype"];
  }

  Trace trace_;
  platform::FreeTypeFontService fonts_{trace_};
  GlyphRasterizer rasterizer_{CodePage(CodePage::Kind::Gbk), trace_};
  // Kept between strips: the glyph cache lives in the font.
  std::unique_ptr<Font> plain_ = CreateFont(fonts_, 24, 400), bold_ = CreateFont(fonts_, 24, 700);
  std::map<std::string, std::string> current_, reference_;
};

// With the cache on, a hit must draw exactly what a fresh render draws.
TEST_F(GlyphReferenceTest, MatchesReviewedReferenceCachedOrNot) {
  rasterizer_.SetGlyphCache(false);
  ExpectStripMatchesReference("uncached");
  rasterizer_.SetGlyphCache(true);
  ExpectStripMatchesReference("cache filling");
  ExpectStripMatchesReference("cache hits");
}

// The service's refusals, and a game font taken from memory (the machine's face).
TEST(FreeTypeTest, RefusesImpossibleSizesAndBrokenFontDataThenUsesTheGameFont) {
  Trace trace;
  platform::FreeTypeFontService fonts{trace};
  for (int height : {0, -5, 100000}) EXPECT_EQ(fonts.CreateFont({height, 400, platform::FontFamily::Heiti}), nullptr);
  if (!fonts.HasCjkFace()) GTEST_SKIP() << "no CJK font found through fontconfig (install fonts-wqy-microhei)";
  int index = 0;
  const std::string file = testing::ReadFileBytes(fonts.FindFontFile(platform::FontFamily::Heiti, 400, index));
  ASSERT_GT(file.size(), 200u);
  std::vector<u8> bytes(file.begin(), file.end());
  EXPECT_FALSE(fonts.UseFontData({}) || fonts.UseFontData(std::vector<u8>(bytes.begin(), bytes.begin() + 200)));
  ASSERT_TRUE(fonts.UseFontData(std::move(bytes)));
  auto game = CreateFont(fonts, 20, 400, platform::FontFamily::Mincho);
  GlyphRasterizer r{CodePage(CodePage::Kind::Gbk), trace};
  ASSERT_TRUE(game && r.RenderGlyph(game.get(), CodePage().CodeFromUtf8("黑"), 1.0));
  EXPECT_TRUE(r.width() > 8 && r.advanceX() >= 16 && r.advanceX() <= 22) << r.width() << " " << r.advanceX();

  // A game's own font is found in its "font" folder; a game without one
  // keeps the system faces.
  for (bool ships : {true, false}) {
    testing::TempDir dir;
    dir.Write("data/script/start.txt", "");
    if (ships) dir.Write("data/font/font.ttc", file);
    Resources resources(trace);
    resources.OpenDataFolder(dir.str());
    platform::FreeTypeFontService service{trace};
    EXPECT_EQ(LoadGameFont(resources, service), ships);
  }
}

// The font list loaded ahead on a worker picks the same faces as one loaded
// on the spot, for every family and weight, asked once or again; a list
// nobody took is released with its worker.
TEST(FreeTypeTest, FontsLoadedAheadPickTheSameFaces) {
  Trace trace;
  platform::FreeTypeFontService plain{trace};
  platform::FreeTypeFontService ahead{trace, platform::LoadSystemFontsAhead()};
  for (int round = 0; round < 2; ++round)
    for (auto family : {platform::FontFamily::Heiti, platform::FontFamily::Mincho, platform::FontFamily::Gothic})
      for (int weight : {400, 700}) {
        int plainIndex = -1, aheadIndex = -1;
        bool plainRequested = false, aheadRequested = true;
        const std::string plainFile = plain.FindFontFile(family, weight, plainIndex, &plainRequested);
        const std::string aheadFile = ahead.FindFontFile(family, weight, aheadIndex, &aheadRequested);
        EXPECT_EQ(aheadFile, plainFile) << "family " << int(family) << " weight " << weight << " round " << round;
        EXPECT_EQ(aheadIndex, plainIndex) << "family " << int(family) << " weight " << weight;
        EXPECT_EQ(aheadRequested, plainRequested) << "family " << int(family) << " weight " << weight;
      }
  EXPECT_EQ(ahead.HasCjkFace(), plain.HasCjkFace());
  auto unused = platform::LoadSystemFontsAhead();
  unused.reset();
}

// The layout is made for "黑体", whose ideographs fill the cell. A stand-in
// face is sized so that its em is the cell too; a game's own font keeps the
// exact rule, its cell being its own line box.
TEST(FreeTypeTest, StandInFaceFillsTheCellAndTheGameFontKeepsItsLineBox) {
  Trace trace;
  platform::FreeTypeFontService fonts{trace};
  if (!fonts.HasCjkFace()) GTEST_SKIP() << "no CJK font found through fontconfig (install fonts-wqy-microhei)";
  GlyphRasterizer r{CodePage(CodePage::Kind::Gbk), trace};
  const u32 yong = CodePage().CodeFromUtf8("永"), guo = CodePage().CodeFromUtf8("国");
  for (int size : {18, 20, 24, 26}) {
    auto font = CreateFont(fonts, size, 400);
    ASSERT_TRUE(font && r.RenderGlyph(font.get(), yong, 1.0));
    EXPECT_EQ(r.advanceX(), size) << "永 in a " << size << "-pixel cell";
    // A boxed ideograph stays inside its cell.
    ASSERT_TRUE(r.RenderGlyph(font.get(), guo, 1.0));
    EXPECT_EQ(r.advanceX(), size) << "国 in a " << size << "-pixel cell";
    EXPECT_GE(r.top(), 0) << "国 rises above its " << size << "-pixel cell";
    EXPECT_LE(r.top() + r.height(), size) << "国 drops below its " << size << "-pixel cell";
  }

  int index = 0;
  const std::string path = fonts.FindFontFile(platform::FontFamily::Heiti, 400, index);
  const std::string file = testing::ReadFileBytes(path);
  // The exact rule from the file's own metrics: the cell is the OS/2 "win"
  // extents, so one em is size × em / (ascent + descent).
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  ASSERT_EQ(FT_New_Face(library, path.c_str(), index, &face), 0);
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  ASSERT_TRUE(os2 && os2->usWinAscent + os2->usWinDescent > 0);
  const double emPerCell = static_cast<double>(face->units_per_EM) / (os2->usWinAscent + os2->usWinDescent);
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  ASSERT_TRUE(fonts.UseFontData(std::vector<u8>(file.begin(), file.end())));
  auto game = CreateFont(fonts, 24, 400);
  ASSERT_TRUE(game && r.RenderGlyph(game.get(), yong, 1.0));
  // The face's ideographs advance one em; allow the rounding of 1/8 pixel.
  EXPECT_NEAR(r.advanceX(), 24 * emPerCell, 1.0) << "the game's font in a 24-pixel cell, em/cell " << emPerCell;
}

}  // namespace
}  // namespace lyraban
