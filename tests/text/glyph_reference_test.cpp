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
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "graphics/png.h"
#include "platform/freetype/freetype_fonts.h"
#include "support/temp_dir.h"
#include "text/glyph.h"

namespace lyraban {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

const fs::path kReferenceDir = fs::path(LYRABAN_SOURCE_DIR) / "tests" / "text" / "reference";
const fs::path kReferenceImage = kReferenceDir / "glyph_coverage.png";
const fs::path kReferenceNote = kReferenceDir / "glyph_coverage.txt";

// One cell of the sample strip: which character, how big, which weight.
struct Sample {
  const char* utf8;
  int weight;
  double scale;
};
// 永 holds every basic stroke (dot, hook, rising and falling sweeps), so
// most rasterizer faults show in it; g has a descender and a bowl. The half
// scale is the ruby size.
constexpr Sample kSamples[] = {
    {"永", 400, 1.0}, {"永", 700, 1.0}, {"g", 400, 1.0}, {"g", 700, 1.0}, {"永", 400, 0.5},
};
constexpr int kCount = static_cast<int>(std::size(kSamples));
constexpr int kSize = 24;
constexpr int kCell = 32;
constexpr int kPenX = 4, kPenY = 4;
constexpr int kWidth = kCount * kCell, kHeight = 34;

std::string FreeTypeVersion() {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return "unknown";
  FT_Int major = 0, minor = 0, patch = 0;
  FT_Library_Version(library, &major, &minor, &patch);
  FT_Done_FreeType(library);
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

// What the reference was made with: font file, its size, FreeType version.
struct Provenance {
  std::string font;
  int face = 0;  // index inside a font collection
  std::uintmax_t fontBytes = 0;
  std::string freetype;

  std::string Text() const {
    return "font " + font + "\nface " + std::to_string(face) + "\nfont-bytes " + std::to_string(fontBytes) +
           "\nfreetype " + freetype + "\n";
  }
  // One "key value" pair a line; the value runs to the end of the line, as
  // font paths may hold spaces.
  static Provenance Parse(const std::string& text) {
    Provenance p;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
      const auto space = line.find(' ');
      if (space == std::string::npos) continue;
      const std::string key = line.substr(0, space), value = line.substr(space + 1);
      if (key == "font")
        p.font = value;
      else if (key == "face")
        p.face = std::atoi(value.c_str());
      else if (key == "font-bytes")
        p.fontBytes = std::strtoumax(value.c_str(), nullptr, 10);
      else if (key == "freetype")
        p.freetype = value;
    }
    return p;
  }
};

class GlyphReferenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    current_.font = fonts_.FindFontFile(platform::FontFamily::Heiti, 400, current_.face);
    int boldIndex = 0;
    const std::string bold = fonts_.FindFontFile(platform::FontFamily::Heiti, 700, boldIndex);
    std::error_code ec;
    current_.fontBytes = current_.font.empty() ? 0 : fs::file_size(current_.font, ec);
    current_.freetype = FreeTypeVersion();
    RecordProperty("font_file", current_.font);
    RecordProperty("freetype_version", current_.freetype);
    std::printf("glyph reference: font %s (face %d, %ju bytes), FreeType %s\n", current_.font.c_str(), current_.face,
                current_.fontBytes, current_.freetype.c_str());

    if (current_.font.empty() || !fonts_.HasCjkFace()) GTEST_SKIP() << "no CJK font found through fontconfig";
    if (bold != current_.font || boldIndex != current_.face)
      GTEST_SKIP() << "bold resolves to another face (" << bold << "), so the bold cells cannot match";
    if (Updating()) return;
    const std::string note = ReadFileBytes(kReferenceNote);
    ASSERT_FALSE(note.empty()) << "missing " << kReferenceNote << "; run with LYRABAN_UPDATE_GLYPH_REFERENCE=1";
    reference_ = Provenance::Parse(note);
    // Another face draws other pixels; that is not a fault of the renderer.
    if (reference_.font != current_.font || reference_.face != current_.face ||
        reference_.fontBytes != current_.fontBytes)
      GTEST_SKIP() << "reference made with " << reference_.font << " face " << reference_.face << " ("
                   << reference_.fontBytes << " bytes); this machine has " << current_.font << " face " << current_.face
                   << " (" << current_.fontBytes << " bytes)";
  }

  static bool Updating() {
    const char* v = std::getenv("LYRABAN_UPDATE_GLYPH_REFERENCE");
    return v && *v && std::string(v) != "0";
  }

  // Renders the sample strip white on transparent black. On a clear 4-byte
  // pixel that makes alpha, blue, green and red all equal the coverage.
  void ComposeStrip(Surface& strip) {
    ASSERT_TRUE(strip.Create(4, kWidth, kHeight));
    std::fill_n(strip.pixels(), strip.ByteSize(), u8{0});
    // Kept between strips: the glyph cache lives in the font.
    if (!plain_) plain_ = CreateFont(fonts_, kSize, 400);
    if (!bold_) bold_ = CreateFont(fonts_, kSize, 700);
    ASSERT_TRUE(plain_ && bold_);
    const CodePage gbk(CodePage::Kind::Gbk);
    for (int i = 0; i < kCount; ++i) {
      const Sample& s = kSamples[i];
      const u32 code = gbk.CodeFromUtf8(s.utf8);
      ASSERT_NE(code, 0u) << s.utf8;
      ASSERT_TRUE(rasterizer_.RenderGlyph(s.weight > 400 ? bold_.get() : plain_.get(), code, s.scale)) << s.utf8;
      // Each glyph must sit wholly inside its own cell, or clipping would
      // hide part of it from the comparison.
      const int left = i * kCell + kPenX + rasterizer_.originX();
      const int top = kPenY + rasterizer_.top();
      EXPECT_GE(left, i * kCell) << "cell " << i;
      EXPECT_LE(left + rasterizer_.width(), (i + 1) * kCell) << "cell " << i;
      EXPECT_GE(top, 0) << "cell " << i;
      EXPECT_LE(top + rasterizer_.height(), kHeight) << "cell " << i;
      EXPECT_GT(rasterizer_.width(), 0) << "cell " << i;
      ASSERT_TRUE(rasterizer_.CompositeGlyph(strip, i * kCell + kPenX, kPenY, TextColour{255, 255, 255}));
    }
  }

  // The coverage as a grey image; every channel of the strip must agree.
  static void CoverageOf(const Surface& strip, Surface& grey) {
    ASSERT_TRUE(grey.Create(1, strip.width(), strip.height()));
    int disagreeing = 0;
    for (int y = 0; y < strip.height(); ++y) {
      for (int x = 0; x < strip.width(); ++x) {
        const u8* p = strip.Row(y) + x * 4;
        if (p[1] != p[0] || p[2] != p[0] || p[3] != p[0]) ++disagreeing;
        grey.Row(y)[x] = p[0];
      }
    }
    EXPECT_EQ(disagreeing, 0) << "white on clear pixels must give alpha = blue = green = red";
  }

  void ExpectMatchesReference(const Surface& grey, const std::string& what) {
    SCOPED_TRACE(what + ", font " + current_.font + ", FreeType " + current_.freetype);
    Surface expected;
    ASSERT_TRUE(DecodePng(ReadFileBytes(kReferenceImage), expected)) << "cannot read " << kReferenceImage;
    ASSERT_EQ(expected.bytesPerPixel(), 1);
    ASSERT_EQ(expected.width(), grey.width());
    ASSERT_EQ(expected.height(), grey.height());
    int differing = 0, worst = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < grey.height(); ++y) {
      for (int x = 0; x < grey.width(); ++x) {
        const int d = std::abs(int{grey.Row(y)[x]} - int{expected.Row(y)[x]});
        if (d == 0) continue;
        if (differing++ == 0) firstX = x, firstY = y;
        worst = std::max(worst, d);
      }
    }
    if (differing == 0) return;
    // Keep what was drawn so that it can be looked at beside the reference.
    const fs::path actual = fs::path(LYRABAN_BINARY_DIR) / "glyph_coverage.actual.png";
    std::string png;
    if (EncodePng(grey, png)) WriteFileBytes(actual, png);
    ADD_FAILURE() << differing << " pixels differ (largest difference " << worst << ", first at cell " << firstX / kCell
                  << " x " << firstX << " y " << firstY << "); drawn image kept as " << actual
                  << (reference_.freetype != current_.freetype
                          ? "; the reference was made with FreeType " + reference_.freetype
                          : std::string());
  }

  Trace trace_;
  platform::FreeTypeFontService fonts_{trace_};
  GlyphRasterizer rasterizer_{CodePage(CodePage::Kind::Gbk), trace_};
  std::unique_ptr<Font> plain_, bold_;
  Provenance current_;
  Provenance reference_;
};

TEST_F(GlyphReferenceTest, MatchesReviewedReference) {
  rasterizer_.SetGlyphCache(false);
  Surface strip, grey;
  ASSERT_NO_FATAL_FAILURE(ComposeStrip(strip));
  ASSERT_NO_FATAL_FAILURE(CoverageOf(strip, grey));
  if (Updating()) {
    std::string png;
    ASSERT_TRUE(EncodePng(grey, png, 9));
    fs::create_directories(kReferenceDir);
    WriteFileBytes(kReferenceImage, png);
    WriteFileBytes(kReferenceNote, current_.Text());
    reference_ = current_;
    std::printf("glyph reference written to %s; review it before keeping it\n", kReferenceImage.c_str());
  }
  // Also proves, when updating, that the stored file reads back the same.
  ExpectMatchesReference(grey, "uncached");
}

// The cache hands back stored maps and metrics; a hit must draw exactly what
// a fresh render draws.
TEST_F(GlyphReferenceTest, CachedGlyphsDrawTheSamePixels) {
  if (Updating()) GTEST_SKIP() << "reference being rewritten";
  rasterizer_.SetGlyphCache(true);
  Surface first, firstGrey, again, againGrey;
  ASSERT_NO_FATAL_FAILURE(ComposeStrip(first));
  ASSERT_NO_FATAL_FAILURE(CoverageOf(first, firstGrey));
  ExpectMatchesReference(firstGrey, "cache filling");
  ASSERT_NO_FATAL_FAILURE(ComposeStrip(again));
  ASSERT_NO_FATAL_FAILURE(CoverageOf(again, againGrey));
  ExpectMatchesReference(againGrey, "cache hits");
}

}  // namespace
}  // namespace lyraban
