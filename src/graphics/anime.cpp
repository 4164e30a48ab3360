#include "graphics/anime.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "base/strings.h"
#include "resources/text_lines.h"

namespace lyraban {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Programs are 32-bit arithmetic that wraps rather than traps.
i32 Wrap(i64 value) { return static_cast<i32>(static_cast<u32>(static_cast<u64>(value))); }

// Double to i32 towards zero; values a program could never mean (out of
// range, not a number) saturate instead of being undefined.
i32 TruncToI32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<i32>::max();
  if (value <= -2147483648.0) return std::numeric_limits<i32>::min();
  return static_cast<i32>(value);
}

// Positions far outside any surface behave the same as these bounds and keep
// the clipping arithmetic away from overflow.
int ClampPosition(i64 value) {
  constexpr i64 kLimit = i64{1} << 24;
  return static_cast<int>(std::clamp(value, -kLimit, kLimit));
}

struct Keyword {
  std::string_view word;
  AnimeOpcode opcode;
};

constexpr Keyword kKeywords[] = {
    {"draw", AnimeOpcode::Draw},   {"clip", AnimeOpcode::Clip},     {"add", AnimeOpcode::Add},
    {"sub", AnimeOpcode::Sub},     {"mul", AnimeOpcode::Mul},       {"div", AnimeOpcode::Div},
    {"mod", AnimeOpcode::Mod},     {"max", AnimeOpcode::Max},       {"min", AnimeOpcode::Min},
    {"range", AnimeOpcode::Range}, {"move", AnimeOpcode::Move},     {"sin", AnimeOpcode::Sin},
    {"rain", AnimeOpcode::Rain},   {"hotaru", AnimeOpcode::Hotaru},
};

}  // namespace

i32 ParseDecimal(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  i64 value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > (i64{1} << 32)) value = i64{1} << 32;  // saturate; clamped below
  }
  if (negative) value = -value;
  return static_cast<i32>(std::clamp<i64>(value, std::numeric_limits<i32>::min(), std::numeric_limits<i32>::max()));
}

int AnimeTargetRegister(char target) {
  if (target == 0) return 0;
  if (!IsAsciiLetter(target)) return -1;
  return AsciiLower(target) - 'a';
}

AnimeOperand ParseAnimeOperand(std::string_view token) {
  if (token.size() == 1 && IsAsciiLetter(token[0])) return {true, AsciiLower(token[0]) - 'a'};
  return {false, ParseDecimal(token)};
}

AnimeCommand ParseAnimeCommand(std::string_view word, std::string_view arguments, int screenWidth, int screenHeight) {
  AnimeCommand command;
  if (word.size() == 1) {
    if (IsAsciiLetter(word[0])) {
      command.opcode = AnimeOpcode::Assign;
      command.target = word[0];
    }
  } else {
    const size_t dot = word.find('.');
    const std::string_view keyword = word.substr(0, dot);
    for (const Keyword& k : kKeywords) {
      if (EqualsNoCase(keyword, k.word)) {
        command.opcode = k.opcode;
        break;
      }
    }
    if (dot != std::string_view::npos && dot + 1 < word.size()) command.target = word[dot + 1];
  }
  if (command.opcode == AnimeOpcode::None) return command;

  TokenList tokens;
  SplitTokens(tokens, arguments);
  const size_t used = command.opcode == AnimeOpcode::Clip ? 4 : 3;
  if (command.opcode == AnimeOpcode::Clip && tokens.Count() == 0) {
    command.operands[2] = {false, screenWidth};
    command.operands[3] = {false, screenHeight};
    return command;
  }
  for (size_t i = 0; i < used && i < tokens.Count(); ++i) command.operands[i] = ParseAnimeOperand(tokens[i]);
  return command;
}

void RunAnimeCommand(const AnimeCommand& command, AnimeRegisters& registers, Surface& destination,
                     std::span<const ImageSurface* const> slots, double t, int layerX, int layerY) {
  const int target = AnimeTargetRegister(command.target);
  const i64 r = registers.Get(target);
  const i64 o1 = registers.Read(command.operands[0]);
  const i64 o2 = registers.Read(command.operands[1]);
  const i64 o3 = registers.Read(command.operands[2]);
  auto write = [&](i64 value) { registers.Set(target, Wrap(value)); };

  switch (command.opcode) {
    case AnimeOpcode::Assign:
      write(o1);
      break;
    case AnimeOpcode::Draw:
      if (o1 >= 0 && o1 < static_cast<i64>(slots.size()) && slots[o1] != nullptr && slots[o1]->HasPixels())
        BlitAll(destination, *slots[o1], ClampPosition(o2 + layerX), ClampPosition(o3 + layerY));
      break;
    case AnimeOpcode::Add:
      write(o1 + o2);
      break;
    case AnimeOpcode::Sub:
      write(o1 - o2);
      break;
    case AnimeOpcode::Mul:
      write(o1 * o2);
      break;
    case AnimeOpcode::Div:
      if (o2 != 0) write(o1 / o2);
      break;
    case AnimeOpcode::Mod:
      if (o2 != 0) write(o1 % o2);
      break;
    case AnimeOpcode::Max:
      write(std::min(r, o1));
      break;
    case AnimeOpcode::Min:
      write(std::max(r, o1));
      break;
    case AnimeOpcode::Range:
      write(std::max(std::min(r, o2), o1));
      break;
    case AnimeOpcode::Move: {
      const double d1 = static_cast<double>(o1), d2 = static_cast<double>(o2);
      write(r + TruncToI32((d1 * t + d2 * 0.001 * t * t * 0.5) * 0.001));
      break;
    }
    case AnimeOpcode::Sin: {
      const double cycles = static_cast<double>(o1) * t / 60000 + static_cast<double>(o3) * 0.001;
      write(r + TruncToI32(std::sin(2 * std::numbers::pi * cycles) * static_cast<double>(o2)));
      break;
    }
    case AnimeOpcode::None:
    case AnimeOpcode::Clip:
    case AnimeOpcode::Rain:
    case AnimeOpcode::Hotaru:
      break;
  }
}

}  // namespace lyraban
