#include "graphics/anime.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace lyraban {
namespace {

// Runs "word: arguments" lines in order on fresh registers at time t.
AnimeRegisters RunProgram(const std::vector<std::pair<std::string, std::string>>& lines, double t = 0) {
  AnimeRegisters registers;
  Surface screen;
  for (const auto& [word, arguments] : lines)
    RunAnimeCommand(ParseAnimeCommand(word, arguments, 800, 600), registers, screen, {}, t, 0, 0);
  return registers;
}

constexpr int X = 'x' - 'a';
constexpr int Y = 'y' - 'a';

TEST(AnimeParse, CommandWordsTargetsAndOperands) {
  AnimeCommand assign = ParseAnimeCommand("X", "-12", 800, 600);
  EXPECT_EQ(assign.opcode, AnimeOpcode::Assign);
  EXPECT_EQ(AnimeTargetRegister(assign.target), X);
  EXPECT_EQ(assign.operands[0], (AnimeOperand{false, -12}));

  AnimeCommand add = ParseAnimeCommand("ADD.y", "x 3 Q extra", 800, 600);
  EXPECT_EQ(add.opcode, AnimeOpcode::Add);
  EXPECT_EQ(AnimeTargetRegister(add.target), Y);
  EXPECT_EQ(add.operands[0], (AnimeOperand{true, X}));
  EXPECT_EQ(add.operands[1], (AnimeOperand{false, 3}));
  EXPECT_EQ(add.operands[2], (AnimeOperand{true, 'q' - 'a'}));
  EXPECT_EQ(add.operands[3], AnimeOperand{}) << "only three operands are kept outside clip";

  EXPECT_EQ(ParseAnimeCommand("clip", "1 2 3 4", 800, 600).operands[3], (AnimeOperand{false, 4}));
  const AnimeCommand bareClip = ParseAnimeCommand("clip", "", 640, 480);
  EXPECT_EQ(bareClip.operands[2].value, 640);
  EXPECT_EQ(bareClip.operands[3].value, 480);

  EXPECT_EQ(ParseAnimeCommand("jump", "1", 800, 600).opcode, AnimeOpcode::None);
  EXPECT_EQ(ParseAnimeCommand("7", "1", 800, 600).opcode, AnimeOpcode::None);
  EXPECT_EQ(ParseAnimeCommand("rain", "1 2 3", 800, 600).opcode, AnimeOpcode::Rain);
  EXPECT_EQ(ParseAnimeCommand("Hotaru.b", "", 800, 600).opcode, AnimeOpcode::Hotaru);
}

TEST(AnimeParse, NumbersAreForgivingAndBounded) {
  EXPECT_EQ(ParseAnimeOperand("abc"), (AnimeOperand{false, 0}));
  EXPECT_EQ(ParseAnimeOperand("12px"), (AnimeOperand{false, 12}));
  EXPECT_EQ(ParseAnimeOperand("99999999999999999999"), (AnimeOperand{false, INT_MAX}));
  EXPECT_EQ(ParseAnimeOperand("-99999999999999999999"), (AnimeOperand{false, INT_MIN}));
  EXPECT_EQ(ParseAnimeOperand("-"), (AnimeOperand{false, 0}));
  EXPECT_EQ(AnimeTargetRegister('1'), -1);
  EXPECT_EQ(AnimeTargetRegister('Z'), 25);
}

TEST(AnimeRun, ArithmeticOpcodes) {
  EXPECT_EQ(RunProgram({{"x", "5"}, {"add.y", "x 3"}}).Get(Y), 8);
  EXPECT_EQ(RunProgram({{"x", "9"}, {"div.x", "7 0"}}).Get(X), 9) << "division by zero keeps the target";
  EXPECT_EQ(RunProgram({{"x", "9"}, {"mod.x", "7 0"}}).Get(X), 9);
  EXPECT_EQ(RunProgram({{"div.x", "-7 2"}}).Get(X), -3);
  EXPECT_EQ(RunProgram({{"mod.x", "-7 2"}}).Get(X), -1);
  EXPECT_EQ(RunProgram({{"sub.x", "3 10"}, {"mul.y", "x -4"}}).Get(Y), 28);
  EXPECT_EQ(RunProgram({{"x", "20"}, {"max.x", "10"}}).Get(X), 10);
  EXPECT_EQ(RunProgram({{"x", "5"}, {"max.x", "10"}}).Get(X), 5);
  EXPECT_EQ(RunProgram({{"x", "5"}, {"min.x", "10"}}).Get(X), 10);
  EXPECT_EQ(RunProgram({{"x", "-50"}, {"range.x", "0 100"}}).Get(X), 0);
  EXPECT_EQ(RunProgram({{"x", "150"}, {"range.x", "0 100"}}).Get(X), 100);
  EXPECT_EQ(RunProgram({{"x", "42"}, {"range.x", "0 100"}}).Get(X), 42);
  // Without a target letter the result lands in register a.
  const AnimeRegisters noTarget = RunProgram({{"add", "2 2"}});
  EXPECT_EQ(noTarget.Get(0), 4);
  // Out-of-range arithmetic wraps like 32-bit integers instead of trapping.
  EXPECT_EQ(RunProgram({{"x", "2147483647"}, {"add.x", "x 1"}}).Get(X), INT_MIN);
  EXPECT_EQ(RunProgram({{"x", "-2147483648"}, {"div.x", "x -1"}}).Get(X), INT_MIN);
  EXPECT_EQ(RunProgram({{"x", "-2147483648"}, {"mod.x", "x -1"}}).Get(X), 0);
  // Non-letter targets are ignored rather than written somewhere.
  EXPECT_EQ(RunProgram({{"add.1", "2 2"}}).Get(0), 0);
}

TEST(AnimeRun, TimeFunctions) {
  EXPECT_EQ(RunProgram({{"move.x", "100 0"}}, 2500).Get(X), 250);
  EXPECT_EQ(RunProgram({{"move.x", "0 100"}}, 1000).Get(X), 50);
  EXPECT_EQ(RunProgram({{"x", "7"}, {"move.x", "-100 0"}}, 2500).Get(X), 7 - 250) << "move adds to what is there";
  EXPECT_EQ(RunProgram({{"move.x", "100 0"}}, 2509).Get(X), 250) << "truncated towards zero";
  EXPECT_EQ(RunProgram({{"move.x", "-100 0"}}, 2509).Get(X), -250);
  EXPECT_EQ(RunProgram({{"sin.x", "60 10 250"}}, 0).Get(X), 10);
  EXPECT_EQ(RunProgram({{"sin.x", "60 10 250"}}, 500).Get(X), -10);
  EXPECT_EQ(RunProgram({{"x", "100"}, {"sin.x", "60 10 0"}}, 250).Get(X), 110);
  // A program mixing them: a wrapping scroll.
  EXPECT_EQ(RunProgram({{"x", "0"}, {"move.x", "300 0"}, {"mod.x", "x 800"}}, 10000).Get(X), 600);
  // Absurd speeds saturate instead of being undefined.
  EXPECT_EQ(RunProgram({{"move.x", "2147483647 2147483647"}}, 4e9).Get(X), INT_MAX);
  // Parsed-only commands change nothing.
  EXPECT_EQ(RunProgram({{"x", "3"}, {"clip.x", "1 2 3 4"}, {"rain.x", "1 2 3"}, {"hotaru.x", "1 2 3"}}).Get(X), 3);
}

TEST(AnimeRun, DrawPlacesSlotsRelativeToTheLayer) {
  Surface screen;
  ASSERT_TRUE(screen.Create(3, 6, 4));
  std::memset(screen.pixels(), 0, screen.ByteSize());
  ImageSurface dot;
  ASSERT_TRUE(dot.Create(3, 1, 1));
  dot.pixels()[0] = 10, dot.pixels()[1] = 20, dot.pixels()[2] = 30;
  std::vector<const ImageSurface*> slots(10, nullptr);
  slots[3] = &dot;

  AnimeRegisters registers;
  RunAnimeCommand(ParseAnimeCommand("x", "2", 6, 4), registers, screen, slots, 0, 0, 0);
  RunAnimeCommand(ParseAnimeCommand("draw", "3 x 1", 6, 4), registers, screen, slots, 0, 1, 2);
  // (2 + 1, 1 + 2)
  const u8* p = screen.Row(3) + 3 * 3;
  EXPECT_EQ(p[0], 10);
  EXPECT_EQ(p[1], 20);
  EXPECT_EQ(p[2], 30);

  const std::vector<u8> before(screen.pixels(), screen.pixels() + screen.ByteSize());
  RunAnimeCommand(ParseAnimeCommand("draw", "12 0 0", 6, 4), registers, screen, slots, 0, 0, 0);
  RunAnimeCommand(ParseAnimeCommand("draw", "-1 0 0", 6, 4), registers, screen, slots, 0, 0, 0);
  RunAnimeCommand(ParseAnimeCommand("draw", "0 0 0", 6, 4), registers, screen, slots, 0, 0, 0);
  RunAnimeCommand(ParseAnimeCommand("draw", "3 2147483647 0", 6, 4), registers, screen, slots, 0, 2147483647, 0);
  EXPECT_EQ(std::vector<u8>(screen.pixels(), screen.pixels() + screen.ByteSize()), before);
}

}  // namespace
}  // namespace lyraban
