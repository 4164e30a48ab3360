// The lines ahead name the sounds they will start, as the sound system will
// be asked for them: the music with its looping, voices within their folder.
#include <gtest/gtest.h>

#include "core/decode_ahead.h"

namespace lyraban {
namespace {

using Kind = SoundAhead::Kind;

AheadItem Sound(Kind kind, std::string name) {
  return {AheadItem::Kind::Sound, std::move(name), static_cast<i32>(kind)};
}
AheadItem Picture(std::string name) { return {AheadItem::Kind::Picture, std::move(name), 0}; }

std::vector<AheadItem> Scan(const std::vector<std::string>& lines, u32 from = 0, u32 count = 100) {
  std::vector<AheadItem> items;
  DecodeAhead::ScanLines(
      [&](u32 index, std::string_view& text) {
        if (index >= lines.size()) return false;
        text = lines[index];
        return true;
      },
      from, count, true, items);
  return items;
}

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
  for (const Case& c : cases) EXPECT_EQ(Scan(c.lines), c.expected) << c.what;
  // Only the window: the folder set before it is not known.
  EXPECT_EQ(Scan({".voice \\hikari", ".voice hk_001.ogg", ".se a.ogg"}, 1, 2),
            std::vector<AheadItem>{Sound(Kind::Se, "a.ogg")});
}

}  // namespace
}  // namespace lyraban
