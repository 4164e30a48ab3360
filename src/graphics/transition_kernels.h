#pragma once
#include <cstddef>

#include "base/types.h"

namespace lyraban {

// The cross-fade's instruction-set paths, reachable one by one so that each
// can be checked against the others on any machine.
enum class CrossFadePath { Scalar, Sse2, Avx2, Avx512 };

// dst = (new·a + old·b) >> 8 over every byte of `size`, with a + b ≤ 256;
// false when this processor lacks the path.
bool WeighWith(CrossFadePath path, u8* dst, const u8* newer, const u8* older, std::size_t size, unsigned a, unsigned b);

}  // namespace lyraban
