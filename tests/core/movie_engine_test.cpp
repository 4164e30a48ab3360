// The movie tag through the whole headless engine: pictures on the screen,
// sound in the mix, cancel, close and bad files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "core/test_game.h"
#include "movie/movie_player.h"
#include "sound/ogg_maker.h"
#include "support/movie_maker.h"

namespace lyraban {
namespace {

using testing::Play;
using testing::Played;
using testing::TestGame;
using Colour = std::array<unsigned char, 3>;

constexpr Colour kRed{230, 20, 20}, kGreen{20, 200, 40}, kBlue{30, 40, 220}, kWhite{240, 240, 240},
    kYellow{230, 220, 30};

std::string Name(const std::array<int, 3>& p) {
  const std::pair<const char*, Colour> names[] = {{"red", kRed},     {"green", kGreen},   {"blue", kBlue},
                                                  {"white", kWhite}, {"yellow", kYellow}, {"black", {0, 0, 0}}};
  for (const auto& [name, c] : names)
    if (std::abs(p[0] - c[0]) < 30 && std::abs(p[1] - c[1]) < 30 && std::abs(p[2] - c[2]) < 30) return name;
  return "(" + std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]) + ")";
}

// A game whose script plays `movie\op.avi` (five colours of 200 ms with a
// tone) and then sets score to 1 and waits.
struct MovieGame : TestGame {
  MovieGame() {
    testing::MovieRecipe recipe;
    recipe.colours = {kRed, kGreen, kBlue, kWhite, kYellow};
    std::string log;
    EXPECT_TRUE(MakeMovie(recipe, dir.path() / "movie" / "op.avi", log)) << log;
    tone = testing::MovieTone(recipe);
    Script(".movie movie\\op.avi\r\n?score = 1\r\n.wait 3000\r\n.QUIT\r\n");
  }
  std::vector<short> tone;
};

TEST(MovieTag, PicturesShowAtTheirTimesThenTheScreenIsBlackAndTheScriptGoesOn) {
  MovieGame game;
  // The movie starts once the first frame is up (a few ms in); each run is
  // closed in the middle of one picture, the last after the movie.
  const std::pair<u32, const char*> shown[] = {{130, "red"},   {330, "green"},  {530, "blue"},
                                               {730, "white"}, {930, "yellow"}, {1500, "black"}};
  for (auto [ms, colour] : shown) {
    Played play(game, {}, ms);
    EXPECT_EQ(Name(play.Pixel(32, 24)), colour) << "at " << ms << " ms";
    EXPECT_EQ(play.engine->flags().GetFlag("score"), ms > 1000 ? 1 : 0) << "at " << ms << " ms";
    EXPECT_FALSE(play.Traced("ムービー")) << "a movie that played was reported as failing";
  }
}

TEST(MovieTag, SoundFollowsTheMusicVolumeLaw) {
  MovieGame game;
  testing::InGameFolder here(game);
  struct Case {
    bool enabled;
    int volume;
    double gain;
  };
  for (const Case c : {Case{true, 100, 1.0}, Case{true, 50, 0.501}, Case{false, 100, 0.0}}) {
    testing::WriteSettings("lyraban.cfg", [&](UserSettings& s) { s.BgmEnabled = c.enabled, s.BgmVolume = c.volume; });
    const std::vector<i16> mixed = Play(game, {}, 1500).RunCapturing();
    // The middle of the movie: its tone alone, at the law's gain.
    ASSERT_GE(mixed.size(), 2u * 44100 * 8 / 10);
    EXPECT_NEAR(testing::Rms(mixed.data(), 2, 44100 * 3 / 10, 44100 / 2), 8000 / std::sqrt(2.0) * c.gain, 0.01 * 8000)
        << "music " << (c.enabled ? "on" : "off") << ", volume " << c.volume;
  }
}

TEST(MovieTag, CancelSkipsTheRestAndClosingTheWindowEndsTheProgram) {
  MovieGame game;
  Played cancelled(game, "300 key Escape\n", 700);
  EXPECT_EQ(Name(cancelled.Pixel(32, 24)), "black");
  EXPECT_EQ(cancelled.engine->flags().GetFlag("score"), 1);
  EXPECT_TRUE(cancelled.engine->movie()->lastStats().cancelled);

  Played closed(game, "300 close\n");
  EXPECT_TRUE(closed.engine->quitting());
  EXPECT_LT(closed.platform.clock().Now(), 400u) << "the movie went on after the window closed";
  EXPECT_TRUE(closed.engine->movie()->lastStats().quit);
}

// The window's maximise box asks for full screen from anywhere.
TEST(MovieTag, FullScreenWaitsUntilTheMovieIsOver) {
  MovieGame game;
  Play play(game, {}, 700);
  play.At(300, platform::EventKind::Maximize);
  play.Run();
  EXPECT_FALSE(play.platform.IsFullScreen()) << "switched while the movie played";
  Play later(game, {}, 1600);
  later.At(1300, platform::EventKind::Maximize);
  later.Run();
  EXPECT_TRUE(later.platform.IsFullScreen()) << "refused after the movie";
  EXPECT_EQ(later.engine->userSettings().FullScreen, 1) << "the setting the dialog would save";
}

TEST(MovieTag, MissingAndBrokenFilesEndAtOnceAndTheScriptGoesOn) {
  TestGame game;
  std::string noise(5000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 11);
  game.dir.Write("broken.mpg", noise);
  game.Script(".bgm theme.ogg\r\n.movie nothere.avi\r\n.movie broken.mpg\r\n?score = 2\r\n.QUIT\r\n");
  Played play(game);
  EXPECT_EQ(game.Global(0), 2);
  EXPECT_TRUE(play.Traced("nothere.avi"));
  EXPECT_TRUE(play.Traced("broken.mpg"));
  EXPECT_LT(play.platform.clock().Now(), 200u);
  EXPECT_EQ(Name(play.Pixel(32, 24)), "black");
}

}  // namespace
}  // namespace lyraban
