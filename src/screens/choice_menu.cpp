#include "screens/choice_menu.h"

#include <string>

namespace lyraban {

namespace {
constexpr u8 kChoiceContext = 1;
constexpr u8 kConfirm = 2;
constexpr u8 kSystemMode = 3;
constexpr i32 kItemFrames = 3;
constexpr const char* kItemImage = "sys_select_item.png";
}  // namespace

void ChoiceMenu::EmptyItems() {
  sets_.choiceGroup().Reset();
  sets_.ReleaseChoiceText();
  map_.Clear();
  mapMode_ = false;
  count_ = 0;
}

void ChoiceMenu::BeginChoices() {
  EmptyItems();
  sets_.ClearChoiceText();
}

void ChoiceMenu::AddChoice(i32 id, std::string_view text) {
  ButtonGroup& group = sets_.choiceGroup();
  if (group.size() >= ButtonGroup::kMaxButtons) {
    trace_.DebugTrace("選択肢が多すぎます（%d）", static_cast<int>(id));
    return;
  }
  const i32 index = count_++;
  group.AddButton(kItemFrames, id, kItemImage, kItemX, kItemTop + kItemPitch * index);

  // An AddChoice without BeginChoices still gets an overlay to draw on.
  if (!sets_.choiceText().HasPixels() && !sets_.ClearChoiceText()) return;
  // Labels are centred by byte count; anything past the overlay is clipped,
  // so a huge length only needs to stay clear of overflow.
  const i64 bytes = text.size() > 100000 ? 100000 : static_cast<i64>(text.size());
  const i32 x = static_cast<i32>((ButtonSets::kChoiceTextWidth - kTextHalfWidth * bytes) >> 1);
  host_.DrawChoiceText(sets_.choiceText(), x, kTextTop + kItemPitch * index, text);
}

bool ChoiceMenu::PrepareMap(std::string_view name) {
  EmptyItems();
  std::string bytes;
  if (!reader_ || !reader_("map", name, bytes)) return false;
  map_.Parse(bytes, name, trace_);
  mapMode_ = true;
  return true;
}

void ChoiceMenu::AddMapPlace(i32 id, std::string_view icon, std::string_view place, bool enabled) {
  const MapIcon* i = map_.FindIcon(icon);
  const MapPlace* p = map_.FindPlace(place);
  if (i == nullptr || p == nullptr) return;
  ButtonGroup& group = sets_.choiceGroup();
  if (group.size() >= ButtonGroup::kMaxButtons) {
    trace_.DebugTrace("選択肢が多すぎます（%d）", static_cast<int>(id));
    return;
  }
  if (p->label.empty())
    group.AddButton(i->frames, id, i->image, p->x, p->y);
  else
    group.AddButtonWithOverlay(i->frames, id, i->image, p->x, p->y, p->label, p->labelX, p->labelY);
  group.EnableById(id, enabled);
  ++count_;
}

i32 ChoiceMenu::Finish(i32 result, bool skipWasOn) {
  EmptyItems();
  sets_.SetMode(ButtonMode::Hidden);
  host_.ClearInput();
  if (skipWasOn && !host_.StopSkipAfterChoice()) host_.SetSkipMode();
  return result;
}

i32 ChoiceMenu::RunChoice() {
  const bool skipWasOn = host_.IsSkipping();
  const bool systemMode = host_.ScriptMode() == kSystemMode;
  if (!systemMode) host_.SetMessageMode(0);
  const ButtonMode shown = systemMode ? ButtonMode::ChoiceNoBar : ButtonMode::Choice;
  sets_.SetMode(shown);
  host_.ClearInput();

  for (;;) {
    if (!host_.PumpInput(kChoiceContext, true)) return Finish(0, skipWasOn);
    host_.UpdateScreen();
    if (!mapMode_) host_.DrawMessageWindow();
    sets_.Draw(host_.ScreenSurface(), host_.MousePointer(), host_.IsSkipping() || host_.IsAutoMode());
    host_.PresentScreen();

    const u8 command = host_.PendingCommand();
    if (command == 0) continue;
    const Pointer pointer = host_.MousePointer();
    if (command == kConfirm) {
      i32 id = host_.PendingButton();
      // A confirm key carries no button: take the item under the pointer.
      if (id < 1) id = sets_.choiceGroup().HoveredId(pointer.x, pointer.y);
      if (id > 0) return Finish(id, skipWasOn);
    }

    u8 next = command;
    NavigateResult moved = sets_.choiceGroup().Navigate(next, pointer.x, pointer.y);
    if (moved.warp) host_.WarpMouse(moved.x, moved.y);
    next = moved.command;
    if (sets_.saveLoadShown()) {
      moved = sets_.saveLoadGroup().Navigate(next, pointer.x, pointer.y);
      if (moved.warp) host_.WarpMouse(moved.x, moved.y);
      next = moved.command;
    }
    if (next != command) host_.SetPendingCommand(next, host_.PendingButton());

    if (host_.HandleSystemCommand(kChoiceContext)) return Finish(0, skipWasOn);
    host_.ClearInput();
    sets_.SetMode(shown);
  }
}

}  // namespace lyraban
