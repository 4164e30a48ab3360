#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "platform/ffmpeg/ffmpeg_movie.h"
#include "support/movie_maker.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using platform::FfmpegMovieDecoderFactory;
using platform::MovieDecoder;

// Where the module has been unloaded, whether it is really gone; builds that
// keep it loaded (see kUnloads) must keep it mapped.
constexpr bool kGone = FfmpegMovieDecoderFactory::kUnloads;

// Which of the process's mappings name the movie module or FFmpeg's codec
// library: what is really in memory, not what the factory believes.
struct Mapped {
  bool module = false;
  bool avcodec = false;
  std::string modulePath;
};

Mapped MappedNow() {
  std::ifstream maps("/proc/self/maps");
  Mapped mapped;
  std::string line;
  while (std::getline(maps, line)) {
    const size_t slash = line.find('/');
    if (slash == std::string::npos) continue;
    const std::string path = line.substr(slash);
    if (path.find("lyraban-ffmpeg-movie.so") != std::string::npos) mapped.module = true, mapped.modulePath = path;
    if (path.find("libavcodec.so") != std::string::npos) mapped.avcodec = true;
  }
  return mapped;
}

std::set<std::string> MappedFiles() {
  std::ifstream maps("/proc/self/maps");
  std::set<std::string> files;
  std::string line;
  while (std::getline(maps, line))
    if (const size_t slash = line.find('/'); slash != std::string::npos) files.insert(line.substr(slash));
  return files;
}

// Whether the system takes the hint to page out a mapping (Linux 5.4 on).
bool SystemPagesOut() {
#ifdef MADV_PAGEOUT
  const long page = sysconf(_SC_PAGESIZE);
  void* probe = mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (probe == MAP_FAILED) return false;
  const bool takes = madvise(probe, page, MADV_PAGEOUT) == 0;
  munmap(probe, page);
  return takes;
#else
  return false;
#endif
}

// Resident kilobytes that only this process maps, unwritten, of the files
// not in `before`: what paging out can give back (pages other processes map
// too stay resident for them).
std::size_t PrivateCleanKbOfFilesNotIn(const std::set<std::string>& before) {
  std::ifstream smaps("/proc/self/smaps");
  std::size_t kb = 0;
  bool counting = false;
  std::string line;
  while (std::getline(smaps, line)) {
    if (line.rfind("Private_Clean:", 0) == 0) {
      if (counting) kb += std::stoul(line.substr(14));
    } else if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) && line.find('-') < line.find(' ')) {
      const size_t slash = line.find('/');
      counting = slash != std::string::npos && before.count(line.substr(slash)) == 0;
    }
  }
  return kb;
}

class MovieModuleTest : public ::testing::Test {
 protected:
  std::string MakeTwoPictureMovie() {
    testing::MovieRecipe recipe;
    recipe.colours = {{200, 30, 30}, {30, 200, 30}};
    const auto path = dir.path() / "two.avi";
    std::string log;
    EXPECT_TRUE(testing::MakeMovie(recipe, path, log)) << log;
    return path.string();
  }

  testing::TempDir dir;
};

TEST_F(MovieModuleTest, LoadedForAMovieAndUnloadedWhenItsLastPictureGoes) {
  const std::string movie = MakeTwoPictureMovie();
  FfmpegMovieDecoderFactory decoders;
  const std::set<std::string> filesBefore = MappedFiles();
  // Nothing of FFmpeg is in memory before a movie is asked for.
  if (kGone) {
    EXPECT_FALSE(MappedNow().module);
    EXPECT_FALSE(MappedNow().avcodec);
  }

  std::string reason;
  auto decoder = decoders.Open(movie, reason);
  ASSERT_NE(decoder, nullptr) << reason;
  EXPECT_TRUE(MappedNow().module);
  EXPECT_TRUE(decoders.ModuleLoaded());

  std::unique_ptr<platform::VideoPicture> picture;
  while (!picture) {
    const auto item = decoder->Next();
    ASSERT_NE(item, MovieDecoder::Item::End) << "the movie ended without a picture";
    if (item == MovieDecoder::Item::Video) picture = decoder->TakePicture();
  }
  // A picture kept after its decoder is gone keeps the module and its pixels.
  decoder.reset();
  EXPECT_TRUE(MappedNow().module);
  ASSERT_NE(picture->planes[0], nullptr);
  EXPECT_GT(picture->width, 0);
  const u8 luma = picture->planes[0][0];
  EXPECT_GT(luma, 16) << "the red picture's luma";

  picture.reset();
  EXPECT_FALSE(decoders.ModuleLoaded()) << "no decoder or picture holds it";
  EXPECT_EQ(MappedNow().module, !kGone) << "the module stayed mapped after its last picture went";
  EXPECT_EQ(MappedNow().avcodec, !kGone) << "FFmpeg stayed mapped after the movie";
  if (kGone && SystemPagesOut()) {
    // The libraries that cannot be unloaded kept about 6 MB of such pages
    // before they were paged out.
    EXPECT_LT(PrivateCleanKbOfFilesNotIn(filesBefore), 512u) << "kB the movie's libraries still hold";
  }

  // A second movie loads it again and plays the same.
  auto again = decoders.Open(movie, reason);
  ASSERT_NE(again, nullptr) << reason;
  EXPECT_TRUE(again->hasVideo());
}

TEST_F(MovieModuleTest, APreparedModuleServesTheNextMovieOnlyAndUnprepareLetsItGo) {
  const std::string movie = MakeTwoPictureMovie();
  FfmpegMovieDecoderFactory decoders;
  EXPECT_TRUE(decoders.OpenLoads());
  decoders.Prepare();
  EXPECT_FALSE(decoders.OpenLoads()) << "prepared: the next movie opens without loading";
  EXPECT_TRUE(decoders.ModuleLoaded()) << "waits for the worker, then holds what it loaded";
  EXPECT_TRUE(MappedNow().module);
  decoders.Unprepare();
  EXPECT_EQ(MappedNow().module, !kGone) << "a preparation no movie used is given up";
  EXPECT_TRUE(decoders.OpenLoads()) << "nothing holds the module any more";

  decoders.Prepare();
  std::string reason;
  auto decoder = decoders.Open(movie, reason);
  ASSERT_NE(decoder, nullptr) << reason;
  EXPECT_TRUE(decoder->hasVideo());
  decoders.Unprepare();  // the open movie keeps its module
  EXPECT_TRUE(MappedNow().module);
  decoder.reset();
  EXPECT_EQ(MappedNow().module, !kGone) << "the prepared module outlived the movie it served";

  // A preparation that fails leaves Open to try, and fail, the same way.
  FfmpegMovieDecoderFactory none(std::vector<std::string>{});
  none.Prepare();
  EXPECT_EQ(none.Open(movie, reason), nullptr);
  EXPECT_EQ(reason, "the movie module is missing");
}

TEST_F(MovieModuleTest, AMissingOrBrokenModuleRefusesMoviesWithItsReason) {
  const std::string movie = MakeTwoPictureMovie();
  const std::string notALibrary = (dir.path() / "broken.so").string();
  std::ofstream(notALibrary) << "not a shared object";
  const std::string missing = (dir.path() / "missing.so").string();

  struct Case {
    const char* name;
    std::vector<std::string> paths;
    const char* reasonHolds;
  };
  const Case cases[] = {
      {"no paths", {}, "missing"},
      {"missing file", {missing}, "missing"},
      {"not a library", {notALibrary}, "broken.so"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FfmpegMovieDecoderFactory decoders(c.paths);
    std::string reason;
    EXPECT_EQ(decoders.Open(movie, reason), nullptr);
    EXPECT_NE(reason.find(c.reasonHolds), std::string::npos) << reason;
    EXPECT_FALSE(decoders.Available());
    if (kGone) {
      EXPECT_FALSE(MappedNow().avcodec);
    }
  }
}

TEST_F(MovieModuleTest, LaterPathsAreTriedWhenEarlierOnesFail) {
  const std::string movie = MakeTwoPictureMovie();
  // The real module's path, learnt from where the default factory loads it.
  std::string real;
  {
    FfmpegMovieDecoderFactory decoders;
    std::string reason;
    auto decoder = decoders.Open(movie, reason);
    ASSERT_NE(decoder, nullptr) << reason;
    real = MappedNow().modulePath;
  }
  ASSERT_FALSE(real.empty());
  const std::string notALibrary = (dir.path() / "broken.so").string();
  std::ofstream(notALibrary) << "not a shared object";

  FfmpegMovieDecoderFactory decoders({(dir.path() / "missing.so").string(), notALibrary, real});
  EXPECT_TRUE(decoders.Available());
  std::string reason;
  auto decoder = decoders.Open(movie, reason);
  ASSERT_NE(decoder, nullptr) << reason;
  EXPECT_EQ(reason, "");
  // A file the module cannot play is refused by the module, with FFmpeg's
  // reason, and the module goes again.
  decoder.reset();
  const std::string text = (dir.path() / "text.avi").string();
  std::ofstream(text) << "this is no movie";
  EXPECT_EQ(decoders.Open(text, reason), nullptr);
  EXPECT_FALSE(reason.empty());
  EXPECT_EQ(MappedNow().module, !kGone);

  // Whether movies play is known once a movie has loaded the module: asking
  // again loads nothing, so it holds even when the module has gone since.
  const std::string copy = (dir.path() / "copy.so").string();
  std::filesystem::copy_file(real, copy);
  {
    FfmpegMovieDecoderFactory fromCopy({copy});
    ASSERT_NE(fromCopy.Open(movie, reason), nullptr) << reason;
    std::filesystem::remove(copy);
    EXPECT_TRUE(fromCopy.Available());
  }
  FfmpegMovieDecoderFactory neverLoaded({copy});
  EXPECT_FALSE(neverLoaded.Available());
}

}  // namespace
}  // namespace lyraban
