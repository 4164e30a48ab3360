#include "screen_size.h"

#include <algorithm>
#include <cmath>

namespace lyraban::gamegen {

namespace {

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

Rgba Premultiplied(const Rgba& c) { return {c.r * c.a, c.g * c.a, c.b * c.a, c.a}; }

}  // namespace

Canvas Resample(const Canvas& source, int width, int height) {
  Canvas out(std::max(width, 1), std::max(height, 1));
  const float sx = static_cast<float>(source.width()) / out.width();
  const float sy = static_cast<float>(source.height()) / out.height();
  for (int y = 0; y < out.height(); ++y) {
    const float fy = std::clamp((y + 0.5f) * sy - 0.5f, 0.0f, static_cast<float>(source.height() - 1));
    const int y0 = static_cast<int>(fy);
    const int y1 = std::min(y0 + 1, source.height() - 1);
    const float ty = fy - y0;
    for (int x = 0; x < out.width(); ++x) {
      const float fx = std::clamp((x + 0.5f) * sx - 0.5f, 0.0f, static_cast<float>(source.width() - 1));
      const int x0 = static_cast<int>(fx);
      const int x1 = std::min(x0 + 1, source.width() - 1);
      const float tx = fx - x0;
      const Rgba top = Mix(Premultiplied(source.At(x0, y0)), Premultiplied(source.At(x1, y0)), tx);
      const Rgba bottom = Mix(Premultiplied(source.At(x0, y1)), Premultiplied(source.At(x1, y1)), tx);
      Rgba c = Mix(top, bottom, ty);
      if (c.a > 0) c = {c.r / c.a, c.g / c.a, c.b / c.a, c.a};
      out.Set(x, y, c);
    }
  }
  return out;
}

Canvas ForScreen(const std::string& relative, const Canvas& canvas, int width, int height) {
  if (width == kDesignWidth && height == kDesignHeight) return canvas;
  const std::string name = relative.substr(relative.rfind('/') + 1);
  // Interface screens drawn full size (title menu, map, save and flow
  // screens) keep their layout, like every other interface picture.
  const bool scene = StartsWith(name, "bg_") || StartsWith(name, "ov_") || StartsWith(name, "rule_") ||
                     name == "black" || name == "sys_splash.png";
  const bool interface = name == "bg_title.png" || name == "bg_map.png";
  if (scene && !interface && canvas.width() == kDesignWidth && canvas.height() == kDesignHeight)
    return Resample(canvas, width, height);
  if (StartsWith(name, "chr_")) {
    const float scale = static_cast<float>(height) / kDesignHeight;
    return Resample(canvas, static_cast<int>(std::lround(canvas.width() * scale)),
                    static_cast<int>(std::lround(canvas.height() * scale)));
  }
  return canvas;
}

}  // namespace lyraban::gamegen
