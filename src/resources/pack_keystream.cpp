#include "resources/pack_keystream.h"

namespace lyraban {

void PackKeystream::Seed(u32 seed) {
  u32 value = seed;
  for (u32& slot : table_) {
    value *= 69069u;
    slot = value;
  }
  index_ = 0;
}

u8 PackKeystream::Next(u8 byte) {
  // Refilling from the last word keeps the table one continuous run of the sequence.
  if (index_ >= kTableSize) Seed(table_[kTableSize - 1]);
  u32 y = table_[index_++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x5C2E9B17u;
  y ^= (y << 15) & 0x2A6D4F39u;
  y ^= y >> 18;
  return static_cast<u8>(byte ^ (y & 0xFFu));
}

void PackKeystream::Apply(u8* data, size_t length) {
  for (size_t i = 0; i < length; ++i) data[i] = Next(data[i]);
}

}  // namespace lyraban
