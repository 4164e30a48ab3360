#include "core/frame_stats.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_game.h"

namespace lyraban {
namespace {

using testing::Play;
using testing::Played;
using testing::TestGame;

struct StatsLine {
  u32 clockMs = 0;
  double cpuMs = -1;
};

// Every line must be "<clock ms> <processor ms>"; a malformed one fails.
std::vector<StatsLine> ReadStats(const std::filesystem::path& file) {
  std::vector<StatsLine> lines;
  std::ifstream in(file);
  std::string text;
  while (std::getline(in, text)) {
    std::istringstream fields(text);
    StatsLine line;
    std::string rest;
    const bool parsed = static_cast<bool>(fields >> line.clockMs >> line.cpuMs) && !(fields >> rest);
    EXPECT_TRUE(parsed) << "malformed frame statistics line: '" << text << "'";
    lines.push_back(line);
  }
  return lines;
}

// A scene that draws, fades and waits, so that both changed and unchanged
// frames are presented.
TEST(FrameStats, HeadlessRunWritesOneLinePerPresentedFrameAndChangesNothing) {
  TestGame game;
  game.dir.Write("data/img/red.png", testing::SolidPng(64, 48, 200, 10, 10));
  game.Script(".img 1 red.png\r\n.wait 300\r\n.img 1\r\n.wait 200\r\n?runs = runs + 1\r\n.QUIT\r\n");

  Played plain(game, {}, 2000);

  Play measured(game, {}, 2000);
  FrameStats stats((game.dir.path() / "frames.txt").string());
  ASSERT_TRUE(stats.ok());
  measured.Run([&](Engine& engine) { engine.RecordFrameStats(stats); });
  // Written beside its name until closed.
  EXPECT_FALSE(std::filesystem::exists(game.dir.path() / "frames.txt"));
  stats.Close();

  const std::vector<StatsLine> lines = ReadStats(game.dir.path() / "frames.txt");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.size(), measured.platform.framesPresented());
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_GE(lines[i].cpuMs, 0.0) << "frame " << i;
    if (i > 0) {
      EXPECT_LT(lines[i - 1].clockMs, lines[i].clockMs) << "frame " << i << " is not later than the one before";
    }
  }
  EXPECT_LE(lines.back().clockMs, measured.platform.clock().Now());

  // Measuring changes neither the frames, nor the trace, nor the timing.
  EXPECT_EQ(measured.platform.framesPresented(), plain.platform.framesPresented());
  EXPECT_EQ(measured.platform.clock().Now(), plain.platform.clock().Now());
  EXPECT_EQ(measured.trace, plain.trace);
  ASSERT_FALSE(plain.LastFrame().pixels.empty());
  EXPECT_TRUE(measured.LastFrame() == plain.LastFrame()) << "the last frame differs when frame statistics are written";
}

TEST(FrameStats, ProcessorTimeIsTheMainThreadsSinceThePreviousFrame) {
  testing::TempDir dir;
  const auto file = dir.path() / "cpu.txt";
  {
    FrameStats stats(file.string());
    ASSERT_TRUE(stats.ok());
    stats.FramePresented(16);
    // Burn at least 5 ms of this thread's processor time; sleeping would not count.
    const u64 start = ThreadCpuNanoseconds();
    volatile u64 sink = 0;
    while (ThreadCpuNanoseconds() - start < 5'000'000u) sink = sink + 1;
    stats.FramePresented(32);
    stats.FramePresented(48);
  }  // closing on destruction puts the file in place
  const std::vector<StatsLine> lines = ReadStats(file);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ((std::array{lines[0].clockMs, lines[1].clockMs, lines[2].clockMs}), (std::array<u32, 3>{16, 32, 48}));
  EXPECT_GE(lines[1].cpuMs, 5.0);
  EXPECT_LT(lines[2].cpuMs, 5.0);  // the busy loop counts for its own frame only
}

TEST(FrameStats, UnwritableFileWritesNothing) {
  testing::TempDir dir;
  FrameStats stats((dir.path() / "no" / "such" / "folder" / "f.txt").string());
  EXPECT_FALSE(stats.ok());
  stats.FramePresented(16);
  stats.Close();
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "no"));
}

}  // namespace
}  // namespace lyraban
