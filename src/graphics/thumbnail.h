#pragma once
#include "base/types.h"
#include "graphics/surface.h"

namespace lyraban {

// The save thumbnail: `screen` (3 bytes per pixel) scaled into width × height
// with a one-pixel white frame, written as width × height × 3 bytes, rows top
// to bottom without padding. A screen without pixels gives a black picture in
// the frame.
void MakeThumbnail(const Surface& screen, int width, int height, u8* out);

}  // namespace lyraban
