#include "screens/backlog.h"

#include <algorithm>
#include <cstring>

#include "persist/save_archive.h"
#include "text/text_pen.h"

namespace lyraban {

namespace {
constexpr u8 kCommandSelect = 2;
constexpr u8 kCommandCancel = 3;
constexpr u8 kCommandPageUp = 9;
constexpr u8 kCommandPageDown = 10;
constexpr u8 kScreenContext = 2;
}  // namespace

void BacklogStore::AddBacklogEntry(std::string_view name, std::string_view text) {
  BacklogEntry& slot = ring_[writeIndex_];
  writeIndex_ = (writeIndex_ + 1) % kSlots;
  slot.Name = name;
  slot.Text = text;
  slot.Voice = std::move(pendingVoice_);
  pendingVoice_.clear();
}

const BacklogEntry& BacklogStore::GetBacklogEntry(u32 age) const {
  return ring_[(writeIndex_ + kSlots - age % kSlots) % kSlots];
}

void BacklogStore::Clear() {
  ring_ = {};
  writeIndex_ = 0;
  pageMark_ = 0;
  pendingVoice_.clear();
}

void BacklogStore::SerializeBacklog(SaveArchive& section) {
  u32 mark = pageMark_;
  if (section.Exchange("LastLogPos", mark) && !section.IsWriting()) {
    // A damaged mark must still name a slot.
    pageMark_ = mark % kSlots;
    writeIndex_ = pageMark_;
  }
  for (u32 i = 0; i < kSlots; ++i) {
    const std::string number = std::to_string(i);
    section.ExchangeString("Text" + number, ring_[i].Text);
    section.ExchangeString("Name" + number, ring_[i].Name);
    section.ExchangeString("Voice" + number, ring_[i].Voice);
  }
}

i32 BacklogScreen::PositionForHandleY(i32 y) { return std::clamp((550 - y) / 2, 0, kMaxPosition); }

void BacklogScreen::DrawRows(const BacklogStore& store, i32 position, TextPen* pen, Surface& text) {
  if (text.HasPixels()) std::memset(text.pixels(), 0, text.ByteSize());
  ButtonGroup& group = sets_.saveLoadGroup();
  for (i32 row = 0; row < kRows; ++row) {
    const BacklogEntry& entry = store.GetBacklogEntry(static_cast<u32>(position + kRows - row));
    const i32 top = kRowHeight * row;
    if (pen && text.HasPixels()) {
      pen->left = 0;
      pen->right = kBarX;
      pen->penX = 180 - 9 * static_cast<i32>(entry.Name.size());
      pen->penY = top + 10;
      pen->DrawString(text, entry.Name, false);
      pen->left = 200;
      pen->top = top + 10;
      pen->right = kBarX;
      pen->bottom = top + kRowHeight;
      pen->Reset();
      pen->DrawString(text, entry.Text, true);
    }
    group.EnableById(kRows - row, !entry.Voice.empty());
  }
}

void BacklogScreen::RunBacklog(const BacklogStore& store) {
  // The scene behind, darkened to half, with the scroll bar painted in.
  Surface background;
  const Surface& screen = host_.ScreenSurface();
  if (screen.HasPixels() && background.Create(screen.bytesPerPixel(), screen.width(), screen.height())) {
    const u8* from = screen.pixels();
    u8* to = background.pixels();
    for (std::size_t i = 0, n = background.ByteSize(); i < n; ++i) to[i] = static_cast<u8>((from[i] * 127) >> 8);
    Surface bar;
    if (LoadPng(reader_, "sys_log_bar.png", bar)) BlitAll(background, bar, kBarX, 0);
  }
  Surface handle;
  LoadPng(reader_, "sys_log_handle.png", handle);
  std::unique_ptr<TextPen> pen = makePen_ ? makePen_(18, 2) : nullptr;
  Surface text;
  if (text.Create(4, kBarX, 600)) std::memset(text.pixels(), 0, text.ByteSize());

  ButtonGroup& group = sets_.saveLoadGroup();
  group.Reset();
  for (i32 row = 0; row < kRows; ++row) group.AddButton(3, kRows - row, "sys_log_item.png", 0, kRowHeight * row);
  group.AddButton(1, kUpId, "sys_log_icon_up.png", kBarX, 0);
  group.AddButton(1, kDownId, "sys_log_icon_down.png", kBarX, 580);
  group.MarkScroll(kUpId);
  group.MarkScroll(kDownId);
  sets_.ShowSaveLoad(true);

  i32 position = 0;
  DrawRows(store, position, pen.get(), text);
  host_.ClearInput();
  for (;;) {
    if (!host_.PumpInput(kScreenContext, true)) break;
    const Pointer pointer = host_.MousePointer();
    Surface& target = host_.ScreenSurface();
    if (background.HasPixels()) CopyScreen(target, background);
    group.Draw(target, group.HoveredId(pointer.x, pointer.y), pointer.leftDown);
    if (handle.HasPixels()) BlitAll(target, handle, kBarX, HandleY(position));
    if (text.HasPixels()) BlitAll(target, text, 0, 0);
    host_.PresentScreen();

    if (pointer.leftDown && pointer.x >= kBarX && pointer.x < 800 && pointer.y >= 20 && pointer.y < 580) {
      const i32 dragged = PositionForHandleY(pointer.y);
      if (dragged != position) {
        position = dragged;
        DrawRows(store, position, pen.get(), text);
      }
    }
    const u8 command = host_.PendingCommand();
    if (command == 0) continue;

    if (command == kCommandSelect) {
      i32 id = host_.PendingButton();
      if (id < 1) id = group.HoveredId(pointer.x, pointer.y);
      if (id == kUpId) {
        ++position;
      } else if (id == kDownId) {
        --position;
      } else if (id >= 1 && id <= kRows) {
        const BacklogEntry& entry = store.GetBacklogEntry(static_cast<u32>(position + id));
        if (!entry.Voice.empty() && playVoice_) playVoice_(entry.Voice);
      }
    }
    const NavigateResult moved = group.Navigate(command, pointer.x, pointer.y);
    if (moved.warp) host_.WarpMouse(moved.x, moved.y);
    if (moved.command == kCommandCancel) break;
    if (moved.command == kCommandPageUp) ++position;
    if (moved.command == kCommandPageDown) --position;
    position = std::clamp(position, 0, kMaxPosition);
    host_.ClearInput();
    DrawRows(store, position, pen.get(), text);
  }
  host_.ClearInput();
  sets_.ShowSaveLoad(false);
  group.Reset();
}

}  // namespace lyraban
