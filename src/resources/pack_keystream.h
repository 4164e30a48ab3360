#pragma once
#include <array>
#include <cstddef>

#include "base/types.h"

namespace lyraban {

// Seed of the name keystream; entry data uses this plus the entry's scramble code.
inline constexpr u32 kPackBaseSeed = 0x6D21;

// The byte keystream that scrambles archive names and entry data. Scrambling
// and unscrambling are the same operation. One state is consumed strictly in
// byte order, so a reader that reads an entry in pieces keeps one state.
class PackKeystream {
 public:
  static constexpr size_t kTableSize = 624;

  explicit PackKeystream(u32 seed = kPackBaseSeed) { Seed(seed); }

  void Seed(u32 seed);
  u8 Next(u8 byte);
  void Apply(u8* data, size_t length);
  void Apply(char* data, size_t length) { Apply(reinterpret_cast<u8*>(data), length); }

 private:
  std::array<u32, kTableSize> table_;
  u32 index_ = 0;
};

}  // namespace lyraban
