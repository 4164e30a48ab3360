#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "graphics/surface.h"

namespace lyraban {

// Decodes an 8-bit, non-interlaced, non-palette PNG held in memory. The
// surface gets one byte per channel: grey; alpha, grey; blue, green, red; or
// alpha, blue, green, red. Files that end early decode to their rows so far
// (the rest zero) and succeed; a failure after the header leaves the surface
// created with the rows decoded so far. A header that declares more rows
// than its compressed data could ever inflate to is refused before anything
// is allocated. On failure `why` (when given) may say what was wrong.
bool DecodePng(std::string_view bytes, Surface& target, std::string* why = nullptr);

// Reads a whole resource file; the engine binds it to its resource lookup.
using ResourceReader = std::function<bool(std::string_view folder, std::string_view name, std::string& bytes)>;

class Resources;

// Reads through the engine's resource lookup (archives first, then loose
// files). The Resources object must outlive the reader.
ResourceReader ResourceReaderFor(Resources& resources);

// Gives a picture decoded ahead of need: true when `pixels` now holds the
// complete picture `name`, as decoding it would have made it.
using TakeDecodedFn = std::function<bool(std::string_view name, Surface& pixels)>;

// Decodes "img"/name.
bool LoadPng(const ResourceReader& reader, std::string_view name, Surface& target, std::string* why = nullptr);

// The cached named load: a name the surface already holds returns true
// without reading. The name is kept even when decoding fails.
bool LoadImage(const ResourceReader& reader, ImageSurface& image, std::string_view name, std::string* why = nullptr);

// Clears the mask (creating it 1-byte at screen size when it has no pixels)
// and draws the named image centred into it as grey. A picture `take` gives
// is not decoded again.
bool LoadScreenMask(const ResourceReader& reader, Surface& mask, std::string_view name, int screenWidth,
                    int screenHeight, const TakeDecodedFn& take = {});

// Writes a 3- or 4-byte surface as an 8-bit RGB or RGBA PNG, whole to a
// temporary name and then renamed into place.
bool WritePng(const std::string& path, const Surface& surface);

// Encodes to memory (tests and screenshots); compression level 0..9.
bool EncodePng(const Surface& surface, std::string& out, int compressionLevel = 6);

}  // namespace lyraban
