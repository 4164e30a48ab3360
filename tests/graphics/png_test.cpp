#include "graphics/png.h"

#include <zlib.h>

#include <cctype>
#include <filesystem>
#include <sstream>

#include "graphics/png_filters.h"
#include "support/temp_dir.h"
#include "surface_helpers.h"

namespace lyraban {
namespace {

namespace fs = std::filesystem;
using namespace gfxtest;

std::string Be32(uLong v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

// Builds PNG files chunk by chunk, so tests can make files libpng would
// refuse to write (odd headers, lying lengths, split data).
struct PngBuilder {
  PngBuilder& Header(u32 w, u32 h, u8 depth, u8 colourType, u8 interlace = 0) {
    return Chunk("IHDR", Be32(w) + Be32(h) + std::string{char(depth), char(colourType), 0, 0, char(interlace)});
  }
  PngBuilder& Chunk(const char* type, const std::string& data) {
    const std::string typed = std::string(type, 4) + data;
    bytes_ += Be32(data.size()) + typed + Be32(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), typed.size()));
    return *this;
  }
  // Rows led by filter type 0, compressed and split into `pieces` IDAT chunks
  // with a text chunk and an empty IDAT between them.
  PngBuilder& Data(const std::vector<std::string>& rows, int pieces = 1) {
    std::string raw, packed(1000, '\0');
    for (const auto& row : rows) raw += '\0' + row;
    uLongf size = packed.size();
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), raw.size());
    for (std::size_t at = 0, step = (size + pieces - 1) / pieces; at < size; at += step) {
      Chunk("IDAT", packed.substr(at, std::min<std::size_t>(step, size - at)));
      if (pieces > 1) Chunk("tEXt", std::string("Comment\0between", 15)).Chunk("IDAT", "");
    }
    return *this;
  }
  std::string End() { return Chunk("IEND", "").bytes_; }
  std::string bytes_{"\x89PNG\r\n\x1a\n", 8};
};

// Unsupported and headerless files fail; split, short, corrupt and lying data.
TEST(PngDecode, RejectsUnsupportedAndSurvivesOddData) {
  const std::string row(1, '\0');
  const std::string cases[] = {
      PngBuilder().Header(1, 1, 8, 3).Chunk("PLTE", "abc").Data({row}).End(),  // palette
      PngBuilder().Header(1, 1, 16, 0).Data({row + row}).End(),
      PngBuilder().Header(1, 1, 8, 0, 1).Data({row}).End(),  // interlaced
      PngBuilder().Header(0, 1, 8, 0).Data({""}).End(),
      PngBuilder().Header(16385, 1, 8, 0).End(),
      PngBuilder().Header(16384, 16384, 8, 6).End(),  // a gigabyte: refused before any allocation
      PngBuilder().Data({row}).End(),                 // no header
      "\x89PNG\r\n\x1a\x0b" + PngBuilder().Header(1, 1, 8, 0).bytes_.substr(8),
      "",
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    Surface s = Make(3, 2, 2, {0, 0, 0});
    EXPECT_FALSE(DecodePng(cases[i], s) || s.HasPixels()) << "case " << i;
  }
  std::mt19937 random(7);
  std::vector<std::string> rows(16, std::string(16 * 3, '\0'));
  for (auto& row : rows) std::generate(row.begin(), row.end(), [&] { return static_cast<char>(random()); });
  Surface whole, split, corrupt, lying;
  ASSERT_TRUE(DecodePng(PngBuilder().Header(16, 16, 8, 2).Data(rows).End(), whole) &&
              DecodePng(PngBuilder().Header(16, 16, 8, 2).Data(rows, 9).End(), split));
  EXPECT_EQ(BytesOf(whole), BytesOf(split));
  EXPECT_EQ(whole.Row(3)[0], static_cast<u8>(rows[3][2]));
  EXPECT_FALSE(DecodePng(PngBuilder().Header(4, 4, 8, 0).Chunk("IDAT", "\x78\x9c\xff\xff\xff\xff").End(), corrupt));
  EXPECT_EQ(corrupt.width(), 4) << "a corrupt stream fails after creating the surface";
  // An IDAT that claims two gigabytes but holds three bytes is not overread.
  const std::string lies = PngBuilder().Header(2, 2, 8, 0).bytes_ + "\x7f\xff\xff\xffIDATabc";
  EXPECT_TRUE(DecodePng(lies, lying) && BytesOf(lying) == Bytes(4, 0));
}

// A tiny file may not make the decoder allocate what its header claims:
// rows that its compressed data could never inflate to are refused first,
// while a file that just ends early, within that bound, loads zero rows.
TEST(PngDecode, DeclaredSizesBeyondTheCompressedDataAreRefusedBeforeAllocating) {
  // Grey: 16384 × 16384 is exactly the largest surface allowed.
  const std::string tiny = PngBuilder().Header(16384, 16384, 8, 0).Data({std::string(4, '\xFF')}).End();
  EXPECT_LT(tiny.size(), 100u);
  Surface s;
  std::string why;
  EXPECT_FALSE(DecodePng(tiny, s, &why));
  EXPECT_FALSE(s.HasPixels()) << "nothing may be allocated";
  EXPECT_NE(why.find("declares 16384x16384"), std::string::npos) << why;

  const std::string noData = PngBuilder().Header(300, 200, 8, 0).End();
  ASSERT_TRUE(DecodePng(noData, s));
  EXPECT_EQ(s.width(), 300);
  EXPECT_EQ(s.Row(199)[299], 0);
}

TEST(PngDecode, FastUnfilterMatchesReference) {
  std::mt19937 random(99);
  for (int bpp = 1; bpp <= 4; ++bpp) {
    for (u8 type = 0; type <= 5; ++type) {
      for (std::size_t width : {1u, 2u, 5u, 16u, 33u, 257u}) {
        Bytes prior(width * bpp), row(width * bpp);
        for (auto* v : {&prior, &row}) std::generate(v->begin(), v->end(), [&] { return static_cast<u8>(random()); });
        Bytes fast = row, reference = row;
        png::UnfilterFor(bpp)(type, fast.data(), prior.data(), row.size());
        png::ReferenceUnfilterFor(bpp)(type, reference.data(), prior.data(), row.size());
        ASSERT_EQ(fast, reference) << "bpp " << bpp << " type " << int(type) << " width " << width;
      }
    }
  }
  // Paeth on grey picks the left byte (above equals above-left), then the
  // above-left one (left and above straddle it).
  Bytes row = {1, 0, 5};
  const Bytes prior = {10, 10, 9};
  png::ReferenceUnfilterFor(1)(4, row.data(), prior.data(), 3);
  EXPECT_EQ(row, (Bytes{11, 11, 15}));
}

// Row stores of every width around the vector steps give the plain store's
// bytes and write nothing past the row; the reference itself reorders to
// alpha first and colour blue first.
TEST(PngDecode, FastStoreMatchesReference) {
  std::mt19937 random(5);
  for (int bpp = 1; bpp <= 4; ++bpp) {
    for (u32 width = 1; width <= 40; ++width) {
      Bytes src(width * bpp);
      std::generate(src.begin(), src.end(), [&] { return static_cast<u8>(random()); });
      Bytes fast(src.size() + 1, 0x5A), reference(src.size() + 1, 0x5A);
      png::StoreRowFor(bpp)(fast.data(), src.data(), width);
      png::ReferenceStoreRowFor(bpp)(reference.data(), src.data(), width);
      ASSERT_EQ(fast, reference) << "bpp " << bpp << " width " << width;
      EXPECT_EQ(fast.back(), 0x5A) << "bpp " << bpp << " width " << width;
    }
  }
  const Bytes rgb = {1, 2, 3}, rgba = {1, 2, 3, 4};
  Bytes out(4);
  png::ReferenceStoreRowFor(3)(out.data(), rgb.data(), 1);
  EXPECT_EQ(out, (Bytes{3, 2, 1, 0}));
  png::ReferenceStoreRowFor(4)(out.data(), rgba.data(), 1);
  EXPECT_EQ(out, (Bytes{4, 3, 2, 1}));
}

// A file cut off after half its rows still loads: the rows it holds are
// decoded (and reordered to alpha, blue, green, red), the lower half stays
// zero, that is black and fully transparent.
TEST(PngDecode, CutFileKeepsItsUpperRowsAndZeroesTheLowerHalf) {
  constexpr int kWidth = 3, kRows = 8, kRowBytes = 1 + kWidth * 4;
  std::string raw;
  for (int y = 0; y < kRows; ++y) {
    raw += '\0';
    for (int x = 0; x < kWidth; ++x) raw += std::string{char(10 + y), char(20 + x), 30, char(255)};
  }
  // Stored (level 0) deflate: a 2-byte header and a 5-byte block header
  // before the raw rows, so the cut falls exactly after row 4.
  std::string packed(raw.size() + 64, '\0');
  uLongf size = packed.size();
  ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
                      raw.size(), 0),
            Z_OK);
  const std::string cut = packed.substr(0, 2 + 5 + kRows / 2 * kRowBytes);
  Surface s;
  ASSERT_TRUE(DecodePng(PngBuilder().Header(kWidth, kRows, 8, 6).Chunk("IDAT", cut).End(), s));
  ASSERT_EQ(std::tuple(s.bytesPerPixel(), s.width(), s.height()), std::tuple(4, kWidth, kRows));
  for (int y = 0; y < kRows; ++y) {
    Bytes want;
    for (int x = 0; x < kWidth; ++x) {
      const Bytes pixel = y < kRows / 2 ? Bytes{255, 30, u8(20 + x), u8(10 + y)} : Bytes{0, 0, 0, 0};
      want.insert(want.end(), pixel.begin(), pixel.end());
    }
    EXPECT_EQ(Bytes(s.Row(y), s.Row(y) + kWidth * 4), want) << "row " << y;
  }
}

// Smooth pictures make the writer pick every filter type.
Surface SmoothSurface(int bpp, int w, int h) {
  Surface s = Make(bpp, w, h, Bytes(bpp, 0));
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < w * bpp; ++i) s.Row(y)[i] = static_cast<u8>(i * 3 + y * 5 + (i * y) % 4);
  return s;
}

// Every format and level round-trips; truncated and bit-flipped files never crash.
TEST(PngWriteAndDecode, RoundTripsAndDamagedFilesNeverCrash) {
  std::mt19937 random(1);
  for (int bpp = 1; bpp <= 4; ++bpp) {
    for (int level : {0, 6, 9}) {
      const Surface original = level ? SmoothSurface(bpp, 37, 23) : RandomSurface(bpp, 37, 23, random);
      std::string bytes;
      Surface decoded;
      ASSERT_TRUE(EncodePng(original, bytes, level) && DecodePng(bytes, decoded));
      EXPECT_EQ(decoded.bytesPerPixel(), bpp);
      EXPECT_EQ(BytesOf(decoded), BytesOf(original)) << "bpp " << bpp << " level " << level;
    }
  }
  const std::string valid = PngOf(SmoothSurface(4, 20, 12));
  for (std::size_t cut = 0; cut < valid.size(); ++cut) {
    Surface s;
    // Once the header is whole, a cut file still yields its full size.
    const bool ok = DecodePng(std::string_view(valid).substr(0, cut), s);
    EXPECT_TRUE(ok == (cut >= 8 + 25) && (!ok || s.width() * s.height() == 20 * 12)) << cut;
  }
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = valid;
    for (int f = 0; f <= round % 4; ++f) bytes[random() % bytes.size()] ^= static_cast<char>(1u << (random() % 8));
    Surface s;
    EXPECT_TRUE(!DecodePng(bytes, s) || s.HasPixels()) << "round " << round;
  }
}

// Conformance pictures with their expected RGBA values. Names starting with
// "x" are corrupt files, which must fail or decode cleanly.
TEST(PngSuite, DecodesToTheExpectedPixels) {
  const fs::path dir = fs::path(LYRABAN_SHARED_DIR) / "conformance";
  if (!fs::is_directory(dir / "pngsuite")) GTEST_SKIP() << "conformance data absent";
  int compared = 0, corrupt = 0;
  for (const auto& entry : fs::directory_iterator(dir / "pngsuite")) {
    const std::string name = entry.path().stem().string(), file = testing::ReadFileBytes(entry.path());
    if (entry.path().extension() != ".png") continue;
    Surface s;
    const bool ok = DecodePng(file, s);
    EXPECT_TRUE(!ok || s.HasPixels()) << name;
    corrupt += name[0] == 'x';
    // What the file is comes from its own header.
    const bool supported =
        name[0] != 'x' && file.size() > 28 && file[24] == 8 && file[28] == 0 && file[25] != 3 && file[25] <= 6;
    if (name[0] == 'x' || !supported) {
      EXPECT_TRUE(name[0] == 'x' || !ok) << name;
      continue;
    }
    ASSERT_TRUE(ok) << name;
    std::string json = testing::ReadFileBytes(dir / "pngsuite-json" / (name + ".json"));
    std::replace_if(
        json.begin(), json.end(), [](char c) { return !std::isdigit(static_cast<unsigned char>(c)); }, ' ');
    std::istringstream numbers(json);
    // Transparency chunks are ignored, so only colour is compared there.
    const bool colourOnly = file.find("tRNS") != std::string::npos;
    const int bpp = s.bytesPerPixel(), grey = bpp < 3;
    for (int i = 0; i < s.width() * s.height(); ++i) {
      const u8* p = s.pixels() + i * bpp;
      const int have[4] = {p[bpp - 1], p[bpp - 2 + grey], p[bpp - 3 + 2 * grey], bpp % 2 ? 255 : p[0]};
      for (int c = 0, want = -1; c < 4; ++c) {
        ASSERT_TRUE(numbers >> want) << name << " ends early";
        ASSERT_TRUE(have[c] == want || (c == 3 && colourOnly)) << name << " pixel " << i << " channel " << c;
      }
    }
    int extra = 0;
    EXPECT_FALSE(numbers >> extra) << name << " has more pixels";
    ++compared;
  }
  EXPECT_GE(compared, 40);
  EXPECT_GE(corrupt, 10);
}

}  // namespace
}  // namespace lyraban
