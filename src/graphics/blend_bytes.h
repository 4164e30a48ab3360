#pragma once
#include <cstddef>

#include "base/types.h"
#include "graphics/blend.h"
#include "graphics/pixel_rows.h"

namespace lyraban {

// Blends `size` bytes of `src` into `dst` byte by byte (grey onto grey,
// colour onto colour) with `opacity` 1..255 (255: the plain formula). False
// for modes without a formula or a path this processor lacks.
bool BlendBytesWith(PixelPath path, BlendMode mode, u8* dst, const u8* src, std::size_t size, int opacity);

// Moves every byte of `dst` towards `src` by `opacity` (1..254): a plain
// picture drawn with an opacity.
void LerpBytes(u8* dst, const u8* src, std::size_t size, int opacity);

}  // namespace lyraban
