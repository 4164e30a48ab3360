#include "graphics/anime.h"

#include <climits>

#include "surface_helpers.h"

namespace lyraban {
namespace {

using Program = std::vector<std::pair<std::string, std::string>>;

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
  const AnimeOperand operands[4] = {{true, X}, {false, 3}, {true, 'q' - 'a'}, {}};  // three kept outside clip
  for (int i = 0; i < 4; ++i) EXPECT_EQ(add.operands[i], operands[i]) << i;

  EXPECT_EQ(ParseAnimeCommand("clip", "1 2 3 4", 800, 600).operands[3], (AnimeOperand{false, 4}));
  const AnimeCommand bareClip = ParseAnimeCommand("clip", "", 640, 480);
  EXPECT_EQ(std::pair(bareClip.operands[2].value, bareClip.operands[3].value), std::pair(640, 480));
  EXPECT_EQ(ParseAnimeCommand("jump", "1", 800, 600).opcode, AnimeOpcode::None);
  EXPECT_EQ(ParseAnimeCommand("7", "1", 800, 600).opcode, AnimeOpcode::None);
  EXPECT_EQ(ParseAnimeCommand("Hotaru.b", "", 800, 600).opcode, AnimeOpcode::Hotaru);
  EXPECT_EQ(ParseAnimeCommand("rain", "1 2 3", 800, 600).opcode, AnimeOpcode::Rain);

  EXPECT_EQ(ParseAnimeOperand("abc"), (AnimeOperand{false, 0}));
  EXPECT_EQ(ParseAnimeOperand("12px"), (AnimeOperand{false, 12}));
  EXPECT_EQ(ParseAnimeOperand("99999999999999999999"), (AnimeOperand{false, INT_MAX}));
  EXPECT_EQ(ParseAnimeOperand("-99999999999999999999"), (AnimeOperand{false, INT_MIN}));
  EXPECT_EQ(ParseAnimeOperand("-"), (AnimeOperand{false, 0}));
  EXPECT_EQ(AnimeTargetRegister('1'), -1);
}

// Each program runs its "word: arguments" lines on fresh registers at time t.
TEST(AnimeRun, Opcodes) {
  struct Case {
    Program program;
    double t;
    int reg;
    i32 want;
  } cases[] = {
      {{{"x", "5"}, {"add.y", "x 3"}}, 0, Y, 8},
      {{{"x", "9"}, {"div.x", "7 0"}}, 0, X, 9},  // division by zero keeps the target
      {{{"x", "9"}, {"mod.x", "7 0"}}, 0, X, 9},
      {{{"div.x", "-7 2"}}, 0, X, -3},
      {{{"mod.x", "-7 2"}}, 0, X, -1},
      {{{"sub.x", "3 10"}, {"mul.y", "x -4"}}, 0, Y, 28},
      {{{"x", "20"}, {"max.x", "10"}}, 0, X, 10},  // "max" is an upper bound
      {{{"x", "5"}, {"min.x", "10"}}, 0, X, 10},
      {{{"x", "-50"}, {"range.x", "0 100"}}, 0, X, 0},
      {{{"x", "150"}, {"range.x", "0 100"}}, 0, X, 100},
      {{{"add", "2 2"}}, 0, 0, 4},    // no target letter: register a
      {{{"add.1", "2 2"}}, 0, 0, 0},  // a non-letter target is written nowhere
      // 32-bit arithmetic wraps instead of trapping.
      {{{"x", "2147483647"}, {"add.x", "x 1"}}, 0, X, INT_MIN},
      {{{"x", "-2147483648"}, {"div.x", "x -1"}}, 0, X, INT_MIN},
      {{{"x", "-2147483648"}, {"mod.x", "x -1"}}, 0, X, 0},
      // move: speed and acceleration in units per second, added, truncated towards zero.
      {{{"move.x", "100 0"}}, 2509, X, 250},
      {{{"move.x", "0 100"}}, 1000, X, 50},
      {{{"x", "7"}, {"move.x", "-100 0"}}, 2509, X, 7 - 250},
      {{{"move.x", "2147483647 2147483647"}}, 4e9, X, INT_MAX},  // saturates
      // sin: cycles per minute, amplitude, phase in thousandths, added.
      {{{"sin.x", "60 10 250"}}, 0, X, 10},
      {{{"sin.x", "60 10 250"}}, 500, X, -10},
      {{{"x", "100"}, {"sin.x", "60 10 0"}}, 250, X, 110},
      {{{"x", "3"}, {"clip.x", "1 2 3 4"}, {"rain.x", "1 2 3"}, {"hotaru.x", "1 2 3"}}, 0, X, 3},
  };
  for (const Case& c : cases) {
    AnimeRegisters registers;
    Surface screen;
    for (const auto& [word, arguments] : c.program)
      RunAnimeCommand(ParseAnimeCommand(word, arguments, 800, 600), registers, screen, {}, c.t, 0, 0);
    EXPECT_EQ(registers.Get(c.reg), c.want) << c.program.back().first << ": " << c.program.back().second;
  }
}

TEST(AnimeRun, DrawPlacesSlotsRelativeToTheLayer) {
  Surface screen = gfxtest::Make(3, 6, 4, {0, 0, 0});
  ImageSurface dot;
  ASSERT_TRUE(dot.Create(3, 1, 1));
  std::memcpy(dot.pixels(), "\x0a\x14\x1e", 3);
  std::vector<const ImageSurface*> slots(10, nullptr);
  slots[3] = &dot;
  AnimeRegisters registers;
  registers.Set(X, 2);
  // At (2 + 1, 1 + 2); bad or empty slots and positions far off the screen draw nothing.
  for (auto [arguments, layerX] :
       {std::pair{"3 x 1", 1}, {"12 0 0", 0}, {"-1 0 0", 0}, {"0 0 0", 0}, {"3 2147483647 0", 2147483647}})
    RunAnimeCommand(ParseAnimeCommand("draw", arguments, 6, 4), registers, screen, slots, 0, layerX, 2);
  gfxtest::Bytes expected(72, 0);
  std::memcpy(&expected[(3 * 6 + 3) * 3], dot.pixels(), 3);
  EXPECT_EQ(gfxtest::BytesOf(screen), expected);
}

}  // namespace
}  // namespace lyraban
