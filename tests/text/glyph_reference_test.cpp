// Real glyphs, pixel for pixel: a CJK character and a Latin letter rendered
// through FreeType and the glyph rasterizer, composited into a 4-byte
// surface and compared with a coverage map that was reviewed by eye once.
//
// The reference depends on the exact font file and rasterizer, so it carries
// a note of both. Run with LYRABAN_UPDATE_GLYPH_REFERENCE=1 to write it
// afresh, then look at the image before keeping it.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>

#include "graphics/png.h"
#include "platform/freetype/freetype_fonts.h"
#include "support/temp_dir.h"
#include "text/glyph.h"

namespace lyraban {
namespace {

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
// The note's keys in order; a value runs to the end of its line, as font
// paths may hold spaces.
const char* const kKeys[] = {"font", "face", "font-bytes", "freetype"};

bool Updating() {
  const char* v = std::getenv("LYRABAN_UPDATE_GLYPH_REFERENCE");
  return v && *v && std::string(v) != "0";
}

class GlyphReferenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int face = 0, boldFace = 0;
    const std::string font = fonts_.FindFontFile(platform::FontFamily::Heiti, 400, face);
    const std::string bold = fonts_.FindFontFile(platform::FontFamily::Heiti, 700, boldFace);
    FT_Library library = nullptr;
    FT_Int major = 0, minor = 0, patch = 0;
    if (FT_Init_FreeType(&library) == 0) FT_Library_Version(library, &major, &minor, &patch), FT_Done_FreeType(library);
    std::error_code ec;
    // clang-format off
    current_ = {{"font", font}, {"face", std::to_string(face)},
                {"font-bytes", std::to_string(font.empty() ? 0 : fs::file_size(font, ec))},
                {"freetype", std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch)}};
    // clang-format on
    if (font.empty() || !fonts_.HasCjkFace()) GTEST_SKIP() << "no CJK font found through fontconfig";
    if (bold != font || boldFace != face)
      GTEST_SKIP() << "bold resolves to another face (" << bold << "), so the bold cells cannot match";
    if (Updating()) return;
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
    if (Updating() && what == "uncached") {
      std::string png, note;
      ASSERT_TRUE(EncodePng(grey, png, 9));
      fs::create_directories(kDir);
      testing::WriteFileBytes(kImage, png);
      for (const char* key : kKeys) note += std::string(key) + " " + current_[key] + "\n";
      testing::WriteFileBytes(kNote, note);
      reference_ = current_;
      std::printf("glyph reference written to %s; review it before keeping it\n", kImage.c_str());
    }
    // When updating this also proves that the stored file reads back the same.
    ASSERT_TRUE(DecodePng(testing::ReadFileBytes(kImage), expected)) << "cannot read " << kImage;
    ASSERT_EQ(std::tuple(expected.bytesPerPixel(), expected.width(), expected.height()),
              std::tuple(1, kWidth, kHeight));
    int differing = 0, worst = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const int d = std::abs(int{grey.Row(y)[x]} - int{expected.Row(y)[x]});
        differing += d != 0, worst = std::max(worst, d);
      }
    if (differing == 0) return;
    // Keep what was drawn so that it can be looked at beside the reference.
    const fs::path actual = fs::path(LYRABAN_BINARY_DIR) / "glyph_coverage.actual.png";
    if (std::string png; EncodePng(grey, png)) testing::WriteFileBytes(actual, png);
    ADD_FAILURE() << differing << " pixels differ (largest difference " << worst << "); drawn image kept as " << actual
                  << "; the reference was made with FreeType " << reference_["freetype"];
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

}  // namespace
}  // namespace lyraban
