#include "core/decode_ahead.h"

#include <gtest/gtest.h>

#include "graphics/layer.h"
#include "persist/read_log.h"
#include "platform/headless/virtual_clock.h"
#include "resources/resources.h"
#include "script/program.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

AheadItem Picture(std::string name) { return {AheadItem::Kind::Picture, std::move(name), 0}; }
AheadItem Definition(std::string name, i32 code) { return {AheadItem::Kind::Definition, std::move(name), code}; }
AheadItem Script(std::string name) { return {AheadItem::Kind::Script, std::move(name), 0}; }
using Kind = SoundAhead::Kind;
AheadItem Sound(Kind kind, std::string name) {
  return {AheadItem::Kind::Sound, std::move(name), static_cast<i32>(kind)};
}

std::vector<AheadItem> Scan(const std::vector<std::string>& lines, u32 from, u32 count, bool followScripts = true) {
  std::vector<AheadItem> items;
  DecodeAhead::ScanLines(
      [&](u32 index, std::string_view& text) {
        if (index >= lines.size()) return false;
        text = lines[index];
        return true;
      },
      from, count, followScripts, items);
  return items;
}

TEST(DecodeAheadScan, TheLinesAheadNameWhatTheyWillShow) {
  struct Case {
    const char* what;
    std::vector<std::string> lines;
    std::vector<AheadItem> expected;
  };
  const std::vector<Case> cases = {
      {"img items: positions skipped, colours are no pictures, codes kept",
       {".img 1 girl.img#3 left 10 20", ".img 0 bg.png", ".img 2 pos3 a.png center", ".img 3 WHITE", ".img 4 Black"},
       {Definition("girl.img", 3), Picture("bg.png"), Picture("a.png")}},
      {"a definition without a code is applied with 0; case of the extension ignored",
       {".img 0 room.IMG"},
       {Definition("room.IMG", 0)}},
      {"clearing layers names nothing", {".img", ".img 3"}, {}},
      {"fadeout: a picture, or black (a colour) when it starts with a time",
       {".fadeout snow.png 300", ".fadeout 800", ".fadeout"},
       {Picture("snow.png")}},
      {"wipe rules are pictures",
       {".wipe rule_left.png 700", ".wipe rule_iris.png 900 fade"},
       {Picture("rule_left.png"), Picture("rule_iris.png")}},
      {"LOAD and CALL lead to scripts (control words ignore case)",
       {".LOAD chapter1.txt", ".call memory.txt"},
       {Script("chapter1.txt"), Script("memory.txt")}},
      {"text, comments, labels, flags and other tags name nothing; tag names are exact",
       {"光:.img 0 a.png", "; .img 0 b.png", "#label", "?x = 1", ".mode adv", ".IMG 0 d.png", ".SE e.ogg"},
       {}},
      {"each item once, nearest first",
       {".img 0 a.png", ".img 1 b.png", ".img 2 a.png"},
       {Picture("a.png"), Picture("b.png")}},
  };
  for (const Case& c : cases) EXPECT_EQ(Scan(c.lines, 0, 100), c.expected) << c.what;
}

TEST(DecodeAheadScan, OnlyTheWindowIsReadAndScriptsOnlyWhenFollowed) {
  const std::vector<std::string> lines = {".img 0 a.png", ".LOAD x.txt", ".img 0 b.png", ".img 0 c.png"};
  EXPECT_EQ(Scan(lines, 1, 2), (std::vector<AheadItem>{Script("x.txt"), Picture("b.png")}));
  EXPECT_EQ(Scan(lines, 1, 2, false), std::vector<AheadItem>{Picture("b.png")});
  EXPECT_EQ(Scan(lines, 3, 10), std::vector<AheadItem>{Picture("c.png")});
  EXPECT_TRUE(Scan(lines, 4, 10).empty());
}

// A game folder with loose files, the layers over it, and decode-ahead
// when asked for.
class DecodeAheadGame : public ::testing::Test {
 protected:
  DecodeAheadGame() {
    std::string png;
    Surface picture;
    EXPECT_TRUE(picture.Create(3, 8, 6));
    std::fill(picture.pixels(), picture.pixels() + picture.ByteSize(), u8{90});
    EXPECT_TRUE(EncodePng(picture, png));
    good_ = png;
    game_.Write("data/img/good.png", png);
    game_.Write("data/img/face.png", png);
    // Cut inside its header: the decoder refuses it.
    game_.Write("data/img/broken.png", png.substr(0, 20));
    // A palette picture: read fine, refused by the decoder.
    png[8 + 8 + 9] = 3;
    game_.Write("data/img/palette.png", png);
    game_.Write("data/anime/girl.img",
                "Type=actor\r\nBase=good.png\r\n#1\r\nFace=broken.png\r\n#2\r\nFace=face.png\r\n");
    game_.Write("data/script/next.txt", ".img 2 girl.img#2\r\n");
  }

  struct Outcome {
    std::vector<std::string> traced;
    std::vector<std::vector<u8>> composed;
  };

  // Shows `names` one after the other on layer 1 (a code after '#'),
  // composing after each, with or without pictures decoded ahead first.
  Outcome Show(const std::vector<std::string>& names, bool ahead) {
    Outcome outcome;
    Trace trace;
    trace.SetSink([&](std::string_view line) { outcome.traced.emplace_back(line); });
    Resources resources(trace);
    resources.OpenDataFolder(game_.str());
    platform::VirtualClock clock(1000);
    LayerSet layers(resources, trace, clock, 32, 24);
    DecodeAhead decodeAhead(resources, 1 << 20);
    if (ahead) {
      layers.SetDecodedSource([&](std::string_view name, Surface& pixels) { return decodeAhead.Take(name, pixels); });
      std::vector<AheadItem> items;
      for (const std::string& name : names) {
        const size_t hash = name.find('#');
        if (hash == std::string::npos)
          items.push_back(Picture(name));
        else
          items.push_back(Definition(name.substr(0, hash), std::stoi(name.substr(hash + 1))));
      }
      decodeAhead.cache().Request(items);
      decodeAhead.cache().WaitIdle();
      EXPECT_TRUE(outcome.traced.empty()) << "the worker traced: " << outcome.traced.front();
    }
    Surface composed;
    EXPECT_TRUE(composed.Create(3, 32, 24));
    for (const std::string& name : names) {
      const size_t hash = name.find('#');
      if (layers.SetLayerImage(1, name.substr(0, hash)) && hash != std::string::npos)
        layers.ApplyLayerDefinition(1, std::stoi(name.substr(hash + 1)));
      layers.ComposeLayers(composed);
      outcome.composed.emplace_back(composed.pixels(), composed.pixels() + composed.ByteSize());
    }
    return outcome;
  }

  testing::TempDir game_;
  std::string good_;
};

TEST_F(DecodeAheadGame, FailuresTraceTheSameAndPicturesComposeTheSame) {
  const std::vector<std::vector<std::string>> plays = {
      {"good.png", "broken.png", "palette.png", "missing.png", "good.png"},
      {"girl.img#1", "girl.img#2", "girl.img#1"},
  };
  for (const auto& names : plays) {
    const Outcome onTheSpot = Show(names, false);
    const Outcome ahead = Show(names, true);
    ASSERT_FALSE(onTheSpot.traced.empty()) << "the broken pictures are traced";
    EXPECT_EQ(ahead.traced, onTheSpot.traced);
    EXPECT_EQ(ahead.composed, onTheSpot.composed);
  }
}

TEST_F(DecodeAheadGame, LookAheadFollowsScriptsAndTheCallersLines) {
  Trace trace;
  Resources resources(trace);
  resources.OpenDataFolder(game_.str());
  ReadLog readLog(trace);
  DecodeAhead decodeAhead(resources, 1 << 20);

  // A caller that is about to go on with a picture once its callee ends,
  // and a callee whose next line leads to another script.
  game_.Write("data/script/caller.txt", ".CALL callee.txt\r\n.img 0 face.png\r\n");
  game_.Write("data/script/callee.txt", "hello\r\n.LOAD next.txt\r\n");
  ScriptProgram root(resources, readLog);
  ASSERT_TRUE(root.Load("caller.txt"));
  root.NextLine = 1;
  root.Child = root.MakeChild();
  ASSERT_TRUE(root.Child->Load("callee.txt"));
  root.Child->NextLine = 1;

  decodeAhead.LookAhead(root, *root.Child);
  decodeAhead.cache().WaitIdle();
  // next.txt shows girl.img#2: its base and face; the caller shows face.png.
  EXPECT_TRUE(decodeAhead.cache().Holds("good.png"));
  EXPECT_TRUE(decodeAhead.cache().Holds("face.png"));
  EXPECT_FALSE(decodeAhead.cache().Holds("broken.png")) << "code 1 is not applied";
  EXPECT_EQ(decodeAhead.cache().PictureCount(), 2u);
  Surface pixels;
  ASSERT_TRUE(decodeAhead.Take("good.png", pixels));
  EXPECT_EQ(pixels.ByteSize(), 8u * 6 * 3);

  // While a movie's libraries load, what was decoded goes and the lines
  // ahead are only noted; once it plays they are decoded again.
  decodeAhead.Hold();
  EXPECT_EQ(decodeAhead.cache().PictureCount(), 0u);
  decodeAhead.LookAhead(root, *root.Child);
  decodeAhead.cache().WaitIdle();
  EXPECT_EQ(decodeAhead.cache().PictureCount(), 0u) << "decoded while held";
  decodeAhead.Resume();
  decodeAhead.cache().WaitIdle();
  EXPECT_TRUE(decodeAhead.cache().Holds("good.png"));
  EXPECT_TRUE(decodeAhead.cache().Holds("face.png"));

  // A restart drops everything.
  decodeAhead.Stop();
  EXPECT_EQ(decodeAhead.cache().PictureCount(), 0u);
}

// The lines ahead name the sounds they will start, as the sound system will
// be asked for them: the music with its looping, voices within their folder.
TEST(DecodeAheadSoundScan, TheLinesAheadNameTheSoundsTheyStart) {
  struct Case {
    const char* what;
    std::vector<std::string> lines;
    std::vector<AheadItem> expected;
  };
  const std::vector<Case> cases = {
      {"music loops unless noloop; fade and stop name nothing",
       {".bgm a.ogg", ".bgm b.ogg NOLOOP", ".bgm c.ogg other", ".bgm fade", ".bgm"},
       {Sound(Kind::Music, "a.ogg"), Sound(Kind::MusicOnce, "b.ogg"), Sound(Kind::Music, "c.ogg")}},
      {"ambience and effects; stopping names nothing",
       {".env waves.ogg", ".env", ".se door.ogg", ".se"},
       {Sound(Kind::Env, "waves.ogg"), Sound(Kind::Se, "door.ogg")}},
      {"voices within the folder set in the window, ghosts not played",
       {".voice a0.ogg", ".voice \\hikari", ".voice hk_001.ogg", ".voice hk_002.ogg ghost", ".voice \\\\sora",
        ".voice so_001.ogg"},
       {Sound(Kind::Voice, "hikari\\hk_001.ogg"), Sound(Kind::Voice, "sora\\so_001.ogg")}},
      {"in line order among the pictures, each once",
       {".bgm t.ogg", ".img 0 bg.png", ".se s.ogg", ".se s.ogg", ".env s.ogg"},
       {Sound(Kind::Music, "t.ogg"), Picture("bg.png"), Sound(Kind::Se, "s.ogg"), Sound(Kind::Env, "s.ogg")}},
      {"text and comments name nothing", {"光:.se a.ogg", "; .bgm b.ogg"}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Scan(c.lines, 0, 100), c.expected) << c.what;
  // Only the window: the folder set before it is not known.
  EXPECT_EQ(Scan({".voice \\hikari", ".voice hk_001.ogg", ".se a.ogg"}, 1, 2),
            std::vector<AheadItem>{Sound(Kind::Se, "a.ogg")});
}

}  // namespace
}  // namespace lyraban
