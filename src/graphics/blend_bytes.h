#pragma once
#include <cstddef>

#include "base/types.h"
#include "graphics/blend.h"

namespace lyraban {

// The ways a blend runs over the bytes of equal-format pictures, reachable
// one by one so each can be checked and timed against the others.
enum class BlendPath { Scalar, Sse2 };

// Blends `size` bytes of `src` into `dst` byte by byte (grey onto grey,
// colour onto colour) with `opacity` 1..255 (255: the plain formula). False
// for modes without a formula or a path this processor lacks.
bool BlendBytesWith(BlendPath path, BlendMode mode, u8* dst, const u8* src, std::size_t size, int opacity);

}  // namespace lyraban
