#pragma once
#include <functional>
#include <string>
#include <vector>

#include "graphics/surface.h"

namespace lyraban::gamegen {

// Straight (not premultiplied) colour, every channel 0..1.
struct Rgba {
  float r = 0, g = 0, b = 0, a = 1;
};

Rgba Mix(const Rgba& a, const Rgba& b, float t);
Rgba WithAlpha(Rgba c, float a);

// A float picture the generator paints on: shapes are given as signed
// distance functions so every edge is antialiased the same way.
class Canvas {
 public:
  Canvas(int width, int height, Rgba fill = {0, 0, 0, 0});

  int width() const { return width_; }
  int height() const { return height_; }
  const Rgba& At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  void Set(int x, int y, const Rgba& c) { pixels_[static_cast<size_t>(y) * width_ + x] = c; }

  // Lays c over the pixel with the given coverage (0..1).
  void Blend(int x, int y, const Rgba& c, float coverage);

  // Paints every pixel of the box whose centre lies inside the shape;
  // distance(x, y) is negative inside, in pixels.
  void FillShape(int x0, int y0, int x1, int y1, const std::function<float(float, float)>& distance,
                 const std::function<Rgba(float, float)>& colour);
  void FillShape(int x0, int y0, int x1, int y1, const std::function<float(float, float)>& distance, const Rgba& c);

  void FillRect(int x0, int y0, int x1, int y1, const Rgba& c);
  void VerticalGradient(int x0, int y0, int x1, int y1, const Rgba& top, const Rgba& bottom);
  void FillEllipse(float cx, float cy, float rx, float ry, const Rgba& c);
  void FillCircle(float cx, float cy, float r, const Rgba& c) { FillEllipse(cx, cy, r, r, c); }
  void Ring(float cx, float cy, float inner, float outer, const Rgba& c);
  void Line(float x0, float y0, float x1, float y1, float thickness, const Rgba& c);
  void RoundRect(float x0, float y0, float x1, float y1, float radius, const Rgba& c);
  void Triangle(float ax, float ay, float bx, float by, float cx, float cy, const Rgba& c);
  // Soft radial glow: full colour at the centre fading to nothing at r.
  void Glow(float cx, float cy, float r, const Rgba& c);

  // Lays another canvas over this one with its top-left at (x, y).
  void Paste(const Canvas& src, int x, int y);

  // 3 bytes (opaque) or 4 bytes (with alpha) in the engine's byte order.
  bool ToSurface(Surface& surface, bool withAlpha) const;

 private:
  int width_;
  int height_;
  std::vector<Rgba> pixels_;
};

// Signed distances used by the shape helpers (negative inside).
float EllipseDistance(float px, float py, float cx, float cy, float rx, float ry);
float SegmentDistance(float px, float py, float x0, float y0, float x1, float y1);
float RoundRectDistance(float px, float py, float x0, float y0, float x1, float y1, float radius);

// Writes the canvas as PNG below root (creating folders); false on failure.
bool SavePicture(const Canvas& canvas, const std::string& path, bool withAlpha);

}  // namespace lyraban::gamegen
