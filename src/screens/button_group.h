#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"
#include "graphics/png.h"
#include "graphics/surface.h"

namespace lyraban {

// The mouse as the input pump last saw it, in client coordinates.
struct Pointer {
  i32 x = 0;
  i32 y = 0;
  bool leftDown = false;
};

// What an arrow key asks of a group: the command to act on afterwards (an
// arrow that would land on a list's scroll button turns into page up/down)
// and, when `warp` is set, where the mouse pointer should go.
struct NavigateResult {
  u8 command = 0;
  bool warp = false;
  i32 x = 0;
  i32 y = 0;
};

// A small retained set of image buttons. Each image holds `frames` equal
// pictures stacked vertically: 0 normal, 1 hovered, 2 hovered with the left
// button held, 3 disabled (only used when the image has four or more).
class ButtonGroup {
 public:
  static constexpr std::size_t kMaxButtons = 50;

  struct Button {
    bool disabled = false;
    i32 id = 0;
    bool scroll = false;
    std::shared_ptr<const Surface> image;  // may have no pixels
    i32 x = 0, y = 0;
    i32 frames = 1;
    std::shared_ptr<const Surface> overlay;  // null when the button has none
    i32 overlayX = 0, overlayY = 0;
    i32 shownFrame = 0;  // the frame drawn last; hit tests look at it

    i32 width() const { return image && image->HasPixels() ? image->width() : 0; }
    i32 frameHeight() const { return image && image->HasPixels() ? image->height() / frames : 0; }
    // In 64 bits: positions come from data files and may be extreme.
    i64 centerX() const { return i64{x} + width() / 2; }
    i64 centerY() const { return i64{y} + frameHeight() / 2; }
  };

  // Images are read from folder "img" through `reader`.
  explicit ButtonGroup(ResourceReader reader) : reader_(std::move(reader)) {}

  // Frees every image and button; the pressed id becomes 0, which no caller
  // uses as a button id.
  void Reset();

  // False when the group is full (nothing is added) or the image cannot be
  // loaded (the button is still added, but has no area, so it is never
  // hovered or drawn). Frame counts below 1 count as 1.
  bool AddButton(i32 frames, i32 id, std::string_view image, i32 x, i32 y);
  // The overlay is drawn while the button is hovered. A missing overlay
  // image only loses the overlay.
  bool AddButtonWithOverlay(i32 frames, i32 id, std::string_view image, i32 x, i32 y, std::string_view overlay,
                            i32 overlayX, i32 overlayY);

  // A one-frame button showing a picture the caller made (a save
  // thumbnail). False when the group is full.
  bool AddPictureButton(i32 id, std::shared_ptr<const Surface> picture, i32 x, i32 y);

  void DisableAll();
  // Every button carrying the id.
  void EnableById(i32 id, bool on);
  void MarkScroll(i32 id);

  // Id of the first enabled button (in order of adding) whose frame area
  // holds the point at an opaque pixel of the frame it shows; -1 when none.
  i32 HoveredId(i32 x, i32 y) const;
  // Index of that button, or -1.
  i32 HoveredIndex(i32 x, i32 y) const;

  // Left button down: remember what is under the pointer.
  void Press(i32 x, i32 y) { pressedId_ = HoveredId(x, y); }
  void PressId(i32 id) { pressedId_ = id; }
  i32 pressedId() const { return pressedId_; }
  // Left button up: the hovered id when it is the one pressed, else -1.
  i32 ClickedId(i32 x, i32 y) const;

  // Draws from the last button to the first; buttons with `hoveredId` show
  // their hover (or held) frame and then their overlay.
  void Draw(Surface& dst, i32 hoveredId, bool leftDown);

  // Arrow commands 5..8 pick the nearest button in that direction from the
  // hovered button's centre (or from the pointer); other commands come back
  // unchanged with no warp.
  NavigateResult Navigate(u8 command, i32 mouseX, i32 mouseY) const;

  std::size_t size() const { return buttons_.size(); }
  bool empty() const { return buttons_.empty(); }
  const Button& button(std::size_t index) const { return buttons_[index]; }

 private:
  std::shared_ptr<const Surface> LoadShared(std::string_view name);
  bool Contains(const Button& b, i32 x, i32 y) const;

  ResourceReader reader_;
  std::vector<Button> buttons_;
  // Decoded images by name, so repeated buttons decode their picture once.
  std::vector<std::pair<std::string, std::shared_ptr<const Surface>>> images_;
  i32 pressedId_ = 0;
};

}  // namespace lyraban
