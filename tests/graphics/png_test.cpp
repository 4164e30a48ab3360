#include "graphics/png.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "graphics/png_filters.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

namespace fs = std::filesystem;

// Builds PNG files chunk by chunk, so tests can make files libpng would
// refuse to write (odd filter bytes, lying lengths, split data).
class PngBuilder {
 public:
  PngBuilder() { bytes_.assign("\x89PNG\r\n\x1a\n", 8); }

  PngBuilder& Header(u32 width, u32 height, u8 depth, u8 colourType, u8 interlace = 0) {
    std::string data;
    Put32(data, width);
    Put32(data, height);
    data += static_cast<char>(depth);
    data += static_cast<char>(colourType);
    data += '\0';
    data += '\0';
    data += static_cast<char>(interlace);
    return Chunk("IHDR", data);
  }

  PngBuilder& Chunk(const char* type, const std::string& data) {
    Put32(bytes_, static_cast<u32>(data.size()));
    std::string typed = std::string(type, 4) + data;
    bytes_ += typed;
    Put32(bytes_, static_cast<u32>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), typed.size())));
    return *this;
  }

  // Splits the compressed stream into `pieces` IDAT chunks with a text chunk
  // and an empty IDAT between them.
  PngBuilder& Data(const std::string& raw, int pieces = 1) {
    const std::string packed = Compress(raw);
    const std::size_t step = (packed.size() + pieces - 1) / pieces;
    for (std::size_t at = 0; at < packed.size(); at += step) {
      Chunk("IDAT", packed.substr(at, step));
      if (pieces > 1) Chunk("tEXt", std::string("Comment\0between", 15)).Chunk("IDAT", "");
    }
    return *this;
  }

  PngBuilder& End() { return Chunk("IEND", ""); }
  const std::string& bytes() const { return bytes_; }

  static std::string Compress(const std::string& raw) {
    uLongf size = compressBound(raw.size());
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), raw.size(), 9);
    out.resize(size);
    return out;
  }

 private:
  static void Put32(std::string& out, u32 v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
  }
  std::string bytes_;
};

std::string RawRows(const std::vector<std::string>& rows, u8 filter = 0) {
  std::string raw;
  for (const auto& row : rows) raw += static_cast<char>(filter) + row;
  return raw;
}

std::vector<u8> Bytes(const Surface& s) { return std::vector<u8>(s.pixels(), s.pixels() + s.ByteSize()); }

TEST(PngDecode, ChannelOrderOfEveryColourType) {
  struct Case {
    u8 colourType;
    std::string pixel;
    std::vector<u8> stored;
  } cases[] = {
      {0, {"\x0a", 1}, {10}},
      {4, {"\x0a\x28", 2}, {40, 10}},
      {2, {"\x0a\x14\x1e", 3}, {30, 20, 10}},
      {6, {"\x0a\x14\x1e\x28", 4}, {40, 30, 20, 10}},
  };
  for (const auto& c : cases) {
    const std::string bytes = PngBuilder().Header(1, 1, 8, c.colourType).Data(RawRows({c.pixel})).End().bytes();
    Surface s;
    ASSERT_TRUE(DecodePng(bytes, s)) << int(c.colourType);
    EXPECT_EQ(s.bytesPerPixel(), static_cast<int>(c.stored.size()));
    EXPECT_EQ(Bytes(s), c.stored) << int(c.colourType);
  }
}

TEST(PngDecode, RejectsWhatItDoesNotSupport) {
  const std::string row(1, '\0');
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"palette", PngBuilder().Header(1, 1, 8, 3).Chunk("PLTE", "abc").Data(RawRows({row})).End().bytes()},
      {"16-bit", PngBuilder().Header(1, 1, 16, 0).Data(RawRows({"\0\0"})).End().bytes()},
      {"4-bit", PngBuilder().Header(2, 1, 4, 0).Data(RawRows({row})).End().bytes()},
      {"interlaced", PngBuilder().Header(1, 1, 8, 0, 1).Data(RawRows({row})).End().bytes()},
      {"colour type 5", PngBuilder().Header(1, 1, 8, 5).Data(RawRows({row})).End().bytes()},
      {"zero width", PngBuilder().Header(0, 1, 8, 0).Data(RawRows({""})).End().bytes()},
      {"too wide", PngBuilder().Header(16385, 1, 8, 0).End().bytes()},
      // 16384 × 16384 × 4 is a gigabyte: refused before any allocation.
      {"too large", PngBuilder().Header(16384, 16384, 8, 6).End().bytes()},
      {"no header", PngBuilder().Data(RawRows({row})).End().bytes()},
      {"short header", PngBuilder().Chunk("IHDR", std::string(12, '\1')).End().bytes()},
      {"signature", "\x89PNG\r\n\x1a\x0b" + PngBuilder().Header(1, 1, 8, 0).bytes().substr(8)},
      {"empty", ""},
  };
  for (const auto& c : cases) {
    Surface s;
    ASSERT_TRUE(s.Create(3, 2, 2));
    EXPECT_FALSE(DecodePng(c.bytes, s)) << c.what;
    EXPECT_FALSE(s.HasPixels()) << c.what;
  }
}

TEST(PngDecode, SplitDataWithChunksBetweenDecodesLikeOneChunk) {
  std::vector<std::string> rows;
  std::mt19937 random(7);
  for (int y = 0; y < 16; ++y) {
    std::string row;
    for (int x = 0; x < 16 * 3; ++x) row += static_cast<char>(random());
    rows.push_back(row);
  }
  Surface whole, split;
  ASSERT_TRUE(DecodePng(PngBuilder().Header(16, 16, 8, 2).Data(RawRows(rows)).End().bytes(), whole));
  ASSERT_TRUE(DecodePng(PngBuilder().Header(16, 16, 8, 2).Data(RawRows(rows), 9).End().bytes(), split));
  EXPECT_EQ(Bytes(whole), Bytes(split));
  EXPECT_EQ(whole.Row(3)[0], static_cast<u8>(rows[3][2]));
}

TEST(PngDecode, EarlyEndKeepsDecodedRowsAndZeroesTheRest) {
  std::vector<std::string> rows(8, std::string("\x11\x22\x33\x44", 4));
  const std::string raw = RawRows(rows);
  // Only the first half of the rows were ever compressed.
  const std::string half = PngBuilder().Header(1, 8, 8, 6).Data(raw.substr(0, raw.size() / 2)).End().bytes();
  Surface s;
  ASSERT_TRUE(DecodePng(half, s));
  ASSERT_EQ(s.height(), 8);
  for (int y = 0; y < 8; ++y) {
    const std::vector<u8> expected = y < 4 ? std::vector<u8>{0x44, 0x33, 0x22, 0x11} : std::vector<u8>{0, 0, 0, 0};
    EXPECT_EQ(std::vector<u8>(s.Row(y), s.Row(y) + 4), expected) << y;
  }
  // No IEND and no data at all: still a zero image of the right size.
  Surface bare;
  ASSERT_TRUE(DecodePng(PngBuilder().Header(3, 2, 8, 0).bytes(), bare));
  EXPECT_EQ(Bytes(bare), std::vector<u8>(6, 0));
}

TEST(PngDecode, CorruptStreamFailsAfterCreatingTheSurface) {
  std::string bytes = PngBuilder().Header(4, 4, 8, 0).Chunk("IDAT", "\x78\x9c\xff\xff\xff\xff").End().bytes();
  Surface s;
  EXPECT_FALSE(DecodePng(bytes, s));
  EXPECT_EQ(s.width(), 4);
}

TEST(PngDecode, FilterTypes) {
  // Two rows of two RGB pixels; the second row is filtered against the first.
  const std::string first("\x0a\x14\x1e\x64\x64\x64", 6);
  auto decodeSecond = [&](u8 filter, const std::string& second) {
    const std::string raw = RawRows({first}) + static_cast<char>(filter) + second;
    Surface s;
    EXPECT_TRUE(DecodePng(PngBuilder().Header(2, 2, 8, 2).Data(raw).End().bytes(), s));
    return std::vector<u8>(s.Row(1), s.Row(1) + 6);
  };
  const std::string deltas("\x01\x02\x03\xfe\x05\x06", 6);
  // Stored blue first: expected values are listed as (b, g, r) per pixel.
  EXPECT_EQ(decodeSecond(0, deltas), (std::vector<u8>{3, 2, 1, 6, 5, 254}));
  EXPECT_EQ(decodeSecond(1, deltas), (std::vector<u8>{3, 2, 1, 9, 7, 255}));
  EXPECT_EQ(decodeSecond(2, deltas), (std::vector<u8>{33, 22, 11, 106, 105, 98}));
  // Average: first pixel adds prior/2; second adds (prior + left) / 2.
  EXPECT_EQ(decodeSecond(3, deltas), (std::vector<u8>{18, 12, 6, 65, 61, 51}));
  // Paeth: the first pixel takes the byte above; here every later byte's
  // nearest neighbour is the one above.
  EXPECT_EQ(decodeSecond(4, deltas), (std::vector<u8>{33, 22, 11, 106, 105, 98}));
  // Grey rows where Paeth picks the left byte (above equals above-left),
  // then the above-left one (left and above straddle it).
  const std::string greyRaw = RawRows({std::string("\x0a\x0a\x09", 3)}) + '\x04' + std::string("\x01\x00\x05", 3);
  Surface grey;
  ASSERT_TRUE(DecodePng(PngBuilder().Header(3, 2, 8, 0).Data(greyRaw).End().bytes(), grey));
  EXPECT_EQ(std::vector<u8>(grey.Row(1), grey.Row(1) + 3), (std::vector<u8>{11, 11, 15}));
  // Unknown filter types leave the bytes as they are.
  EXPECT_EQ(decodeSecond(5, deltas), decodeSecond(0, deltas));
  EXPECT_EQ(decodeSecond(200, deltas), decodeSecond(0, deltas));
}

TEST(PngDecode, FastUnfilterMatchesReference) {
  std::mt19937 random(99);
  for (int bpp = 1; bpp <= 4; ++bpp) {
    for (u8 type = 0; type <= 5; ++type) {
      for (std::size_t width : {1u, 2u, 5u, 16u, 33u, 257u}) {
        const std::size_t n = width * bpp;
        std::vector<u8> prior(n), row(n);
        for (auto& b : prior) b = static_cast<u8>(random());
        for (auto& b : row) b = static_cast<u8>(random());
        std::vector<u8> fast = row, reference = row;
        png::UnfilterFor(bpp)(type, fast.data(), prior.data(), n);
        png::ReferenceUnfilterFor(bpp)(type, reference.data(), prior.data(), n);
        ASSERT_EQ(fast, reference) << "bpp " << bpp << " type " << int(type) << " width " << width;
      }
    }
  }
}

Surface RandomSurface(int bpp, int w, int h, unsigned seed, bool smooth) {
  Surface s;
  s.Create(bpp, w, h);
  std::mt19937 random(seed);
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < w * bpp; ++i) s.Row(y)[i] = static_cast<u8>(smooth ? (i * 3 + y * 5 + random() % 4) : random());
  return s;
}

TEST(PngWriteAndDecode, RoundTripsEveryFormatAndLevel) {
  for (int bpp = 1; bpp <= 4; ++bpp) {
    for (int level : {0, 1, 6, 9}) {
      // Smooth images make the writer pick every filter type.
      const Surface original = RandomSurface(bpp, 37, 23, bpp * 10 + level, level != 0);
      std::string bytes;
      ASSERT_TRUE(EncodePng(original, bytes));
      Surface decoded;
      ASSERT_TRUE(DecodePng(bytes, decoded));
      EXPECT_EQ(decoded.bytesPerPixel(), bpp);
      EXPECT_EQ(Bytes(decoded), Bytes(original)) << "bpp " << bpp << " level " << level;
    }
  }
}

TEST(PngWriteAndDecode, WritePngReplacesTheFileWhole) {
  testing::TempDir dir;
  const fs::path path = dir.path() / "shot.png";
  testing::WriteFileBytes(path, "old");
  const Surface original = RandomSurface(3, 8, 6, 1, false);
  ASSERT_TRUE(WritePng(path.string(), original));
  Surface decoded;
  ASSERT_TRUE(DecodePng(testing::ReadFileBytes(path), decoded));
  EXPECT_EQ(Bytes(decoded), Bytes(original));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  Surface grey = RandomSurface(1, 2, 2, 1, false);
  EXPECT_FALSE(WritePng(path.string(), grey));
  EXPECT_FALSE(WritePng((dir.path() / "missing" / "x.png").string(), original));
}

TEST(PngFuzz, TruncatedAndBitFlippedFilesNeverCrash) {
  std::string valid;
  ASSERT_TRUE(EncodePng(RandomSurface(4, 20, 12, 5, true), valid));
  for (std::size_t cut = 0; cut < valid.size(); ++cut) {
    Surface s;
    const bool ok = DecodePng(std::string_view(valid).substr(0, cut), s);
    // Once the header is whole, a cut file still yields its full size.
    if (ok) {
      EXPECT_EQ(s.width() * s.height(), 20 * 12);
    }
    if (cut < 8 + 25) {
      EXPECT_FALSE(ok) << cut;
    }
  }
  std::mt19937 random(3);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = valid;
    const int flips = 1 + round % 4;
    for (int f = 0; f < flips; ++f) bytes[random() % bytes.size()] ^= static_cast<char>(1u << (random() % 8));
    Surface s;
    if (DecodePng(bytes, s)) {
      EXPECT_LE(s.ByteSize(), std::size_t{kMaxSurfaceBytes});
    }
  }
}

TEST(PngDecode, LyingChunkLengthIsNotOverread) {
  std::string bytes = PngBuilder().Header(2, 2, 8, 0).bytes();
  // An IDAT that claims two gigabytes but holds three bytes.
  bytes += std::string("\x7f\xff\xff\xff", 4) + "IDAT" + "abc";
  Surface s;
  EXPECT_TRUE(DecodePng(bytes, s));  // no image data: the rows stay zero
  EXPECT_EQ(Bytes(s), std::vector<u8>(4, 0));
}

// Images come through the reader; it counts reads so caching can be seen.
struct CountingReader {
  std::map<std::string, std::string> files;
  int reads = 0;
  ResourceReader Reader() {
    return [this](std::string_view folder, std::string_view name, std::string& out) {
      ++reads;
      if (folder != "img") return false;
      auto it = files.find(std::string(name));
      if (it == files.end()) return false;
      out = it->second;
      return true;
    };
  }
};

TEST(LoadImage, CachesByNameAndKeepsTheNameOnFailure) {
  CountingReader store;
  ASSERT_TRUE(EncodePng(RandomSurface(3, 4, 4, 2, false), store.files["a.png"]));
  const ResourceReader reader = store.Reader();
  ImageSurface image;
  EXPECT_FALSE(LoadImage(reader, image, ""));
  EXPECT_TRUE(LoadImage(reader, image, "a.png"));
  EXPECT_TRUE(LoadImage(reader, image, "a.png"));
  EXPECT_EQ(store.reads, 1);
  EXPECT_EQ(image.name(), "a.png");
  EXPECT_EQ(image.width(), 4);

  EXPECT_FALSE(LoadImage(reader, image, "missing.png"));
  EXPECT_FALSE(image.HasPixels());
  EXPECT_EQ(image.name(), "missing.png");
  // The failed name is remembered too: asking again reads nothing.
  EXPECT_TRUE(LoadImage(reader, image, "missing.png"));
  EXPECT_EQ(store.reads, 2);
}

TEST(LoadScreenMask, CentresTheRulePictureAsGrey) {
  CountingReader store;
  Surface rule;
  ASSERT_TRUE(rule.Create(3, 2, 2));
  std::memset(rule.pixels(), 0xFF, rule.ByteSize());
  ASSERT_TRUE(EncodePng(rule, store.files["rule.png"]));
  Surface mask;
  ASSERT_TRUE(LoadScreenMask(store.Reader(), mask, "rule.png", 6, 4));
  ASSERT_EQ(mask.bytesPerPixel(), 1);
  std::vector<u8> expected(24, 0);
  for (int y : {1, 2})
    for (int x : {2, 3}) expected[y * 6 + x] = 254;  // white's luma
  EXPECT_EQ(Bytes(mask), expected);
  // A missing picture leaves the mask all zero.
  EXPECT_FALSE(LoadScreenMask(store.Reader(), mask, "none.png", 6, 4));
  EXPECT_EQ(Bytes(mask), std::vector<u8>(24, 0));
}

// PngSuite: names are xxx + interlace (n/i) + colour type + kind + depth.
class PngSuite : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(LYRABAN_SHARED_DIR) / "conformance";
    if (!fs::is_directory(dir_ / "pngsuite")) GTEST_SKIP() << "conformance data absent";
  }
  std::vector<fs::path> Files() const {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(dir_ / "pngsuite"))
      if (e.path().extension() == ".png") out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
  }
  static std::vector<int> ReadNumbers(const std::string& text) {
    std::vector<int> numbers;
    int value = -1;
    for (char c : text) {
      if (c >= '0' && c <= '9') {
        value = (value < 0 ? 0 : value * 10) + (c - '0');
      } else if (value >= 0) {
        numbers.push_back(value);
        value = -1;
      }
    }
    if (value >= 0) numbers.push_back(value);
    return numbers;
  }
  fs::path dir_;
};

TEST_F(PngSuite, SupportedFilesDecodeToTheExpectedPixels) {
  int compared = 0;
  for (const auto& path : Files()) {
    const std::string name = path.stem().string();
    if (name[0] == 'x') continue;
    // What the file is comes from its own header.
    const std::string file = testing::ReadFileBytes(path);
    ASSERT_GE(file.size(), 29u) << name;
    const int depth = static_cast<u8>(file[24]), colourType = static_cast<u8>(file[25]);
    const bool supported = depth == 8 && file[28] == 0 && colourType != 3 && colourType <= 6;
    Surface s;
    const bool ok = DecodePng(file, s);
    if (!supported) {
      EXPECT_FALSE(ok) << name;
      continue;
    }
    ASSERT_TRUE(ok) << name;
    const fs::path json = dir_ / "pngsuite-json" / (name + ".json");
    ASSERT_TRUE(fs::exists(json)) << name;
    const std::vector<int> rgba = ReadNumbers(testing::ReadFileBytes(json));
    ASSERT_EQ(rgba.size(), std::size_t(s.width()) * s.height() * 4) << name;
    // Transparency chunks are ignored, so only colour is compared there.
    const bool colourOnly = testing::ReadFileBytes(path).find("tRNS") != std::string::npos;
    const int bpp = s.bytesPerPixel();
    for (int y = 0; y < s.height(); ++y) {
      for (int x = 0; x < s.width(); ++x) {
        const u8* p = s.Row(y) + x * bpp;
        const int* e = &rgba[(std::size_t(y) * s.width() + x) * 4];
        int r, g, b, a = 255;
        switch (bpp) {
          case 1:
            r = g = b = p[0];
            break;
          case 2:
            a = p[0], r = g = b = p[1];
            break;
          case 3:
            b = p[0], g = p[1], r = p[2];
            break;
          default:
            a = p[0], b = p[1], g = p[2], r = p[3];
            break;
        }
        ASSERT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{e[0], e[1], e[2]})) << name << " " << x << "," << y;
        if (!colourOnly) {
          ASSERT_EQ(a, e[3]) << name << " " << x << "," << y;
        }
      }
    }
    ++compared;
  }
  EXPECT_GE(compared, 40);
}

TEST_F(PngSuite, CorruptFilesFailOrDecodeCleanly) {
  int seen = 0;
  for (const auto& path : Files()) {
    if (path.filename().string()[0] != 'x') continue;
    ++seen;
    Surface s;
    if (DecodePng(testing::ReadFileBytes(path), s)) {
      EXPECT_TRUE(s.HasPixels()) << path.filename();
    }
  }
  EXPECT_GE(seen, 10);
}

}  // namespace
}  // namespace lyraban
