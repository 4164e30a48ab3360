#pragma once
#include <string>

#include "canvas.h"

namespace lyraban::gamegen {

// The sample game is drawn for 800 × 600. For a larger screen the scene
// pictures (backgrounds, overlays, wipe rules, the splash) are resampled to
// fill it and the characters grow with its height; the interface pictures
// keep their size, as the interface screens keep their 800 × 600 layout.
inline constexpr int kDesignWidth = 800;
inline constexpr int kDesignHeight = 600;

// Bilinear resampling with premultiplied alpha (so transparent pixels do
// not bleed their colour into the edges); pixel centres map onto each other.
Canvas Resample(const Canvas& source, int width, int height);

// The picture `relative` (a path below the archive folder, such as
// "img/bg_sea.png") as it is drawn for a screen of width × height.
Canvas ForScreen(const std::string& relative, const Canvas& canvas, int width, int height);

}  // namespace lyraban::gamegen
