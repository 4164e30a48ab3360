#pragma once
#include <array>
#include <span>
#include <string_view>

#include "base/types.h"
#include "graphics/surface.h"

namespace lyraban {

// Anime programs: straight-line register code in ".img" files that positions
// overlay pictures as closed-form functions of the time since the layer's
// timer base. Every composition reruns the whole program from cleared
// registers, so a frame depends on the clock alone.

enum class AnimeOpcode : u8 {
  None = 0,
  Assign = 1,
  Draw = 2,
  Clip = 3,
  Add = 4,
  Sub = 5,
  Mul = 6,
  Div = 7,
  Mod = 8,
  Max = 9,
  Min = 10,
  Range = 11,
  Move = 12,
  Sin = 13,
  Rain = 14,
  Hotaru = 15,
};

struct AnimeOperand {
  bool isRegister = false;
  i32 value = 0;  // register number, or the constant itself
  friend bool operator==(const AnimeOperand&, const AnimeOperand&) = default;
};

struct AnimeCommand {
  AnimeOpcode opcode = AnimeOpcode::None;
  // Letter of the register written; 0 when none was given (selects register 0).
  char target = 0;
  std::array<AnimeOperand, 4> operands{};
};

// Register 26 has no letter; it exists but no program line can name it.
class AnimeRegisters {
 public:
  static constexpr int kCount = 27;

  void Clear() { values_.fill(0); }
  // Register numbers outside 0..26 read as 0.
  i32 Get(int index) const { return index >= 0 && index < kCount ? values_[index] : 0; }
  void Set(int index, i32 value) {
    if (index >= 0 && index < kCount) values_[index] = value;
  }
  i32 Read(const AnimeOperand& operand) const { return operand.isRegister ? Get(operand.value) : operand.value; }

 private:
  std::array<i32, kCount> values_{};
};

// Register number of a target byte: 0 for none, 0..25 for a letter in either
// case, -1 (ignored on write) for anything else.
int AnimeTargetRegister(char target);

// Reads an operand token: one letter is a register, anything else a decimal
// integer with an optional sign (no digits: 0; out of range: clamped).
AnimeOperand ParseAnimeOperand(std::string_view token);

// The leading decimal integer of `text` (optional sign; no digits gives 0),
// clamped to the i32 range.
i32 ParseDecimal(std::string_view text);

// `word` is the command word before the colon, `arguments` everything after
// it. Unknown words give opcode None. A "clip" without operands covers the
// screen, hence the screen size.
AnimeCommand ParseAnimeCommand(std::string_view word, std::string_view arguments, int screenWidth, int screenHeight);

// Runs one command. `slots` are the pictures "draw" picks from (the layer's
// overlay pictures); `t` is the elapsed time in milliseconds.
void RunAnimeCommand(const AnimeCommand& command, AnimeRegisters& registers, Surface& destination,
                     std::span<const ImageSurface* const> slots, double t, int layerX, int layerY);

}  // namespace lyraban
