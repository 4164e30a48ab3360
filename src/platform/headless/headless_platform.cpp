#include "platform/headless/headless_platform.h"

#include <algorithm>
#include <cstring>

namespace lyraban::platform {

bool HeadlessPlatform::CreateMainWindow(int width, int height) {
  if (width <= 0 || height <= 0) return false;
  created_ = true;
  frameWidth_ = width;
  frameHeight_ = height;
  const u64 frameBytes = static_cast<u64>(width) * static_cast<u64>(height) * 3;
  if (frameBytes <= kMaxFrameBytes)
    frame_.assign(frameBytes, 0);
  else
    frame_.clear();
  return true;
}

void HeadlessPlatform::Schedule(u32 atMs, const Event& event) {
  scheduled_.emplace(atMs, Pending{atMs, nextOrder_++, PendingKind::Event, event, {}});
}

void HeadlessPlatform::ScheduleJoystick(u32 atMs, const JoystickState& state) {
  scheduled_.emplace(atMs, Pending{atMs, nextOrder_++, PendingKind::Joystick, {}, state});
}

void HeadlessPlatform::ScheduleMenuAnswer(u32 atMs, i32 id) {
  Pending p{atMs, nextOrder_++, PendingKind::MenuAnswer, {}, {}};
  p.menuAnswer = id;
  scheduled_.emplace(atMs, p);
}

i32 HeadlessPlatform::RunPopupMenu(const std::vector<PopupItem>& items, i32 x, i32 y,
                                   const std::function<void()>& idle) {
  ++menusShown_;
  menuItems_ = items;
  menuX_ = x;
  menuY_ = y;
  MoveDue();
  if (idle) idle();
  if (menuAnswers_.empty()) return 0;
  const i32 id = menuAnswers_.front();
  menuAnswers_.pop_front();
  return id;
}

bool HeadlessPlatform::PollEvent(Event& event) {
  // A script that loops without ever waiting would otherwise stop time: let
  // every so many polls count as a millisecond, deterministically.
  if (clock_.Now() != lastPollTime_) {
    lastPollTime_ = clock_.Now();
    pollsThisMs_ = 0;
  }
  if (++pollsThisMs_ >= kPollsPerMs) clock_.Advance(1);
  MoveDue();
  if (queue_.empty()) return false;
  event = queue_.front();
  queue_.pop_front();
  Apply(event);
  return true;
}

void HeadlessPlatform::MoveDue() {
  // Move every scheduled event that is due into the queue, in time order
  // (equal times keep the order they were scheduled in).
  const u32 now = clock_.Now();
  const auto dueEnd = scheduled_.upper_bound(now);
  std::vector<Pending> due;
  for (auto it = scheduled_.begin(); it != dueEnd; ++it) due.push_back(it->second);
  scheduled_.erase(scheduled_.begin(), dueEnd);
  for (const Pending& p : due) {
    switch (p.kind) {
      case PendingKind::Event:
        queue_.push_back(p.event);
        break;
      case PendingKind::Joystick:
        joystick_ = p.stick;
        break;
      case PendingKind::MenuAnswer:
        menuAnswers_.push_back(p.menuAnswer);
        break;
    }
  }
}

void HeadlessPlatform::Apply(const Event& event) {
  switch (event.kind) {
    case EventKind::KeyDown:
      held_.insert(event.key);
      break;
    case EventKind::KeyUp:
      held_.erase(event.key);
      break;
    case EventKind::MouseMove:
    case EventKind::MouseWheel:
      mouseX_ = event.x;
      mouseY_ = event.y;
      break;
    case EventKind::MouseDown:
    case EventKind::MouseUp:
      mouseX_ = event.x;
      mouseY_ = event.y;
      if (event.button == MouseButton::Left) leftDown_ = event.kind == EventKind::MouseDown;
      break;
    case EventKind::Minimize:
      minimized_ = true;
      break;
    case EventKind::Restore:
      minimized_ = false;
      break;
    default:
      break;
  }
}

void HeadlessPlatform::WaitEvent() {
  if (!queue_.empty()) return;
  // Jump the clock to the next scheduled event; with nothing scheduled, let
  // a little time pass so that time-based waits still end.
  const u32 now = clock_.Now();
  const bool any = !scheduled_.empty();
  const u32 next = any ? scheduled_.begin()->first : 0;
  clock_.Advance(any && next > now ? next - now : 1);
}

void HeadlessPlatform::PostCloseRequest() {
  Event e;
  e.kind = EventKind::CloseRequest;
  queue_.push_back(e);
}

void HeadlessPlatform::GetMouse(i32& x, i32& y, bool& leftDown) const {
  x = mouseX_;
  y = mouseY_;
  leftDown = leftDown_;
}

bool HeadlessPlatform::ReadJoystick(JoystickState& state) {
  state = joystick_;
  return true;
}

void HeadlessPlatform::Present(const u8* pixels, int width, int height, int pitch) {
  if (pixels && width > 0 && height > 0) {
    frameWidth_ = width;
    frameHeight_ = height;
    const size_t row = static_cast<size_t>(width) * 3;
    frame_.resize(row * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
      std::memcpy(frame_.data() + row * static_cast<size_t>(y), pixels + static_cast<size_t>(pitch) * y, row);
  }
  ++framesPresented_;
  clock_.Advance(kFrameMs);
}

bool HeadlessPlatform::CopyLastFrame(std::vector<u8>& bgr, int& width, int& height) {
  if (frame_.empty()) return false;
  bgr = frame_;
  width = frameWidth_;
  height = frameHeight_;
  return true;
}

bool HeadlessPlatform::AskYesNo(std::string_view utf8Text, std::string_view) {
  questions_.emplace_back(utf8Text);
  return answerYes_;
}

}  // namespace lyraban::platform
