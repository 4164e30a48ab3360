#include "screens/save_load_screen.h"

#include <cstdio>

namespace lyraban {

namespace {

constexpr u8 kMenuContext = 2;
constexpr u8 kClick = 1, kButton = 2, kCancel = 3, kLeft = 5, kDown = 8, kRawRightButton = 30;
// The protection mark, a double-byte character of the game's code page.
constexpr char kProtectionMark[] = "\x81\xC9";

bool Inside(i32 x, i32 y, i32 left, i32 top, i32 right, i32 bottom) {
  return x >= left && x <= right && y >= top && y <= bottom;
}

}  // namespace

std::string SaveLoadScreen::Image(std::string_view role) const {
  return std::string(saveMode_ ? "sys_save_" : "sys_load_") + std::string(role) + ".png";
}

bool SaveLoadScreen::RunSaveLoadScreen(bool saveMode) {
  saveMode_ = saveMode;
  Open();
  bool loaded = false;
  bool done = false;
  while (!done) {
    if (rebuild_) BuildButtons();
    DrawPanel();
    host_.ClearInput();
    u8 command = 0;
    for (;;) {
      if (!host_.PumpInput(kMenuContext, true)) {
        done = true;  // quitting: the same as back
        break;
      }
      DrawFrame();
      command = host_.PendingCommand();
      if (command != 0) break;
    }
    if (done) break;
    const i32 button = host_.PendingButton();
    host_.ClearInput();
    done = Handle(command, button, loaded);
  }
  Close(loaded);
  return loaded;
}

void SaveLoadScreen::Open() {
  Surface& screen = host_.ScreenSurface();
  gameScreen_.Release();
  if (screen.HasPixels() && gameScreen_.Create(screen.bytesPerPixel(), screen.width(), screen.height()))
    CopyScreen(gameScreen_, screen);
  LoadPng(reader_, Image("base"), background_);
  LoadPng(reader_, Image("empty"), empty_);
  LoadPng(reader_, Image("cursor"), cursor_);
  LoadPng(reader_, "sys_save_quick.png", quickMark_);
  if (background_.HasPixels()) BlitAll(screen, background_, 0, 0);
  if (empty_.HasPixels())
    for (int slot = 0; slot < kCells; ++slot) BlitAll(screen, empty_, CellX(slot), CellY(slot));
  if (snapshot_.Create(screen.bytesPerPixel(), screen.width(), screen.height())) CopyScreen(snapshot_, screen);
  host_.PresentScreen();
  selected_ = -1;
  rebuild_ = true;
  headerValid_ = false;
  panel_.Create(4, kPanelWidth, kPanelHeight);
  sets_.ShowSaveLoad(true);
}

void SaveLoadScreen::Close(bool loaded) {
  sets_.ShowSaveLoad(false);
  sets_.saveLoadGroup().Reset();
  // A loaded game has drawn its own scene already.
  Surface& screen = host_.ScreenSurface();
  if (!loaded && gameScreen_.HasPixels()) CopyScreen(screen, gameScreen_);
  for (Surface* s : {&gameScreen_, &snapshot_, &panel_, &empty_, &cursor_, &quickMark_, &background_}) s->Release();
}

void SaveLoadScreen::BuildButtons() {
  ButtonGroup& group = sets_.saveLoadGroup();
  group.Reset();
  for (int slot = 0; slot < kCells; ++slot) {
    SlotHeader header;
    if (slots_.InspectSlot(slot, header)) {
      auto picture = std::make_shared<Surface>();
      if (picture->Create(3, kThumbnailWidth, kThumbnailHeight)) {
        const u8* from = header.thumbnail();
        for (int y = 0; y < kThumbnailHeight; ++y, from += kThumbnailWidth * 3)
          std::copy(from, from + kThumbnailWidth * 3, picture->Row(y));
      }
      group.AddPictureButton(slot, std::move(picture), CellX(slot), CellY(slot));
    } else if (saveMode_) {
      group.AddButton(1, slot, Image("empty"), CellX(slot), CellY(slot));
    }
  }
  // The quick-save slot is for quick saves only.
  if (saveMode_) group.EnableById(kQuickSaveSlot, false);
  group.AddButton(3, kOkId, Image("ok"), 390, 542);
  group.AddButton(3, kDeleteId, Image("del"), 520, 542);
  group.AddButton(3, kBackId, Image("back"), 650, 542);
  rebuild_ = false;
}

void SaveLoadScreen::DrawPanel() {
  if (panel_.HasPixels()) std::fill(panel_.pixels(), panel_.pixels() + panel_.ByteSize(), u8{0});
  headerValid_ = selected_ >= 0 && slots_.ReadSlotHeader(selected_, header_);
  if (!headerValid_ || !panel_.HasPixels()) return;
  saveHost_.DrawPanelText(panel_, 0, 0, header_.dateText());
  saveHost_.DrawPanelText(panel_, 0, 33, header_.chapterText());
  saveHost_.DrawPanelText(panel_, 0, 66, header_.comment());
  if (header_.isProtected()) saveHost_.DrawPanelText(panel_, 0, 99, kProtectionMark);
  char deaths[16];
  std::snprintf(deaths, sizeof deaths, "%d", static_cast<int>(header_.deathCount()));
  saveHost_.DrawPanelText(panel_, 164, 99, deaths);
}

void SaveLoadScreen::DrawFrame() {
  Surface& screen = host_.ScreenSurface();
  if (snapshot_.HasPixels()) CopyScreen(screen, snapshot_);
  if (panel_.HasPixels()) BlitAll(screen, panel_, kPanelX, kPanelY);
  const Pointer pointer = host_.MousePointer();
  ButtonGroup& group = sets_.saveLoadGroup();
  group.Draw(screen, group.HoveredId(pointer.x, pointer.y), pointer.leftDown);
  if (quickMark_.HasPixels()) BlitAll(screen, quickMark_, CellX(0), CellY(0));
  if (selected_ >= 0 && cursor_.HasPixels()) BlitAll(screen, cursor_, CellX(selected_) - 2, CellY(selected_) - 2);
  host_.PresentScreen();
}

bool SaveLoadScreen::Handle(u8 command, i32 button, bool& loaded) {
  if (command == kCancel || command == kRawRightButton) return true;
  const Pointer pointer = host_.MousePointer();
  ButtonGroup& group = sets_.saveLoadGroup();
  // The keyboard: arrows move the pointer from button to button, Enter
  // presses the one under it.
  if (command >= kLeft && command <= kDown) {
    const NavigateResult moved = group.Navigate(command, pointer.x, pointer.y);
    if (moved.warp) host_.WarpMouse(moved.x, moved.y);
    return false;
  }
  if (command == kButton && button < 0) button = group.HoveredId(pointer.x, pointer.y);
  if (command == kButton) {
    if (button >= 0 && button < kCells) {
      selected_ = button;
      return false;
    }
    if (button == kBackId) return true;
    if (button == kOkId && selected_ >= 0) {
      if (!saveMode_) {
        loaded = saveHost_.LoadGame(selected_);
        return true;
      }
      SlotHeader header;
      const bool exists = slots_.ReadSlotHeader(selected_, header);
      if (selected_ != kQuickSaveSlot && !(exists && header.isProtected())) {
        slots_.SaveGame(selected_);
        rebuild_ = true;
      }
      return false;
    }
    if (button == kDeleteId && selected_ >= 0) {
      SlotHeader header;
      if (slots_.ReadSlotHeader(selected_, header) && !header.isProtected()) {
        slots_.DeleteSlot(selected_);
        rebuild_ = true;
        selected_ = -1;
      }
      return false;
    }
    return false;
  }
  if (command == kClick && selected_ >= 0) {
    const Pointer& p = pointer;
    SlotHeader header;
    if (!slots_.ReadSlotHeader(selected_, header)) return false;
    if (Inside(p.x, p.y, kCommentLeft, kCommentTop, kCommentRight, kCommentBottom)) {
      std::string text(header.comment());
      if (saveHost_.EditComment(text)) {
        header.setComment(text);
        slots_.WriteSlotHeader(selected_, header);
      }
    } else if (Inside(p.x, p.y, kProtectLeft, kProtectTop, kProtectRight, kProtectBottom)) {
      header.setProtected(!header.isProtected());
      slots_.WriteSlotHeader(selected_, header);
    }
  }
  return false;
}

}  // namespace lyraban
