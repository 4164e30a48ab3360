#pragma once
#include <cstdint>

namespace lyraban {

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i8 = std::int8_t;
using i16 = std::int16_t;
using i32 = std::int32_t;
using i64 = std::int64_t;

// Milliseconds between two readings of the 32-bit millisecond clock. A start
// above the current value means the counter wrapped; the result then counts
// up to 0xFFFFFFFF and on from zero, as every timed wait in the engine does.
inline u32 ElapsedMs(u32 start, u32 now) {
  return start > now ? (0xFFFFFFFFu - start) + now : now - start;
}

}  // namespace lyraban
