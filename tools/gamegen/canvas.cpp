#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "graphics/png.h"

namespace lyraban::gamegen {

namespace {

float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

u8 ToByte(float v) { return static_cast<u8>(std::lround(Clamp01(v) * 255.0f)); }

}  // namespace

Rgba Mix(const Rgba& a, const Rgba& b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Rgba WithAlpha(Rgba c, float a) {
  c.a = a;
  return c;
}

Canvas::Canvas(int width, int height, Rgba fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), pixels_(static_cast<size_t>(width_) * height_, fill) {}

void Canvas::Blend(int x, int y, const Rgba& c, float coverage) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  const float sa = Clamp01(c.a * coverage);
  if (sa <= 0) return;
  Rgba& d = pixels_[static_cast<size_t>(y) * width_ + x];
  const float oa = sa + d.a * (1 - sa);
  if (oa <= 0) {
    d = {0, 0, 0, 0};
    return;
  }
  d.r = (c.r * sa + d.r * d.a * (1 - sa)) / oa;
  d.g = (c.g * sa + d.g * d.a * (1 - sa)) / oa;
  d.b = (c.b * sa + d.b * d.a * (1 - sa)) / oa;
  d.a = oa;
}

void Canvas::FillShape(int x0, int y0, int x1, int y1, const std::function<float(float, float)>& distance,
                       const std::function<Rgba(float, float)>& colour) {
  x0 = std::max(x0, 0), y0 = std::max(y0, 0);
  x1 = std::min(x1, width_), y1 = std::min(y1, height_);
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const float px = x + 0.5f, py = y + 0.5f;
      const float coverage = Clamp01(0.5f - distance(px, py));
      if (coverage > 0) Blend(x, y, colour(px, py), coverage);
    }
  }
}

void Canvas::FillShape(int x0, int y0, int x1, int y1, const std::function<float(float, float)>& distance,
                       const Rgba& c) {
  FillShape(x0, y0, x1, y1, distance, [&c](float, float) { return c; });
}

void Canvas::FillRect(int x0, int y0, int x1, int y1, const Rgba& c) {
  x0 = std::max(x0, 0), y0 = std::max(y0, 0);
  x1 = std::min(x1, width_), y1 = std::min(y1, height_);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) Blend(x, y, c, 1);
}

void Canvas::VerticalGradient(int x0, int y0, int x1, int y1, const Rgba& top, const Rgba& bottom) {
  const float span = static_cast<float>(std::max(y1 - y0 - 1, 1));
  for (int y = std::max(y0, 0); y < std::min(y1, height_); ++y) {
    const Rgba c = Mix(top, bottom, (y - y0) / span);
    for (int x = std::max(x0, 0); x < std::min(x1, width_); ++x) Blend(x, y, c, 1);
  }
}

float EllipseDistance(float px, float py, float cx, float cy, float rx, float ry) {
  // Scaled circle distance: exact for circles, close enough at the edge of
  // moderate ellipses for one-pixel antialiasing.
  const float dx = (px - cx) / rx, dy = (py - cy) / ry;
  const float k = std::sqrt(dx * dx + dy * dy);
  return (k - 1) * std::min(rx, ry);
}

float SegmentDistance(float px, float py, float x0, float y0, float x1, float y1) {
  const float vx = x1 - x0, vy = y1 - y0;
  const float len2 = vx * vx + vy * vy;
  float t = len2 > 0 ? ((px - x0) * vx + (py - y0) * vy) / len2 : 0;
  t = Clamp01(t);
  const float dx = px - (x0 + vx * t), dy = py - (y0 + vy * t);
  return std::sqrt(dx * dx + dy * dy);
}

float RoundRectDistance(float px, float py, float x0, float y0, float x1, float y1, float radius) {
  const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  const float hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
  const float qx = std::abs(px - cx) - hx, qy = std::abs(py - cy) - hy;
  const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

void Canvas::FillEllipse(float cx, float cy, float rx, float ry, const Rgba& c) {
  FillShape(
      static_cast<int>(cx - rx - 2), static_cast<int>(cy - ry - 2), static_cast<int>(cx + rx + 3),
      static_cast<int>(cy + ry + 3), [=](float x, float y) { return EllipseDistance(x, y, cx, cy, rx, ry); }, c);
}

void Canvas::Ring(float cx, float cy, float inner, float outer, const Rgba& c) {
  const float mid = (inner + outer) / 2, half = (outer - inner) / 2;
  FillShape(
      static_cast<int>(cx - outer - 2), static_cast<int>(cy - outer - 2), static_cast<int>(cx + outer + 3),
      static_cast<int>(cy + outer + 3),
      [=](float x, float y) { return std::abs(std::hypot(x - cx, y - cy) - mid) - half; }, c);
}

void Canvas::Line(float x0, float y0, float x1, float y1, float thickness, const Rgba& c) {
  const float r = thickness / 2;
  FillShape(
      static_cast<int>(std::min(x0, x1) - r - 2), static_cast<int>(std::min(y0, y1) - r - 2),
      static_cast<int>(std::max(x0, x1) + r + 3), static_cast<int>(std::max(y0, y1) + r + 3),
      [=](float x, float y) { return SegmentDistance(x, y, x0, y0, x1, y1) - r; }, c);
}

void Canvas::RoundRect(float x0, float y0, float x1, float y1, float radius, const Rgba& c) {
  FillShape(
      static_cast<int>(x0 - 2), static_cast<int>(y0 - 2), static_cast<int>(x1 + 3), static_cast<int>(y1 + 3),
      [=](float x, float y) { return RoundRectDistance(x, y, x0, y0, x1, y1, radius); }, c);
}

void Canvas::Triangle(float ax, float ay, float bx, float by, float cx, float cy, const Rgba& c) {
  // Distance to the nearest edge line, negative inside, whatever the winding.
  const float area = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
  const float sign = area < 0 ? -1.0f : 1.0f;
  auto edge = [sign](float x, float y, float x0, float y0, float x1, float y1) {
    const float len = std::hypot(x1 - x0, y1 - y0);
    if (len <= 0) return 0.0f;
    return -sign * ((x1 - x0) * (y - y0) - (y1 - y0) * (x - x0)) / len;
  };
  FillShape(
      static_cast<int>(std::min({ax, bx, cx}) - 2), static_cast<int>(std::min({ay, by, cy}) - 2),
      static_cast<int>(std::max({ax, bx, cx}) + 3), static_cast<int>(std::max({ay, by, cy}) + 3),
      [=](float x, float y) {
        return std::max({edge(x, y, ax, ay, bx, by), edge(x, y, bx, by, cx, cy), edge(x, y, cx, cy, ax, ay)});
      },
      c);
}

void Canvas::Glow(float cx, float cy, float r, const Rgba& c) {
  const int x0 = std::max(static_cast<int>(cx - r), 0), x1 = std::min(static_cast<int>(cx + r) + 1, width_);
  const int y0 = std::max(static_cast<int>(cy - r), 0), y1 = std::min(static_cast<int>(cy + r) + 1, height_);
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / r;
      if (d < 1) Blend(x, y, c, (1 - d) * (1 - d));
    }
  }
}

void Canvas::Paste(const Canvas& src, int x, int y) {
  for (int sy = 0; sy < src.height(); ++sy)
    for (int sx = 0; sx < src.width(); ++sx) Blend(x + sx, y + sy, src.At(sx, sy), 1);
}

bool Canvas::ToSurface(Surface& surface, bool withAlpha) const {
  const int bpp = withAlpha ? 4 : 3;
  if (!surface.Create(bpp, width_, height_)) return false;
  for (int y = 0; y < height_; ++y) {
    u8* row = surface.Row(y);
    for (int x = 0; x < width_; ++x, row += bpp) {
      const Rgba& c = At(x, y);
      if (withAlpha) {
        row[0] = ToByte(c.a), row[1] = ToByte(c.b), row[2] = ToByte(c.g), row[3] = ToByte(c.r);
      } else {
        // An opaque picture shows transparent parts as black.
        row[0] = ToByte(c.b * c.a), row[1] = ToByte(c.g * c.a), row[2] = ToByte(c.r * c.a);
      }
    }
  }
  return true;
}

bool SavePicture(const Canvas& canvas, const std::string& path, bool withAlpha) {
  Surface surface;
  if (!canvas.ToSurface(surface, withAlpha)) return false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  return WritePng(path, surface);
}

}  // namespace lyraban::gamegen
