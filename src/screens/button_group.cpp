#include "screens/button_group.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "base/strings.h"

namespace lyraban {

namespace {
constexpr i64 kFarAway = i64{1} << 30;
i32 ClampToI32(i64 v) { return v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : static_cast<i32>(v)); }
}  // namespace

void ButtonGroup::Reset() {
  buttons_.clear();
  images_.clear();
  pressedId_ = 0;
}

std::shared_ptr<const Surface> ButtonGroup::LoadShared(std::string_view name) {
  for (const auto& [cached, image] : images_)
    if (EqualsNoCase(cached, name)) return image;
  auto image = std::make_shared<Surface>();
  if (!LoadPng(reader_, name, *image)) image->Release();
  std::shared_ptr<const Surface> shared = std::move(image);
  images_.emplace_back(std::string(name), shared);
  return shared;
}

bool ButtonGroup::AddButton(i32 frames, i32 id, std::string_view image, i32 x, i32 y) {
  if (buttons_.size() >= kMaxButtons) return false;
  Button b;
  b.id = id;
  b.x = x;
  b.y = y;
  b.frames = frames < 1 ? 1 : frames;
  b.image = LoadShared(image);
  const bool loaded = b.image->HasPixels();
  buttons_.push_back(std::move(b));
  return loaded;
}

bool ButtonGroup::AddPictureButton(i32 id, std::shared_ptr<const Surface> picture, i32 x, i32 y) {
  if (buttons_.size() >= kMaxButtons || !picture) return false;
  Button b;
  b.id = id;
  b.x = x;
  b.y = y;
  b.image = std::move(picture);
  buttons_.push_back(std::move(b));
  return true;
}

bool ButtonGroup::AddButtonWithOverlay(i32 frames, i32 id, std::string_view image, i32 x, i32 y,
                                       std::string_view overlay, i32 overlayX, i32 overlayY) {
  if (buttons_.size() >= kMaxButtons) return false;
  const bool loaded = AddButton(frames, id, image, x, y);
  Button& b = buttons_.back();
  if (!overlay.empty()) {
    auto picture = LoadShared(overlay);
    if (picture->HasPixels()) b.overlay = std::move(picture);
  }
  b.overlayX = overlayX;
  b.overlayY = overlayY;
  return loaded;
}

void ButtonGroup::DisableAll() {
  for (Button& b : buttons_) b.disabled = true;
}

void ButtonGroup::EnableById(i32 id, bool on) {
  for (Button& b : buttons_)
    if (b.id == id) b.disabled = !on;
}

void ButtonGroup::MarkScroll(i32 id) {
  for (Button& b : buttons_)
    if (b.id == id) b.scroll = true;
}

bool ButtonGroup::Contains(const Button& b, i32 x, i32 y) const {
  const i32 h = b.frameHeight();
  if (h <= 0) return false;
  const i64 lx = i64{x} - b.x, ly = i64{y} - b.y;
  if (lx < 0 || ly < 0 || lx >= b.width() || ly >= h) return false;
  return IsOpaqueAt(*b.image, static_cast<int>(lx), static_cast<int>(ly + i64{b.shownFrame} * h));
}

i32 ButtonGroup::HoveredIndex(i32 x, i32 y) const {
  for (std::size_t i = 0; i < buttons_.size(); ++i)
    if (!buttons_[i].disabled && Contains(buttons_[i], x, y)) return static_cast<i32>(i);
  return -1;
}

i32 ButtonGroup::HoveredId(i32 x, i32 y) const {
  const i32 index = HoveredIndex(x, y);
  return index < 0 ? -1 : buttons_[static_cast<std::size_t>(index)].id;
}

i32 ButtonGroup::ClickedId(i32 x, i32 y) const {
  const i32 hovered = HoveredId(x, y);
  return hovered == pressedId_ ? hovered : -1;
}

void ButtonGroup::Draw(Surface& dst, i32 hoveredId, bool leftDown) {
  for (std::size_t i = buttons_.size(); i-- > 0;) {
    Button& b = buttons_[i];
    const bool hovered = !b.disabled && b.id == hoveredId;
    i32 frame = 0;
    if (b.disabled)
      frame = b.frames >= 4 ? 3 : 0;
    else if (hovered)
      frame = leftDown ? 2 : 1;
    if (frame > b.frames - 1) frame = b.frames - 1;
    b.shownFrame = frame;
    const i32 h = b.frameHeight();
    if (h > 0) Blit(dst, *b.image, b.x, b.y, b.width(), h, 0, frame * h);
    if (hovered && b.overlay) BlitAll(dst, *b.overlay, b.overlayX, b.overlayY);
  }
}

NavigateResult ButtonGroup::Navigate(u8 command, i32 mouseX, i32 mouseY) const {
  NavigateResult result;
  result.command = command;
  if (command < 5 || command > 8) return result;

  const i32 hovered = HoveredIndex(mouseX, mouseY);
  i64 refX = mouseX, refY = mouseY;
  if (hovered >= 0) {
    refX = buttons_[static_cast<std::size_t>(hovered)].centerX();
    refY = buttons_[static_cast<std::size_t>(hovered)].centerY();
  }
  const bool horizontal = command == 5 || command == 6;

  i32 winner = -1;
  i64 bestKey = 0, bestTie = 0;
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    const Button& b = buttons_[i];
    if (b.disabled || static_cast<i32>(i) == hovered) continue;
    if (hovered < 0 && b.scroll) continue;
    const i64 cx = b.centerX(), cy = b.centerY();
    const bool ahead = (command == 5 && cx < refX) || (command == 6 && cx > refX) || (command == 7 && cy < refY) ||
                       (command == 8 && cy > refY);
    if (!ahead) continue;
    const i64 dx = std::llabs(refX - cx), dy = std::llabs(refY - cy);
    // Along the key's own axis distance counts half, so a button straight
    // ahead beats a closer one off to the side.
    const i64 key = horizontal ? dy + dx / 2 : dx + dy / 2;
    const i64 tie = horizontal ? dx + dy / 2 : dy + dx / 2;
    // Later buttons win full ties.
    if (winner < 0 || key < bestKey || (key == bestKey && tie <= bestTie)) {
      winner = static_cast<i32>(i);
      bestKey = key;
      bestTie = tie;
    }
  }
  if (winner < 0) {
    i64 bestDistance = 0;
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
      const Button& b = buttons_[i];
      if (b.disabled || b.scroll) continue;
      // Places far off the screen are clamped so their squares cannot overflow;
      // among sensible places the order is unchanged.
      const i64 dx = std::clamp<i64>(refX - b.centerX(), -kFarAway, kFarAway);
      const i64 dy = std::clamp<i64>(refY - b.centerY(), -kFarAway, kFarAway);
      const i64 distance = dx * dx + dy * dy;
      if (winner < 0 || distance <= bestDistance) {
        winner = static_cast<i32>(i);
        bestDistance = distance;
      }
    }
  }
  if (winner < 0) return result;

  const Button& target = buttons_[static_cast<std::size_t>(winner)];
  if (hovered >= 0 && target.scroll) {
    if (command == 8) result.command = 10;
    if (command == 7) result.command = 9;
    return result;
  }
  result.warp = true;
  result.x = ClampToI32(target.centerX());
  result.y = ClampToI32(target.centerY());
  return result;
}

}  // namespace lyraban
