#include "graphics/anime.h"

#include <climits>

#include "surface_helpers.h"

namespace lyraban {
namespace {

using Program = std::vector<std::pair<std::string, std::string>>;

constexpr int X = 'x' - 'a', Y = 'y' - 'a';

TEST(AnimeParse, CommandWordsTargetsAndOperands) {
  AnimeCommand add = ParseAnimeCommand("add.y", "x 3 Q extra", 800, 600);
  const AnimeOperand operands[4] = {{true, X}, {false, 3}, {true, 'q' - 'a'}, {}};  // three kept outside clip
  for (int i = 0; i < 4; ++i) EXPECT_EQ(add.operands[i], operands[i]) << i;

  EXPECT_EQ(ParseAnimeCommand("clip", "1 2 3 4", 800, 600).operands[3], (AnimeOperand{false, 4}));
  const AnimeCommand bareClip = ParseAnimeCommand("clip", "", 640, 480);
  EXPECT_EQ(std::pair(bareClip.operands[2].value, bareClip.operands[3].value), std::pair(640, 480));
  for (auto [word, opcode] : {std::pair{"jump", AnimeOpcode::None},
                              {"7", AnimeOpcode::None},
                              {"Hotaru.b", AnimeOpcode::Hotaru},
                              {"rain", AnimeOpcode::Rain}})
    EXPECT_EQ(ParseAnimeCommand(word, "1", 800, 600).opcode, opcode) << word;

  for (auto [text, value] : {std::pair{"abc", 0},
                             {"12px", 12},
                             {"99999999999999999999", INT_MAX},
                             {"-99999999999999999999", INT_MIN},
                             {"-", 0}})
    EXPECT_EQ(ParseAnimeOperand(text), (AnimeOperand{false, value})) << text;
  EXPECT_EQ(AnimeTargetRegister('1'), -1);
}

// Each program runs its "word: arguments" lines on fresh registers at time t.
TEST(AnimeRun, Opcodes) {
  const struct {
    Program program;
    double t;
    int reg, want;
  } cases[] = {
      {{{"X", "5"}, {"ADD.y", "x 3"}}, 0, Y, 8},  // words and letters in either case
      {{{"x", "9"}, {"div.x", "7 0"}}, 0, X, 9},  // division by zero keeps the target
      {{{"div.x", "-7 2"}}, 0, X, -3},
      {{{"sub.x", "3 10"}, {"mul.y", "x -4"}}, 0, Y, 28},
      {{{"x", "20"}, {"max.x", "10"}}, 0, X, 10},  // "max" is an upper bound
      {{{"x", "-50"}, {"range.x", "0 100"}}, 0, X, 0},
      {{{"add", "2 2"}}, 0, 0, 4},    // no target letter: register a
      {{{"add.1", "2 2"}}, 0, 0, 0},  // a non-letter target is written nowhere
      // 32-bit arithmetic wraps instead of trapping.
      {{{"x", "2147483647"}, {"add.x", "x 1"}}, 0, X, INT_MIN},
      {{{"x", "-2147483648"}, {"div.x", "x -1"}}, 0, X, INT_MIN},
      {{{"x", "-2147483648"}, {"mod.x", "x -1"}}, 0, X, 0},
      // move: speed and acceleration in units per second, added, truncated towards zero.
      {{{"move.x", "100 0"}}, 2509, X, 250},
      {{{"move.x", "2147483647 2147483647"}}, 4e9, X, INT_MAX},  // saturates
      // sin: cycles per minute, amplitude, phase in thousandths, added.
      {{{"sin.x", "60 10 250"}}, 500, X, -10},
      {{{"x", "100"}, {"sin.x", "60 10 0"}}, 250, X, 110},
      {{{"x", "3"}, {"clip.x", "1 2 3 4"}, {"rain.x", "1 2 3"}, {"hotaru.x", "1 2 3"}}, 0, X, 3},
  };
  for (const auto& c : cases) {
    AnimeRegisters registers;
    Surface screen;
    for (const auto& [word, arguments] : c.program)
      RunAnimeCommand(ParseAnimeCommand(word, arguments, 800, 600), registers, screen, {}, c.t, 0, 0);
    EXPECT_EQ(registers.Get(c.reg), c.want) << c.program.back().first << ": " << c.program.back().second;
  }
}

}  // namespace
}  // namespace lyraban
