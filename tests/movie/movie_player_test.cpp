#include "movie/movie_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <thread>
#include <tuple>

#include "graphics/surface.h"
#include "platform/ffmpeg/ffmpeg_movie.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/virtual_audio.h"
#include "platform/sdl/sdl_audio.h"
#include "support/movie_maker.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using testing::MakeMovie;
using testing::MovieRecipe;
using Colour = std::array<unsigned char, 3>;

constexpr Colour kRed{230, 20, 20}, kGreen{20, 200, 40}, kBlue{30, 40, 220}, kWhite{240, 240, 240},
    kYellow{230, 220, 30}, kBlack{0, 0, 0};

// The name of the test colour nearest to a sampled pixel, so that a wrong
// picture reads as the wrong colour's name.
std::string ColourName(int r, int g, int b) {
  const std::pair<const char*, Colour> names[] = {{"red", kRed},     {"green", kGreen},   {"blue", kBlue},
                                                  {"white", kWhite}, {"yellow", kYellow}, {"black", kBlack}};
  const char* best = "?";
  int bestDistance = 40 * 40 * 3;  // farther than this from every colour: unknown
  for (const auto& [name, c] : names) {
    const int d = (r - c[0]) * (r - c[0]) + (g - c[1]) * (g - c[1]) + (b - c[2]) * (b - c[2]);
    if (d < bestDistance) bestDistance = d, best = name;
  }
  return best;
}

// Pictures `colours`, five a second unless told.
MovieRecipe Recipe(std::vector<Colour> colours, int fps = 5) {
  MovieRecipe recipe;
  recipe.colours = std::move(colours);
  recipe.fps = fps;
  return recipe;
}

// Records every frame the player puts on the screen, with its time.
class RecordingHost final : public MovieHost {
 public:
  RecordingHost(platform::HeadlessPlatform& platform, Mixer& mixer) : platform_(platform), mixer_(mixer) {
    screen_.Create(3, 64, 48);
    FillScreen(screen_, 90, 90, 90);
  }
  bool PumpInput() override {
    ++pumps;
    const u32 now = platform_.clock().Now();
    if (quitAt && now >= quitAt) return false;
    if (cancelAt && now >= cancelAt) pending = MoviePlayer::kCancelCommand;
    return true;
  }
  u8 PendingCommand() override { return pending; }
  void ClearPendingInput() override { pending = 0; }
  bool PresentVideo(const platform::VideoPicture&) override { return false; }
  Surface& ScreenSurface() override { return screen_; }
  void PresentSurface() override {
    const u8* p = screen_.Row(24) + 32 * 3;
    shown.push_back({platform_.clock().Now(), ColourName(p[2], p[1], p[0])});
    platform_.Present(screen_.pixels(), 64, 48, 64 * 3);
    if (slowPresentMs) platform_.clock().Sleep(slowPresentMs);
  }
  Mixer* SoundMixer() override { return withSound ? &mixer_ : nullptr; }
  i32 MusicAttenuation() override { return attenuation; }

  // "red green …", each colour once per run of equal frames.
  std::string Sequence() const {
    std::string out, last;
    for (const auto& s : shown)
      if (s.colour != last) out += (out.empty() ? "" : " ") + s.colour, last = s.colour;
    return out;
  }

  struct Shown {
    u32 at;
    std::string colour;
  };
  std::vector<Shown> shown;
  int pumps = 0;
  u8 pending = 0;
  u32 cancelAt = 0, quitAt = 0, slowPresentMs = 0;
  bool withSound = true;
  i32 attenuation = 0;

 private:
  platform::HeadlessPlatform& platform_;
  Mixer& mixer_;
  Surface screen_;
};

class MoviePlayerTest : public ::testing::Test {
 protected:
  MoviePlayerTest() {
    audio.Open([this](i16* out, size_t frames) { mixer.Mix(out, frames); });
    audio.StartCapture();
    trace.SetSink([this](std::string_view m) { traced += std::string(m) + "\n"; });
  }
  std::string Make(const MovieRecipe& recipe, const std::string& name) {
    std::string log;
    const auto path = dir.path() / name;
    EXPECT_TRUE(MakeMovie(recipe, path, log)) << log;
    return path.string();
  }
  // Plays and returns how long it took on the virtual clock.
  u32 PlayTimed(const std::string& path) {
    start = platform.clock().Now();
    played = player.Play(path, {});
    return platform.clock().Now() - start;
  }

  testing::TempDir dir;
  platform::HeadlessPlatform platform;
  platform::VirtualAudioOutput audio{platform.virtualClock()};
  platform::SdlAudioConverterFactory converters;
  Mixer mixer{converters};
  platform::FfmpegMovieDecoderFactory decoders;
  Trace trace;
  std::string traced;
  RecordingHost host{platform, mixer};
  MoviePlayer player{host, decoders, platform.clock(), trace};
  u32 start = 0;
  bool played = false;
};

// What a whole movie may take beyond its length: a wait and a presented
// frame at each end.
constexpr u32 kSlack = 2 * MoviePlayer::kMaxWaitMs + 2 * platform::HeadlessPlatform::kFrameMs;

TEST_F(MoviePlayerTest, PicturesAppearAtTheirTimesAndTheScreenIsBlackAfterwards) {
  const u32 took = PlayTimed(Make(Recipe({kRed, kGreen, kBlue, kWhite, kYellow}), "five.avi"));  // 200 ms each
  EXPECT_TRUE(played);
  EXPECT_EQ(host.Sequence(), "red green blue white yellow black");
  ASSERT_EQ(host.shown.size(), 6u);
  for (size_t i = 0; i < 5; ++i) {
    const u32 at = host.shown[i].at - start;
    EXPECT_GE(at, 200 * i) << "picture " << i << " came early";
    EXPECT_LE(at, 200 * i + MoviePlayer::kMaxWaitMs) << "picture " << i << " came late";
  }
  EXPECT_TRUE(player.lastStats().completed);
  EXPECT_EQ(player.lastStats().dropped, 0u);
  // Over when the sound is over: the last picture's time plus its length.
  EXPECT_GE(took, 1000u);
  EXPECT_LE(took, 1000u + kSlack);
  EXPECT_FALSE(player.playing());
  EXPECT_EQ(mixer.bufferCount(), 0u) << "the sound stream outlived the movie";
}

TEST_F(MoviePlayerTest, SoundReachesTheMixerUnchangedAtFullVolumeAndFollowsTheAttenuation) {
  const MovieRecipe recipe = Recipe({kRed, kGreen, kBlue});
  const std::string path = Make(recipe, "tone.avi");
  const std::vector<short> tone = testing::MovieTone(recipe);
  for (const auto& [attenuation, gain] : {std::pair{0, 1.0}, {-602, 0.5}, {-10000, 0.0}}) {
    SCOPED_TRACE(attenuation);
    host.attenuation = attenuation;
    audio.TakeCaptured();
    PlayTimed(path);
    const std::vector<i16> mixed = audio.TakeCaptured();
    // The movie's sound starts with the playback: sample for sample from
    // the first pulled frame, scaled by the gain.
    ASSERT_GE(mixed.size(), tone.size());
    size_t worst = 0;
    double worstError = 0;
    for (size_t i = 0; i < tone.size(); ++i) {
      const double error = std::abs(mixed[i] - tone[i] * gain);
      if (error > worstError) worstError = error, worst = i;
    }
    EXPECT_LE(worstError, 0.005 * 8000 + 1)
        << "sample " << worst << " is " << mixed[worst] << ", the tone there is " << tone[worst];
  }
}

TEST_F(MoviePlayerTest, LatePicturesAreDroppedWhileTheSoundKeepsTime) {
  MovieRecipe recipe = Recipe({}, 25);
  for (int i = 0; i < 25; ++i) recipe.colours.push_back(i < 12 ? kRed : i < 24 ? kBlue : kYellow);
  const std::string path = Make(recipe, "fast.avi");
  host.slowPresentMs = 60;  // a display that needs 76 ms a frame
  const u32 took = PlayTimed(path);
  const MovieStats& stats = player.lastStats();
  EXPECT_GT(stats.dropped, 0u);
  EXPECT_EQ(stats.shown + stats.dropped, 25u);
  EXPECT_EQ(host.Sequence(), "red blue yellow black");
  // One second of movie (and the black frame after it), not 25 slow frames.
  EXPECT_LE(took, 1000u + 3 * 76);
}

// A movie without sound, and a sound device that stops pulling, leave the
// platform clock to time the pictures.
TEST_F(MoviePlayerTest, WithoutSoundThePlatformClockTimesThePictures) {
  for (const bool stalled : {false, true}) {
    SCOPED_TRACE(stalled ? "the device stalled" : "no sound track");
    host.shown.clear();
    host.withSound = stalled;
    if (stalled) audio.Close();
    MovieRecipe recipe = Recipe({kRed, kGreen, kBlue});
    if (!stalled) recipe.audioCodec.clear();
    const u32 took = PlayTimed(Make(recipe, stalled ? "stalled.avi" : "mute.avi"));
    EXPECT_EQ(host.Sequence(), "red green blue black");
    EXPECT_GE(took, 600u);
    EXPECT_LE(took, 600u + kSlack);
  }
}

TEST_F(MoviePlayerTest, CancelIsNoticedWithinOneFrameAndQuitEndsAtOnce) {
  const std::string path = Make(Recipe({kRed, kGreen, kBlue, kWhite, kYellow}), "long.avi");
  host.cancelAt = 300;
  PlayTimed(path);
  EXPECT_TRUE(player.lastStats().cancelled);
  EXPECT_EQ(host.Sequence(), "red green black");
  EXPECT_LE(platform.clock().Now(), 300u + MoviePlayer::kMaxWaitMs + platform::HeadlessPlatform::kFrameMs);
  EXPECT_EQ(host.pending, 0) << "the cancel was left pending for the script";
  EXPECT_EQ(mixer.bufferCount(), 0u);

  host.cancelAt = 0;
  host.quitAt = platform.clock().Now() + 100;
  const u32 took = PlayTimed(path);
  EXPECT_TRUE(player.lastStats().quit);
  EXPECT_LE(took, 100u + MoviePlayer::kMaxWaitMs + platform::HeadlessPlatform::kFrameMs);
}

TEST_F(MoviePlayerTest, BadFilesEndAtOnceWithTheirReasonTraced) {
  const std::string good = testing::ReadFileBytes(Make(Recipe({kRed, kGreen, kBlue, kWhite, kYellow}), "good.avi"));
  std::string noisy = good;
  for (size_t i = 600; i < noisy.size(); i += 7) noisy[i] = static_cast<char>(noisy[i] * 31 + 17);
  std::string noise(20000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  const std::tuple<const char*, std::string, bool> cases[] = {
      // name, bytes, whether it opens
      {"missing.avi", {}, false},
      {"noise.avi", noise, false},
      {"text.avi", "not a movie\n", false},
      {"empty.avi", "", false},
      {"truncated.avi", good.substr(0, good.size() / 3), true},
      {"damaged.avi", noisy, true},
  };
  for (const auto& [name, bytes, opens] : cases) {
    SCOPED_TRACE(name);
    if (std::string(name) != "missing.avi") dir.Write(name, bytes);
    traced.clear();
    const u32 took = PlayTimed((dir.path() / name).string());
    EXPECT_EQ(played, opens);
    // Never longer than the intact movie, however much of it is left.
    EXPECT_LE(took, 1000u + 2 * kSlack);
    if (!opens) {
      EXPECT_NE(traced.find(name), std::string::npos) << "not named in: " << traced;
    }
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(mixer.bufferCount(), 0u);
  }
  // The reason is FFmpeg's: a missing file says so.
  traced.clear();
  PlayTimed("nowhere/missing.avi");
  EXPECT_NE(traced.find("no such file"), std::string::npos) << traced;
}

// A movie opened ahead plays as one opened on the spot: the same pictures
// in the same order, the same sound, the same trace for a file that cannot play; a Play of
// another name plays that one, and one dropped is opened again.
TEST_F(MoviePlayerTest, OpenedAheadPlaysAsOpenedOnTheSpot) {
  const std::string good = Make(Recipe({kRed, kGreen, kBlue}), "good.avi");
  const std::string other = Make(Recipe({kYellow, kWhite}), "other.avi");
  dir.Write("text.avi", "not a movie\n");
  const std::string text = (dir.path() / "text.avi").string(), missing = (dir.path() / "missing.avi").string();
  struct Run {
    bool played;
    std::string sequence, traced;
    std::vector<i16> sound;
  };
  auto run = [&](const std::string& ahead, const std::string& play, bool drop) {
    host.shown.clear();
    traced.clear();
    audio.TakeCaptured();
    if (!ahead.empty()) player.OpenAhead(ahead, {});
    if (drop) player.DropOpenAhead();
    PlayTimed(play);
    return Run{played, host.Sequence(), traced, audio.TakeCaptured()};
  };
  for (const std::string& path : {good, text, missing}) {
    SCOPED_TRACE(path);
    const Run plain = run("", path, false), ahead = run(path, path, false), dropped = run(path, path, true);
    for (const Run* r : {&ahead, &dropped}) {
      EXPECT_EQ(r->played, plain.played);
      EXPECT_EQ(r->sequence, plain.sequence);
      EXPECT_EQ(r->traced, plain.traced);
      // The sound, sample for sample, for as long as both ran.
      const std::size_t both = std::min(r->sound.size(), plain.sound.size());
      if (path == good) {
        EXPECT_GT(both, 1000u) << "too little sound to compare";
      }
      EXPECT_TRUE(std::equal(r->sound.begin(), r->sound.begin() + both, plain.sound.begin()));
    }
  }
  const Run plainOther = run("", other, false), switched = run(good, other, false);
  EXPECT_EQ(switched.sequence, plainOther.sequence);
  EXPECT_EQ(switched.sequence.rfind("yellow white", 0), 0u) << switched.sequence;
  EXPECT_EQ(mixer.bufferCount(), 0u);
}

// Opens through the real decoders, noting the thread of every open.
class CountingFactory final : public platform::MovieDecoderFactory {
 public:
  explicit CountingFactory(platform::MovieDecoderFactory& real) : real_(real) {}
  std::unique_ptr<platform::MovieDecoder> Open(const std::string& path, std::string& reason) override {
    openedOn.push_back(std::this_thread::get_id());
    return real_.Open(path, reason);
  }
  bool Available() const override { return real_.Available(); }
  std::vector<std::thread::id> openedOn;

 private:
  platform::MovieDecoderFactory& real_;
};

// The file is opened once, off the main thread; another name opens on the
// spot.
TEST_F(MoviePlayerTest, AMovieOpenedAheadIsOpenedOnceOnAWorker) {
  const std::string good = Make(Recipe({kRed, kGreen}), "good.avi");
  const std::string other = Make(Recipe({kBlue}), "other.avi");
  CountingFactory counting(decoders);
  MoviePlayer ahead(host, counting, platform.clock(), trace);
  ahead.OpenAhead(good, {});
  ASSERT_TRUE(ahead.Play(good, {}));
  ASSERT_EQ(counting.openedOn.size(), 1u);
  EXPECT_NE(counting.openedOn[0], std::this_thread::get_id());
  ahead.OpenAhead(good, {});
  ASSERT_TRUE(ahead.Play(other, {}));
  ASSERT_EQ(counting.openedOn.size(), 3u);
  EXPECT_EQ(counting.openedOn[2], std::this_thread::get_id());
  EXPECT_GT(ahead.lastStats().shown, 0u);
}

// Each of the formats a game may ship plays its pictures in order.
TEST_F(MoviePlayerTest, CommonContainersAndCodecsPlay) {
  EXPECT_TRUE(player.available()) << "the system information page would say movies cannot play";
  const std::tuple<const char*, const char*, const char*> cases[] = {
      // file, video codec, audio codec
      {"mpeg1.mpg", "mpeg1video", "mp2"},
      {"mpeg4.avi", "mpeg4", "libmp3lame"},
      {"wmv.wmv", "wmv2", "wmav2"},
      {"h264.mp4", "libx264", "aac"},
      {"vp8.webm", "libvpx", "libvorbis"},
      {"vp9.webm", "libvpx-vp9", "libopus"},
      {"theora.ogg", "libtheora", "libvorbis"},
  };
  for (const auto& [file, video, sound] : cases) {
    SCOPED_TRACE(file);
    // MPEG-1 knows only the usual rates.
    MovieRecipe recipe = Recipe({}, 25);
    recipe.videoCodec = video;
    recipe.audioCodec = sound;
    recipe.soundRate = 48000;
    recipe.extra = {"-b:v", "2M"};
    for (int i = 0; i < 25; ++i) recipe.colours.push_back(i < 5 ? kRed : i < 10 ? kGreen : kBlue);
    const std::string path = Make(recipe, file);
    host.shown.clear();
    traced.clear();
    PlayTimed(path);
    EXPECT_TRUE(played) << traced;
    EXPECT_EQ(host.Sequence(), "red green blue black");
  }
}

TEST(MovieFiles, WorkingDirectoryFirstThenTheGameFolder) {
  testing::TempDir cwd, game;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(cwd.path());
  for (const auto* folder : {&cwd, &game}) folder->Write("both.avi", "x");
  game.Write("movie/op.avi", "x");
  cwd.Write("here.avi", "x");
  const std::string op = (game.path() / "movie/op.avi").string();
  const std::pair<const char*, std::string> cases[] = {
      {"both.avi", "both.avi"},
      {"here.avi", "here.avi"},
      {"movie\\op.avi", op},
      {"movie/op.avi", op},
      {"absent.avi", ""},
      {"movie", ""},  // a folder is not a movie
      {"", ""},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(MoviePlayer::FindMovieFile(name, game.str()), expected) << name;
  std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace lyraban
