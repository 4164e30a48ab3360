#include "platform/sdl/sdl_platform.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/dialog.h"
#include "platform/sdl/dialog_program.h"
#include "platform/sdl/letterbox.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_dialog.h"
#include "platform/sdl/sdl_keys.h"
#include "platform/sdl/sdl_popup.h"
#include "platform/sdl/sdl_question.h"
#include "platform/sdl/sdl_text_field.h"
#include "platform/video.h"

namespace lyraban::platform {

namespace {

// How often a running copy looks for a second copy's knock while busy.
constexpr u32 kInstanceCheckMs = 100;
// Window icons are drawn at this size; the window manager scales them.
constexpr int kIconSize = 64;

}  // namespace

SdlPlatform::SdlPlatform(std::string lockFolder)
    : instance_(std::move(lockFolder)),
      audio_(std::make_unique<SdlAudioOutput>()),
      popup_(std::make_unique<SdlPopupMenu>()),
      dialog_(std::make_unique<SdlDialog>()),
      textField_(std::make_unique<SdlTextField>()),
      question_(std::make_unique<SdlQuestion>()) {
  // The close box alone asks the quit question; SDL would otherwise add a
  // quit event of its own for the last window.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // The pad is read like the system's joystick call reads it, focus or not;
  // the engine itself only looks while the game is the active program.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  joystickStarted_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
}

SdlPlatform::~SdlPlatform() {
  audio_.reset();
  DestroyMainWindow();
  if (joystick_) SDL_JoystickClose(joystick_);
  if (joystickStarted_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SdlPlatform::Fail() { lastError_ = SDL_GetError(); }

bool SdlPlatform::CreateMainWindow(int width, int height) {
  if (width <= 0 || height <= 0) return false;
  DestroyMainWindow();
  if (!videoStarted_) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      Fail();
      return false;
    }
    videoStarted_ = true;
  }
  // Centred on the first display; a desktop too small for the window gets it
  // at its top left corner instead of off screen.
  int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && (usable.w < width || usable.h < height)) {
    x = usable.x;
    y = usable.y;
  }
  window_ = SDL_CreateWindow(caption_.c_str(), x, y, width, height,
                             SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
  if (!window_) {
    Fail();
    return false;
  }
  // A software renderer draws into the window's surface, which SDL would
  // otherwise put on an OpenGL texture; where the renderer is software there
  // is no GPU worth it, and that OpenGL is one more software rasteriser per
  // frame. The player's own setting of the hint wins.
  const char* driver = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
  const bool noAcceleration = !SDL_GetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
  if (noAcceleration && driver && SDL_strcasecmp(driver, "software") == 0)
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (!renderer_) {
    if (noAcceleration) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  }
  if (!renderer_) {
    Fail();
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    return false;
  }
  // Vsync paces the frames where the renderer offers it; the others are
  // paced by waiting for the display's refresh interval. A software
  // renderer asked for vsync would put an OpenGL window surface under
  // itself, which costs more than it saves.
  SDL_RendererInfo info{};
  if (SDL_GetRendererInfo(renderer_, &info) == 0 && (info.flags & SDL_RENDERER_ACCELERATED) != 0)
    SDL_RenderSetVSync(renderer_, 1);
  vsync_ = SDL_GetRendererInfo(renderer_, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
  SDL_DisplayMode mode{};
  const int display = SDL_GetWindowDisplayIndex(window_);
  pacer_.SetRefreshRate(SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) == 0 ? mode.refresh_rate : 0);
  // No input method on the game window: keys arrive as keys.
  SDL_StopTextInput();
  popup_->Attach(window_, renderer_);
  dialog_->Attach(window_, renderer_);
  textField_->Attach(window_, renderer_);
  question_->Attach(window_, renderer_);
  minimizePending_ = false;
  ApplyIcon();
  gameWidth_ = width;
  gameHeight_ = height;
  frameWidth_ = width;
  frameHeight_ = height;
  // A black first frame, unless the size is beyond any real screen.
  const u64 frameBytes = static_cast<u64>(width) * static_cast<u64>(height) * 3;
  if (frameBytes <= kMaxFrameBytes) {
    frame_.assign(frameBytes, 0);
    Present(frame_.data(), width, height, width * 3);
  } else {
    frame_.clear();
  }
  return true;
}

void SdlPlatform::ShowMainWindow() {
  if (!window_) return;
  minimizePending_ = false;
  SDL_ShowWindow(window_);
  SDL_RaiseWindow(window_);
  Redraw();
}

void SdlPlatform::DestroyMainWindow() {
  // ImGui's textures belong to the renderer: they go first.
  popup_->Detach();
  dialog_->Detach();
  textField_->Detach();
  question_->Detach();
  minimizePending_ = false;
  if (texture_) SDL_DestroyTexture(texture_);
  if (video_) SDL_DestroyTexture(video_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
  texture_ = nullptr;
  video_ = nullptr;
  videoWidth_ = videoHeight_ = 0;
  showingVideo_ = false;
  renderer_ = nullptr;
  window_ = nullptr;
  textureWidth_ = textureHeight_ = 0;
  altAlone_ = false;
}

bool SdlPlatform::IsMinimized() const {
  return window_ && (minimizePending_ || (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0);
}

void SdlPlatform::MinimizeMainWindow() {
  if (!window_) return;
  // The window manager minimises when it gets to it (or never, without
  // one); until it reports either way the window counts as minimised.
  minimizePending_ = true;
  SDL_MinimizeWindow(window_);
}

void SdlPlatform::SetWindowIcon(WindowIcon icon) {
  icon_ = icon;
  ApplyIcon();
}

void SdlPlatform::ApplyIcon() {
  if (!window_) return;
  std::vector<u32> pixels = DrawWindowIcon(icon_, kIconSize);
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), kIconSize, kIconSize, 32, kIconSize * 4,
                                                            SDL_PIXELFORMAT_ARGB8888);
  if (!surface) {
    Fail();
    return;
  }
  SDL_SetWindowIcon(window_, surface);
  SDL_FreeSurface(surface);
}

void SdlPlatform::SetCaption(std::string_view utf8) {
  caption_ = std::string(utf8);
  if (window_) SDL_SetWindowTitle(window_, caption_.c_str());
}

void SdlPlatform::ShowCursor(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

bool SdlPlatform::PollEvent(Event& event) {
  ServiceOtherCopies(false);
  SDL_Event e;
  while (queue_.empty() && SDL_PollEvent(&e)) Translate(e);
  if (queue_.empty()) return false;
  event = queue_.front();
  queue_.pop_front();
  return true;
}

void SdlPlatform::WaitEvent() {
  if (!queue_.empty()) return;
  // Waits one slice at most, as a timer message would end the wait: the
  // engine's own timer (caption, idle cursor, run limit) keeps going, and a
  // second copy's knock still raises a minimised window.
  SDL_Event e;
  if (SDL_WaitEventTimeout(&e, static_cast<int>(kInstanceCheckMs * 2))) {
    Translate(e);
    return;
  }
  if (videoStarted_) ServiceOtherCopies(true);
}

void SdlPlatform::PostCloseRequest() {
  Event e;
  e.kind = EventKind::CloseRequest;
  Push(e);
}

void SdlPlatform::ServiceOtherCopies(bool now) {
  if (!instance_.held()) return;
  const u32 t = clock_.Now();
  if (!now && ElapsedMs(lastInstanceCheck_, t) < kInstanceCheckMs) return;
  lastInstanceCheck_ = t;
  if (instance_.TakeRaiseRequest() && window_) {
    SDL_RestoreWindow(window_);
    SDL_RaiseWindow(window_);
  }
}

void SdlPlatform::MapToGame(int windowX, int windowY, i32& x, i32& y) const {
  int w = gameWidth_, h = gameHeight_;
  if (window_) SDL_GetWindowSize(window_, &w, &h);
  WindowToGame(FitViewport(w, h, gameWidth_, gameHeight_), gameWidth_, gameHeight_, windowX, windowY, x, y);
}

void SdlPlatform::WarpMouse(i32 x, i32 y) {
  if (!window_ || gameWidth_ <= 0 || gameHeight_ <= 0) return;
  int w = gameWidth_, h = gameHeight_;
  SDL_GetWindowSize(window_, &w, &h);
  const Viewport v = FitViewport(w, h, gameWidth_, gameHeight_);
  // The centre of the game pixel, in window coordinates.
  const int wx = v.x + static_cast<int>((static_cast<i64>(x) * 2 + 1) * v.width / (2 * gameWidth_));
  const int wy = v.y + static_cast<int>((static_cast<i64>(y) * 2 + 1) * v.height / (2 * gameHeight_));
  SDL_WarpMouseInWindow(window_, wx, wy);
}

void SdlPlatform::Translate(const SDL_Event& e) {
  const bool windowClose = e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE && window_ &&
                           e.window.windowID == SDL_GetWindowID(window_);
  const bool quitAfterClose = e.type == SDL_QUIT && lastWasWindowClose_;
  lastWasWindowClose_ = windowClose;
  Event out;
  switch (e.type) {
    case SDL_QUIT:
      // A signal or the session ending; never a second question for one click.
      if (quitAfterClose) break;
      out.kind = EventKind::CloseRequest;
      Push(out);
      break;
    case SDL_WINDOWEVENT:
      if (!window_ || e.window.windowID != SDL_GetWindowID(window_)) break;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          out.kind = EventKind::CloseRequest;
          Push(out);
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          out.kind = EventKind::Activate;
          Push(out);
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          altAlone_ = false;
          out.kind = EventKind::Deactivate;
          Push(out);
          break;
        case SDL_WINDOWEVENT_MINIMIZED:
          minimizePending_ = false;
          out.kind = EventKind::Minimize;
          Push(out);
          break;
        case SDL_WINDOWEVENT_RESTORED:
          minimizePending_ = false;
          out.kind = EventKind::Restore;
          Push(out);
          break;
        case SDL_WINDOWEVENT_MAXIMIZED:
          // Maximising means full screen; the window itself keeps its size.
          SDL_RestoreWindow(window_);
          out.kind = EventKind::Maximize;
          Push(out);
          break;
        case SDL_WINDOWEVENT_EXPOSED:
          // The picture must be put back even though the frame is the same.
          redrawDue_ = true;
          out.kind = EventKind::Expose;
          Push(out);
          break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          // The bars move; the last frame is still in the texture.
          Redraw();
          break;
        default:
          break;
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const u16 key = VirtualKeyFromSdl(e.key.keysym.sym, e.key.keysym.scancode);
      const u8 mods = ModifiersFromSdl(e.key.keysym.mod);
      const bool down = e.type == SDL_KEYDOWN;
      // Typing into the window: whatever minimising was asked did not happen.
      if (down) minimizePending_ = false;
      if (key == vk::Menu) {
        // Alt is a key of its own only when it goes down and up with nothing
        // pressed in between; as a modifier it produces no event.
        if (down) {
          if (!e.key.repeat) altAlone_ = true;
          break;
        }
        if (altAlone_) {
          out.kind = EventKind::KeyDown;
          out.key = vk::Menu;
          out.modifiers = static_cast<u8>(mods | ModAlt);
          Push(out);
        }
        altAlone_ = false;
        out.kind = EventKind::KeyUp;
        out.key = vk::Menu;
        out.modifiers = mods;
        Push(out);
        break;
      }
      if (down) altAlone_ = false;
      if (key == 0) break;
      out.kind = down ? EventKind::KeyDown : EventKind::KeyUp;
      out.key = key;
      out.modifiers = mods;
      Push(out);
      break;
    }
    case SDL_MOUSEMOTION:
      out.kind = EventKind::MouseMove;
      MapToGame(e.motion.x, e.motion.y, out.x, out.y);
      Push(out);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      altAlone_ = false;
      if (e.type == SDL_MOUSEBUTTONDOWN) minimizePending_ = false;
      if (e.button.button == SDL_BUTTON_LEFT)
        out.button = MouseButton::Left;
      else if (e.button.button == SDL_BUTTON_RIGHT)
        out.button = MouseButton::Right;
      else if (e.button.button == SDL_BUTTON_MIDDLE)
        out.button = MouseButton::Middle;
      else
        break;
      out.kind = e.type == SDL_MOUSEBUTTONDOWN ? EventKind::MouseDown : EventKind::MouseUp;
      MapToGame(e.button.x, e.button.y, out.x, out.y);
      Push(out);
      break;
    case SDL_MOUSEWHEEL: {
      i32 steps = e.wheel.y;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
      if (steps == 0) break;  // sideways only
      out.kind = EventKind::MouseWheel;
      out.wheel = steps;
      MapToGame(e.wheel.mouseX, e.wheel.mouseY, out.x, out.y);
      Push(out);
      break;
    }
    case SDL_JOYDEVICEREMOVED:
      if (joystick_ && e.jdevice.which == SDL_JoystickInstanceID(joystick_)) {
        SDL_JoystickClose(joystick_);
        joystick_ = nullptr;
      }
      break;
    default:
      break;
  }
}

bool SdlPlatform::IsKeyHeld(u16 virtualKey) const {
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  if (!state) return false;
  auto held = [&](SDL_Scancode s) { return s < count && state[s] != 0; };
  switch (virtualKey) {
    case vk::Shift:
      return held(SDL_SCANCODE_LSHIFT) || held(SDL_SCANCODE_RSHIFT);
    case vk::Control:
      return held(SDL_SCANCODE_LCTRL) || held(SDL_SCANCODE_RCTRL);
    case vk::Menu:
      return held(SDL_SCANCODE_LALT) || held(SDL_SCANCODE_RALT);
    default:
      break;
  }
  for (int s = 0; s < count; ++s) {
    if (state[s] && VirtualKeyFromSdl(SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(s)), s) == virtualKey)
      return true;
  }
  return false;
}

void SdlPlatform::GetMouse(i32& x, i32& y, bool& leftDown) const {
  int wx = 0, wy = 0;
  const Uint32 buttons = SDL_GetMouseState(&wx, &wy);
  MapToGame(wx, wy, x, y);
  leftDown = (buttons & SDL_BUTTON_LMASK) != 0;
}

bool SdlPlatform::ReadJoystick(JoystickState& state) {
  if (!joystickStarted_) return false;
  if (joystick_ && !SDL_JoystickGetAttached(joystick_)) {
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
  }
  // Opened on first use, so that a pad plugged in later is found too.
  if (!joystick_ && SDL_NumJoysticks() > 0) joystick_ = SDL_JoystickOpen(0);
  if (!joystick_) return false;
  SDL_JoystickUpdate();
  JoystickState s;
  const int axes = SDL_JoystickNumAxes(joystick_);
  if (axes > 0) s.x = JoystickAxisFromSdl(SDL_JoystickGetAxis(joystick_, 0));
  if (axes > 1) s.y = JoystickAxisFromSdl(SDL_JoystickGetAxis(joystick_, 1));
  const int buttons = std::min(SDL_JoystickNumButtons(joystick_), 8);
  for (int i = 0; i < buttons; ++i) {
    if (SDL_JoystickGetButton(joystick_, i)) s.buttons |= 1u << i;
  }
  state = s;
  return true;
}

bool SdlPlatform::SetFullScreen(bool on) {
  if (!window_) return false;
  if (on == IsFullScreen()) return true;
  // The desktop's own mode: the display mode never changes, the picture is
  // scaled into it like into a resized window.
  if (SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
    Fail();
    return false;
  }
  Redraw();
  return true;
}

bool SdlPlatform::IsFullScreen() const { return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0; }

void SdlPlatform::Present(const u8* pixels, int width, int height, int pitch) {
  if (!pixels || width <= 0 || height <= 0 || pitch < width * 3) return;
  const bool changed = KeepFrameIfChanged(frame_, frameWidth_, frameHeight_, pixels, width, height, pitch);
  gameWidth_ = width;
  gameHeight_ = height;
  // A movie picture on screen is replaced by the game's frame even when that
  // frame is the one kept from before the movie.
  const bool afterVideo = showingVideo_;
  showingVideo_ = false;
  if (!renderer_) return;
  const bool textureFits = texture_ && textureWidth_ == width && textureHeight_ == height;
  if (!changed && textureFits && !redrawDue_ && !afterVideo) {
    PaceFrame();
    return;
  }
  // With vsync the present itself waits for the display.
  if (!vsync_) PaceFrame();
  if (!textureFits) {
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_BGR24, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture_) {
      Fail();
      textureWidth_ = textureHeight_ = 0;
      return;
    }
    SDL_SetTextureScaleMode(texture_, SDL_ScaleModeLinear);
    textureWidth_ = width;
    textureHeight_ = height;
  }
  if ((changed || !textureFits) && SDL_UpdateTexture(texture_, nullptr, frame_.data(), width * 3) != 0) Fail();
  Redraw();
  if (vsync_) pacer_.MarkTurn(clock_.Now());
}

void SdlPlatform::PresentUnchanged(const u8* pixels, int width, int height, int pitch) {
  // Only the pace is kept, unless the window needs its picture back or the
  // frame is not the one kept (then it is an ordinary frame after all).
  if (!renderer_ || redrawDue_ || showingVideo_ || !texture_ || width != frameWidth_ || height != frameHeight_ ||
      width != textureWidth_ || height != textureHeight_) {
    Present(pixels, width, height, pitch);
    return;
  }
  PaceFrame();
}

void SdlPlatform::PaceFrame() {
  for (;;) {
    const u32 wait = pacer_.WaitBefore(clock_.Now());
    if (wait == 0) break;
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, static_cast<int>(wait))) Translate(e);
  }
  pacer_.MarkTurn(clock_.Now());
}

void SdlPlatform::WaitForInputOrFrame() {
  if (!queue_.empty()) return;
  // Until the next frame is due, or a whole interval when one is due now:
  // the loop draws its frame after this, and its present keeps the pace.
  u32 wait = pacer_.WaitBefore(clock_.Now());
  if (wait == 0) wait = pacer_.intervalMs();
  SDL_Event e;
  if (SDL_WaitEventTimeout(&e, static_cast<int>(wait))) Translate(e);
}

bool SdlPlatform::PresentVideo(const VideoPicture& picture) {
  if (!renderer_ || picture.width <= 0 || picture.height <= 0) return false;
  if (!video_ || videoWidth_ != picture.width || videoHeight_ != picture.height) {
    if (video_) SDL_DestroyTexture(video_);
    video_ =
        SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_IYUV, SDL_TEXTUREACCESS_STREAMING, picture.width, picture.height);
    if (!video_) {
      Fail();
      videoWidth_ = videoHeight_ = 0;
      return false;
    }
    SDL_SetTextureScaleMode(video_, SDL_ScaleModeLinear);
    videoWidth_ = picture.width;
    videoHeight_ = picture.height;
  }
  if (SDL_UpdateYUVTexture(video_, nullptr, picture.planes[0], picture.pitches[0], picture.planes[1],
                           picture.pitches[1], picture.planes[2], picture.pitches[2]) != 0) {
    Fail();
    return false;
  }
  showingVideo_ = true;
  Redraw();
  return true;
}

void SdlPlatform::Redraw() {
  if (!renderer_) return;
  DrawFrame();
  SDL_RenderPresent(renderer_);
  redrawDue_ = false;
  ++framesShown_;
}

void SdlPlatform::DrawFrame() {
  if (!renderer_) return;
  int w = 0, h = 0;
  if (SDL_GetRendererOutputSize(renderer_, &w, &h) != 0) return;
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  if (showingVideo_ && video_ && gameWidth_ > 0 && gameHeight_ > 0) {
    // The movie covers the game screen, whatever its own size.
    const Viewport v = FitViewport(w, h, gameWidth_, gameHeight_);
    const SDL_Rect target{v.x, v.y, v.width, v.height};
    SDL_RenderCopy(renderer_, video_, nullptr, &target);
  } else if (texture_) {
    const Viewport v = FitViewport(w, h, textureWidth_, textureHeight_);
    const SDL_Rect target{v.x, v.y, v.width, v.height};
    SDL_RenderCopy(renderer_, texture_, nullptr, &target);
  }
}

void SdlPlatform::GameToWindow(i32 x, i32 y, int& windowX, int& windowY) const {
  int w = gameWidth_, h = gameHeight_;
  if (window_) SDL_GetWindowSize(window_, &w, &h);
  const Viewport v = FitViewport(w, h, gameWidth_, gameHeight_);
  // The centre of the game pixel, so that mapping back lands on it again.
  auto axis = [](i32 p, int start, int extent, int game) {
    if (game <= 0) return start + static_cast<int>(p);
    return start + static_cast<int>(((2 * static_cast<i64>(p) + 1) * extent) / (2 * static_cast<i64>(game)));
  };
  windowX = std::clamp(axis(x, v.x, v.width, gameWidth_), 0, std::max(w - 1, 0));
  windowY = std::clamp(axis(y, v.y, v.height, gameHeight_), 0, std::max(h - 1, 0));
}

i32 SdlPlatform::RunPopupMenu(const std::vector<PopupItem>& items, i32 x, i32 y, const std::function<void()>& idle) {
  if (!window_ || !renderer_ || IsMinimized()) return 0;
  int wx = 0, wy = 0;
  GameToWindow(x, y, wx, wy);
  SdlPopupMenu::Hooks hooks;
  hooks.drawFrame = [this] { DrawFrame(); };
  hooks.forward = [this](const SDL_Event& e) { Translate(e); };
  hooks.idle = idle;
  return popup_->Run(items, wx, wy, hooks);
}

bool SdlPlatform::RunDialog(DialogModel& model) {
  SdlDialog::Hooks hooks;
  hooks.drawFrame = [this] { DrawFrame(); };
  hooks.forward = [this](const SDL_Event& e) { Translate(e); };
  hooks.viewport = [this](int& x, int& y, int& width, int& height, int& gameWidth, int& gameHeight) {
    int w = gameWidth_, h = gameHeight_;
    if (window_) SDL_GetWindowSize(window_, &w, &h);
    const Viewport v = FitViewport(w, h, gameWidth_, gameHeight_);
    x = v.x, y = v.y, width = v.width, height = v.height;
    gameWidth = gameWidth_, gameHeight = gameHeight_;
  };
  return dialog_->Run(model, hooks);
}

int SdlPlatform::JoystickButtonCount() {
  JoystickState unused;
  if (!ReadJoystick(unused) || !joystick_) return -1;
  return std::min(SDL_JoystickNumButtons(joystick_), 8);
}

bool SdlPlatform::DescribeGraphics(GraphicsFacts& facts) {
  SDL_version version;
  SDL_GetVersion(&version);
  facts.library = "SDL " + std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
                  std::to_string(version.patch);
  const char* driver = videoStarted_ ? SDL_GetCurrentVideoDriver() : nullptr;
  facts.driver = driver ? driver : "";
  SDL_RendererInfo info;
  if (renderer_ && SDL_GetRendererInfo(renderer_, &info) == 0 && info.name) facts.renderer = info.name;
  SDL_DisplayMode mode;
  if (videoStarted_ && SDL_GetDesktopDisplayMode(0, &mode) == 0)
    facts.desktopBytes = static_cast<u64>(mode.w) * static_cast<u64>(mode.h) * SDL_BYTESPERPIXEL(mode.format);
  // Drivers without a screen of their own have no full screen to offer.
  facts.fullScreen = window_ && !facts.driver.empty() && facts.driver != "dummy" && facts.driver != "offscreen";
  return true;
}

bool SdlPlatform::EditText(const TextFieldRequest& field, std::string& utf8,
                           const std::function<bool(std::string_view)>& accept) {
  if (!window_ || !renderer_ || IsMinimized()) return false;
  SdlTextField::Area area;
  GameToWindow(field.x, field.y, area.left, area.top);
  GameToWindow(field.x + field.width, field.y + field.height, area.right, area.bottom);
  SdlTextField::Hooks hooks;
  hooks.drawFrame = [this] { DrawFrame(); };
  hooks.forward = [this](const SDL_Event& e) { Translate(e); };
  return textField_->Run(field, area, utf8, accept, hooks);
}

const std::string& SdlPlatform::popupFontFile() const { return popup_->fontFile(); }

bool SdlPlatform::CopyLastFrame(std::vector<u8>& bgr, int& width, int& height) {
  if (frame_.empty()) return false;
  bgr = frame_;
  width = frameWidth_;
  height = frameHeight_;
  return true;
}

bool SdlPlatform::AskYesNo(std::string_view utf8Text, std::string_view utf8Caption) {
  if (window_ && renderer_) {
    SdlQuestion::Hooks hooks;
    hooks.drawFrame = [this] { DrawFrame(); };
    hooks.forward = [this](const SDL_Event& e) { Translate(e); };
    const SdlQuestion::Answer answer = question_->Ask(utf8Text, utf8Caption, hooks);
    if (answer != SdlQuestion::Answer::NotShown) return answer == SdlQuestion::Answer::Yes;
  }
  const std::string text(utf8Text), caption(utf8Caption);
  const SDL_MessageBoxButtonData buttons[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "是"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "否"},
  };
  SDL_MessageBoxData box{};
  box.flags = SDL_MESSAGEBOX_INFORMATION | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
  box.window = window_;
  box.title = caption.c_str();
  box.message = text.c_str();
  box.numbuttons = 2;
  box.buttons = buttons;
  int pressed = -1;
  if (SDL_ShowMessageBox(&box, &pressed) != 0) {
    // No answer is not a Yes: the game stays.
    Fail();
    return false;
  }
  return pressed == 1;
}

void SdlPlatform::ShowMessage(std::string_view utf8Text, std::string_view utf8Caption) {
  const std::string text(utf8Text), caption(utf8Caption);
  // A terminal, when there is one, keeps the words after the box is gone.
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), window_) == 0) return;
  Fail();
  ShowMessageWithDialogProgram(text, caption);
}

void SdlPlatform::SetClipboardText(std::string_view utf8) {
  if (SDL_SetClipboardText(std::string(utf8).c_str()) != 0) Fail();
}

bool SdlPlatform::AcquireSingleInstance(std::string_view productId) { return instance_.Acquire(productId); }

void SdlPlatform::ReleaseSingleInstance() { instance_.Release(); }

AudioOutput* SdlPlatform::audio() { return audio_.get(); }

}  // namespace lyraban::platform
