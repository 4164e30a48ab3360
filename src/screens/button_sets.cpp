#include "screens/button_sets.h"

#include <cstring>

namespace lyraban {

namespace {
constexpr i32 kWaitingCommands[] = {16, 15, 12, 20, 21, 22};
constexpr i32 kChoiceCommands[] = {12, 20, 21, 22};
}  // namespace

bool ButtonSets::CreateBar() {
  bar_.Reset();
  return bar_.AddButton(3, kBarConfigCommand, "sys_box_config.png", 548, 572);
}

bool ButtonSets::ClearChoiceText() {
  if (!choiceText_.Create(4, kChoiceTextWidth, kChoiceTextHeight)) return false;
  std::memset(choiceText_.pixels(), 0, choiceText_.ByteSize());
  return true;
}

void ButtonSets::SetMode(ButtonMode mode) {
  mode_ = mode;
  if (mode == ButtonMode::Waiting) {
    bar_.DisableAll();
    for (i32 id : kWaitingCommands) bar_.EnableById(id, true);
  } else if (mode == ButtonMode::Choice) {
    bar_.DisableAll();
    for (i32 id : kChoiceCommands) bar_.EnableById(id, true);
  }
}

ButtonSets::Hover ButtonSets::HoverAt(i32 x, i32 y, bool barAllowed) const {
  Hover hover;
  if (barShown() && barAllowed && BarArea(x, y)) hover.bar = bar_.HoveredId(x, y);
  if (hover.bar == -1 && choiceShown()) hover.choice = choice_.HoveredId(x, y);
  if (hover.bar == -1 && hover.choice == -1 && saveLoadShown_) hover.saveLoad = saveLoad_.HoveredId(x, y);
  return hover;
}

void ButtonSets::Draw(Surface& screen, const Pointer& pointer, bool skipOrAuto) {
  const Hover hover = HoverAt(pointer.x, pointer.y, !skipOrAuto);
  if (saveLoadShown_) saveLoad_.Draw(screen, hover.saveLoad, pointer.leftDown);
  if (choiceShown()) {
    choice_.Draw(screen, hover.choice, pointer.leftDown);
    if (!choice_.empty() && choiceText_.HasPixels()) BlitAll(screen, choiceText_, kChoiceTextX, kChoiceTextY);
  }
  if (barShown() && !skipOrAuto && BarArea(pointer.x, pointer.y)) bar_.Draw(screen, hover.bar, pointer.leftDown);
}

bool ButtonSets::OnLeftButtonDown(i32 x, i32 y, bool runModeNormal) {
  // Every shown group records what lies under this press (-1 for nothing),
  // so a release can only click the button the same press started on.
  Hover hover;
  if (runModeNormal) hover = HoverAt(x, y, true);
  if (barShown()) bar_.PressId(hover.bar);
  if (choiceShown()) choice_.PressId(hover.choice);
  if (saveLoadShown_) saveLoad_.PressId(hover.saveLoad);
  return hover.bar != -1 || hover.choice != -1 || hover.saveLoad != -1;
}

ButtonRelease ButtonSets::OnLeftButtonUp(i32 x, i32 y) {
  const Hover hover = HoverAt(x, y, true);
  ButtonRelease release;
  if (hover.bar != -1 && hover.bar == bar_.pressedId()) {
    release.command = static_cast<u8>(hover.bar);
  } else if (hover.choice != -1 && hover.choice == choice_.pressedId()) {
    release.command = 2;
    release.button = hover.choice;
  } else if (hover.saveLoad != -1 && hover.saveLoad == saveLoad_.pressedId()) {
    release.command = 2;
    release.button = hover.saveLoad;
  }
  return release;
}

}  // namespace lyraban
