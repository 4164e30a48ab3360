#pragma once
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/sdl_clock.h"
#include "platform/sdl/single_instance.h"

// SDL's own types stay out of this header so that the engine's code, which
// constructs the platform, never sees SDL.
struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
struct _SDL_Joystick;
union SDL_Event;

namespace lyraban::platform {

class SdlAudioOutput;

// The desktop platform: one resizable window whose picture keeps the game's
// aspect (black bars around it), full screen on the desktop's own mode,
// keyboard, mouse and joystick 0, the wall clock and the default sound device.
class SdlPlatform final : public Platform {
 public:
  // `lockFolder` is where single-instance locks live; empty for the default.
  explicit SdlPlatform(std::string lockFolder = {});
  ~SdlPlatform() override;
  SdlPlatform(const SdlPlatform&) = delete;
  SdlPlatform& operator=(const SdlPlatform&) = delete;

  Clock& clock() override { return clock_; }

  bool CreateMainWindow(int width, int height) override;
  void ShowMainWindow() override;
  void DestroyMainWindow() override;
  bool HasMainWindow() const override { return window_ != nullptr; }
  bool IsMinimized() const override;
  void SetCaption(std::string_view utf8) override;
  void ShowCursor(bool visible) override;

  bool PollEvent(Event& event) override;
  void WaitEvent() override;
  void PostCloseRequest() override;

  bool IsKeyHeld(u16 virtualKey) const override;
  void GetMouse(i32& x, i32& y, bool& leftDown) const override;
  bool ReadJoystick(JoystickState& state) override;

  bool SetFullScreen(bool on) override;
  bool IsFullScreen() const override;

  void Present(const u8* pixels, int width, int height, int pitch) override;
  bool CopyLastFrame(std::vector<u8>& bgr, int& width, int& height) override;

  // Shown with "是" and "否" buttons. When no box can be shown at all the
  // answer is Yes, so that closing the game is never impossible.
  bool AskYesNo(std::string_view utf8Text, std::string_view utf8Caption) override;
  void SetClipboardText(std::string_view utf8) override;

  bool AcquireSingleInstance(std::string_view productId) override;
  void ReleaseSingleInstance() override;

  AudioOutput* audio() override;

  // SDL's message for the last operation that failed (window, renderer,
  // full screen, message box), for the program's diagnostics.
  const std::string& lastError() const { return lastError_; }
  SDL_Window* window() const { return window_; }

 private:
  void Translate(const SDL_Event& e);
  void Push(const Event& event) { queue_.push_back(event); }
  void MapToGame(int windowX, int windowY, i32& x, i32& y) const;
  void Redraw();
  void ServiceOtherCopies(bool now);
  void Fail();

  SdlClock clock_;
  SingleInstance instance_;
  std::unique_ptr<SdlAudioOutput> audio_;
  bool videoStarted_ = false, joystickStarted_ = false;

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int textureWidth_ = 0, textureHeight_ = 0;
  int gameWidth_ = 0, gameHeight_ = 0;
  std::string caption_;

  std::vector<u8> frame_;
  int frameWidth_ = 0, frameHeight_ = 0;

  std::deque<Event> queue_;
  bool altAlone_ = false;  // Alt is down and nothing else was pressed since
  bool lastWasWindowClose_ = false;
  u32 lastInstanceCheck_ = 0;

  _SDL_Joystick* joystick_ = nullptr;
  std::string lastError_;
};

}  // namespace lyraban::platform
