#include "graphics/picture_cache.h"

#include <atomic>
#include <map>
#include <random>

#include "surface_helpers.h"

namespace lyraban {
namespace {

using namespace gfxtest;

// Picture files held in memory; the map is filled before the cache starts,
// so the worker only reads it.
class PictureCacheTest : public ::testing::Test {
 protected:
  ResourceReader Reader() {
    return [this](std::string_view folder, std::string_view name, std::string& bytes) {
      ++reads_;
      auto it = files_.find(std::string(folder) + "/" + std::string(name));
      if (it == files_.end()) return false;
      bytes = it->second;
      return true;
    };
  }
  void Add(const std::string& name, std::string bytes) { files_["img/" + name] = std::move(bytes); }
  static AheadItem Picture(std::string name) { return {AheadItem::Kind::Picture, std::move(name), 0}; }

  std::map<std::string, std::string> files_;
  std::atomic<int> reads_{0};
};

TEST_F(PictureCacheTest, TakenPicturesAreWhatDecodingOnTheSpotGives) {
  std::mt19937 random(7);
  std::string truncated = PngOf(RandomSurface(4, 40, 30, random));
  truncated.resize(truncated.size() / 2);  // decodes its first rows, the rest zero: a success
  const std::vector<std::pair<std::string, std::string>> pictures = {
      {"grey.png", PngOf(RandomSurface(1, 17, 9, random))},
      {"grey_alpha.png", PngOf(RandomSurface(2, 5, 33, random))},
      {"rgb.png", PngOf(RandomSurface(3, 64, 48, random))},
      {"rgba.png", PngOf(RandomSurface(4, 31, 7, random))},
      {"half.png", truncated},
  };
  std::vector<AheadItem> items;
  for (const auto& [name, bytes] : pictures) Add(name, bytes), items.push_back(Picture(name));
  PictureCache cache(Reader(), 1 << 20);
  cache.Request(items);
  cache.WaitIdle();
  std::size_t decodedBytes = 0;
  std::vector<Surface> shown(pictures.size());
  for (size_t i = 0; i < pictures.size(); ++i) {
    const std::string& name = pictures[i].first;
    SCOPED_TRACE(name);
    Surface expected;
    ASSERT_TRUE(LoadPng(Reader(), name, expected));
    decodedBytes += expected.ByteSize();
    ASSERT_TRUE(cache.Take(name, shown[i]));
    EXPECT_EQ(std::tuple(shown[i].bytesPerPixel(), shown[i].width(), shown[i].height()),
              std::tuple(expected.bytesPerPixel(), expected.width(), expected.height()));
    EXPECT_EQ(BytesOf(shown[i]), BytesOf(expected));
    // Still asked for, so kept: a second layer gets the same pixels.
    Surface again;
    ASSERT_TRUE(cache.Take(name, again));
    const Surface& read = again;
    EXPECT_EQ(read.pixels(), std::as_const(shown[i]).pixels()) << "a copy was made for a picture only read";
    again.pixels();  // a writable access
    EXPECT_NE(read.pixels(), std::as_const(shown[i]).pixels()) << "writing into a shared picture must copy it first";
    EXPECT_EQ(BytesOf(again), BytesOf(expected));
  }
  EXPECT_EQ(cache.HeldBytes(), 0u) << "pictures the caller holds too cost the cache nothing";
  shown.clear();
  EXPECT_EQ(cache.HeldBytes(), decodedBytes) << "the caller let them go; the cache holds them alone";

  // The script has moved on: nothing is asked for any more.
  cache.Request({});
  cache.WaitIdle();
  EXPECT_EQ(cache.HeldBytes(), 0u);
  EXPECT_EQ(cache.PictureCount(), 0u);
  Surface gone;
  EXPECT_FALSE(cache.Take(pictures[0].first, gone));
}

TEST_F(PictureCacheTest, PicturesThatFailAreLeftToTheMainThread) {
  std::string palette = PngOf(Make(3, 4, 4, {1, 2, 3}));
  palette[8 + 8 + 9] = 3;  // colour type 3
  std::string lyingHeight = PngOf(Make(3, 4, 4, {1, 2, 3}));
  lyingHeight[8 + 8 + 4] = 0x7f;  // a height its data cannot hold
  const std::map<std::string, std::string> broken = {
      {"not_png.png", "GIF89a and then some"}, {"palette.png", palette}, {"lying.png", lyingHeight}, {"empty.png", ""}};
  std::vector<AheadItem> items = {Picture("missing.png")};
  for (const auto& [name, bytes] : broken) Add(name, bytes), items.push_back(Picture(name));
  PictureCache cache(Reader(), 1 << 20);
  cache.Request(items);
  cache.WaitIdle();
  EXPECT_EQ(cache.PictureCount(), 0u);
  for (const AheadItem& item : items) {
    Surface pixels;
    EXPECT_FALSE(cache.Take(item.name, pixels)) << item.name;
  }
  // Asking again does not read them again: their failure is the main
  // thread's to find and say.
  const int reads = reads_;
  cache.Request({items.rbegin(), items.rend()});
  cache.WaitIdle();
  EXPECT_EQ(reads_, reads);
}

TEST_F(PictureCacheTest, TheBudgetHoldsWithManyPictures) {
  const Surface tile = Make(4, 50, 40, {255, 1, 2, 3});  // 8,000 bytes
  std::vector<AheadItem> first, second;
  for (int i = 0; i < 300; ++i) {
    const std::string name = "p" + std::to_string(i) + ".png";
    Add(name, PngOf(tile));
    (i < 200 ? first : second).push_back(Picture(name));
  }
  Add("huge.png", PngOf(Make(3, 400, 400, {9, 9, 9})));
  const std::size_t budget = 10 * tile.ByteSize() + 100;
  PictureCache cache(Reader(), budget);
  first.insert(first.begin(), Picture("huge.png"));
  cache.Request(first);
  cache.WaitIdle();
  // The nearest ten fit; the picture beyond the whole budget never does.
  EXPECT_EQ(cache.PictureCount(), 10u);
  EXPECT_EQ(cache.HeldBytes(), 10 * tile.ByteSize());
  EXPECT_FALSE(cache.Holds("huge.png"));
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(cache.Holds(first[static_cast<size_t>(i) + 1].name)) << i;

  // A new request pushes out what is no longer asked for.
  cache.Request(second);
  cache.WaitIdle();
  EXPECT_EQ(cache.PictureCount(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(cache.Holds(second[static_cast<size_t>(i)].name)) << i;
  EXPECT_FALSE(cache.Holds(first[1].name));

  // Taking makes room for the next in line once the taken one is no longer
  // asked for (a picture still asked for is needed again further on).
  Surface pixels;
  ASSERT_TRUE(cache.Take(second[0].name, pixels));
  cache.Request({second.begin() + 1, second.end()});
  cache.WaitIdle();
  EXPECT_TRUE(cache.Holds(second[10].name));
  EXPECT_LE(cache.PeakBytes(), budget);
  EXPECT_LE(cache.HeldBytes(), budget);
}

TEST_F(PictureCacheTest, DefinitionsAndScriptsExpandOnTheWorkerOnce) {
  Add("base.png", PngOf(Make(3, 8, 8, {1, 2, 3})));
  Add("face.png", PngOf(Make(4, 4, 4, {255, 1, 2, 3})));
  std::atomic<int> expansions{0};
  PictureCache cache(Reader(), 1 << 20, [&](const AheadItem& item, std::vector<AheadItem>& out) {
    ++expansions;
    if (item.kind == AheadItem::Kind::Script) out.push_back({AheadItem::Kind::Definition, "girl.img", 2});
    if (item.kind == AheadItem::Kind::Definition && item.code == 2)
      out.insert(out.end(), {Picture("base.png"), Picture("face.png")});
  });
  cache.Request({{AheadItem::Kind::Script, "next.txt", 0}});
  cache.WaitIdle();
  EXPECT_TRUE(cache.Holds("base.png") && cache.Holds("face.png"));
  Surface pixels;
  ASSERT_TRUE(cache.Take("base.png", pixels));
  cache.WaitIdle();
  // The request is gone through again, from what was remembered.
  EXPECT_TRUE(cache.Holds("base.png"));
  EXPECT_EQ(expansions, 2);
}

TEST_F(PictureCacheTest, StopDropsEverythingAndTheNextRequestStartsAfresh) {
  Add("a.png", PngOf(Make(3, 8, 8, {1, 2, 3})));
  PictureCache cache(Reader(), 1 << 20);
  cache.Request({Picture("a.png"), Picture("gone.png")});
  cache.WaitIdle();
  ASSERT_TRUE(cache.Holds("a.png"));
  cache.Stop();
  Surface pixels;
  EXPECT_FALSE(cache.Take("a.png", pixels));
  EXPECT_EQ(cache.HeldBytes(), 0u);
  // The failure remembered before is forgotten too: the file may be there now.
  Add("gone.png", PngOf(Make(1, 2, 2, {7})));
  cache.Request({Picture("gone.png")});
  cache.WaitIdle();
  EXPECT_TRUE(cache.Holds("gone.png"));
}

}  // namespace
}  // namespace lyraban
