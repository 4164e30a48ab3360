// The window icons are drawn here rather than shipped as image files: the
// program needs no file beside it to look right, and the boss key's
// disguise must work even without the game's data.
#include <algorithm>

#include "platform/sdl/sdl_popup.h"

namespace lyraban::platform {

namespace {

constexpr u32 kClear = 0x00000000;

class Canvas {
 public:
  explicit Canvas(int size) : size_(size), pixels_(static_cast<size_t>(size) * static_cast<size_t>(size), kClear) {}

  // A rectangle in 1/32 units of the icon, so both icons scale alike.
  void Fill(int x0, int y0, int x1, int y1, u32 colour) {
    const int ax = Scale(x0), ay = Scale(y0), bx = Scale(x1), by = Scale(y1);
    for (int y = std::max(ay, 0); y < std::min(by, size_); ++y)
      for (int x = std::max(ax, 0); x < std::min(bx, size_); ++x) pixels_[Index(x, y)] = colour;
  }
  // A ring or disc around (cx, cy), radii in 1/32 units.
  void Ring(int cx, int cy, int outer, int inner, u32 colour) {
    for (int y = 0; y < size_; ++y) {
      for (int x = 0; x < size_; ++x) {
        // Distances in 1/32 units, measured at pixel centres.
        const double dx = (x + 0.5) * 32.0 / size_ - cx, dy = (y + 0.5) * 32.0 / size_ - cy;
        const double d2 = dx * dx + dy * dy;
        if (d2 <= outer * outer && d2 >= inner * inner) pixels_[Index(x, y)] = colour;
      }
    }
  }
  std::vector<u32> Take() { return std::move(pixels_); }

 private:
  int Scale(int v) const { return v * size_ / 32; }
  size_t Index(int x, int y) const {
    return static_cast<size_t>(y) * static_cast<size_t>(size_) + static_cast<size_t>(x);
  }

  int size_;
  std::vector<u32> pixels_;
};

// A page of a plain text editor: white paper, a blue title strip, lines of
// grey text.
std::vector<u32> DrawTextEditorIcon(int size) {
  Canvas c(size);
  c.Fill(4, 2, 28, 30, 0xFF404040);  // outline
  c.Fill(5, 3, 27, 29, 0xFFFFFFFF);  // paper
  c.Fill(5, 3, 27, 8, 0xFF3A6EA5);   // title strip
  for (int y = 11; y <= 25; y += 3) c.Fill(8, y, y % 2 ? 24 : 20, y + 1, 0xFF808080);
  return c.Take();
}

// The game's own: a lyre's round body on a deep violet tile.
std::vector<u32> DrawMainIcon(int size) {
  Canvas c(size);
  c.Fill(1, 1, 31, 31, 0xFF3B2466);
  c.Ring(16, 19, 10, 7, 0xFFF2C94C);
  c.Fill(9, 5, 11, 17, 0xFFF2C94C);  // arms
  c.Fill(21, 5, 23, 17, 0xFFF2C94C);
  c.Fill(9, 5, 23, 7, 0xFFF2C94C);                                        // crossbar
  for (int x = 13; x <= 19; x += 3) c.Fill(x, 7, x + 1, 25, 0xFFE8E0F0);  // strings
  return c.Take();
}

}  // namespace

std::vector<u32> DrawWindowIcon(WindowIcon icon, int size) {
  if (size <= 0 || size > 1024) return {};
  return icon == WindowIcon::TextEditor ? DrawTextEditorIcon(size) : DrawMainIcon(size);
}

}  // namespace lyraban::platform
