#pragma once
#include <array>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/engine.h"
#include "graphics/png.h"
#include "persist/save_data_file.h"
#include "persist/save_slots.h"
#include "persist/user_settings.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/input_script.h"
#include "platform/headless/virtual_audio.h"
#include "support/temp_dir.h"

namespace lyraban::testing {

// Slot of a bank file in a save folder; -1 when the file is not there.
inline i32 BankSlot(const std::filesystem::path& saves, const char* file, int slot) {
  SaveDataFile f(saves);
  std::string bytes;
  if (!f.OpenForRead(file) || !f.ReadRest(bytes) || bytes.size() < 4000) return -1;
  i32 v;
  std::memcpy(&v, bytes.data() + slot * 4, 4);
  return v;
}

// A loose-file game: its configuration, pictures and start script, and the
// banks it leaves in its save folder.
struct TestGame {
  explicit TestGame(int width = 64, int height = 48, const std::string& more = {}) {
    dir.Write("data/config/config.txt", "game.ini\r\n");
    dir.Write("data/config/game.ini", "[System.Info]\r\nTitle=Flags\r\n[System.Setting]\r\nScreenWidth=" +
                                          std::to_string(width) + "\r\nScreenHeight=" + std::to_string(height) +
                                          "\r\n[Define.Flag]\r\nG000=score\r\nG001=bonus\r\nG002=runs\r\n"
                                          "L000=tmp\r\nL001=never\r\n" +
                                          more);
  }
  void File(const std::string& name, const std::string& text) const { dir.Write("data/script/" + name, text); }
  void Script(const std::string& text) const { File("start.txt", text); }
  // Slot of a bank file ("flagdata.000" global, "flagdata.001" seen); -1
  // when the file is not there.
  i32 Bank(const char* file, int slot) const { return BankSlot(dir.path() / "save", file, slot); }
  i32 Global(int slot) const { return Bank("flagdata.000", slot); }
  // The first three global flags: score, bonus and runs.
  std::vector<i32> Globals() const { return {Global(0), Global(1), Global(2)}; }
  std::filesystem::path Slot(int n) const { return dir.path() / "save" / SaveSlots::SlotFileName(n); }
  SlotHeader Header(int slot) const {
    SlotHeader header;
    ReadSlotHeaderFile(dir.path() / "save", slot, header);
    return header;
  }
  TempDir dir;
};

inline std::string Gbk(std::string_view utf8) { return CodePage().FromUtf8(utf8); }

// The settings file lives in the current folder: plays from the game's own
// folder while this lives.
struct InGameFolder {
  explicit InGameFolder(const TestGame& game) : previous(std::filesystem::current_path()) {
    std::filesystem::current_path(game.dir.path());
  }
  ~InGameFolder() { std::filesystem::current_path(previous); }
  std::filesystem::path previous;
};

// Writes the default settings, as `change` alters them, to `file`.
template <class Change>
void WriteSettings(const std::filesystem::path& file, Change change) {
  UserSettings settings;
  ResetUserSettings(settings);
  change(settings);
  SaveUserSettings(settings, file);
}

// One headless run of a game, with scripted input and everything it traced.
struct Play {
  explicit Play(const TestGame& game, const std::string& input = {}, u32 runMs = 0) {
    std::string error;
    EXPECT_TRUE(platform::ScheduleInputScript(platform, input, error)) << error;
    platform.SetAudio(&audio);
    options.gameFolder = game.dir.str();
    options.headless = true;
    options.runLimit = runMs != 0;
    options.runMs = runMs;
  }
  // `prepare` sees the engine before it runs.
  Play& Run(const std::function<void(Engine&)>& prepare = {}) {
    engine = std::make_unique<Engine>(platform, options);
    engine->trace().SetSink([this](std::string_view m) { trace.emplace_back(m); });
    if (prepare) prepare(*engine);
    engine->Run();
    return *this;
  }
  // Runs from the game's folder, with the default settings as `change`
  // alters them in the settings file there.
  template <class Change>
  Play& RunWithSettings(const TestGame& game, Change change) {
    InGameFolder here(game);
    WriteSettings(kUserSettingsFileName, change);
    return Run();
  }
  // An engine and its window, to be driven by hand instead of run.
  Engine& Open() {
    engine = std::make_unique<Engine>(platform, options);
    EXPECT_TRUE(platform.CreateMainWindow(64, 48));
    return *engine;
  }
  // Runs and gives everything mixed meanwhile.
  std::vector<i16> RunCapturing() {
    audio.StartCapture();
    Run();
    return audio.TakeCaptured();
  }
  // An event of `kind` that arrives at `ms`.
  void At(u32 ms, platform::EventKind kind) {
    platform::Event e;
    e.kind = kind;
    platform.Schedule(ms, e);
  }
  // How many trace lines hold `text`.
  int Count(std::string_view text) const {
    int n = 0;
    for (const auto& t : trace) n += t.find(text) != std::string::npos;
    return n;
  }
  bool Traced(std::string_view text) const { return Count(text) > 0; }
  // The last presented frame: its size and blue, green, red pixels.
  struct Frame {
    int w = 0, h = 0;
    std::vector<u8> pixels;
    bool operator==(const Frame&) const = default;
  };
  Frame LastFrame() {
    Frame f;
    platform.CopyLastFrame(f.pixels, f.w, f.h);
    return f;
  }
  // Red, green and blue of a pixel of the last presented frame.
  std::array<int, 3> Pixel(int x, int y) {
    const Frame f = LastFrame();
    if (x >= f.w || y >= f.h) return {-1, -1, -1};
    const u8* p = f.pixels.data() + (static_cast<size_t>(y) * f.w + x) * 3;
    return {p[2], p[1], p[0]};
  }

  platform::HeadlessPlatform platform;
  platform::VirtualAudioOutput audio{platform.virtualClock()};
  EngineOptions options;
  std::unique_ptr<Engine> engine;
  std::vector<std::string> trace;
};

// A play that has run.
struct Played : Play {
  explicit Played(const TestGame& game, const std::string& input = {}, u32 runMs = 0) : Play(game, input, runMs) {
    Run();
  }
};

// A picture of `frames` stacked frames of w × h pixels, or one colour.
inline std::string Png(const Surface& s) {
  std::string bytes;
  EncodePng(s, bytes, 1);
  return bytes;
}
inline std::string SolidPng(int w, int h, u8 r, u8 g, u8 b) {
  Surface s;
  s.Create(3, w, h);
  FillScreen(s, r, g, b);
  return Png(s);
}
inline std::string FramesPng(int w, int h, int frames) {
  Surface s;
  s.Create(4, w, h * frames);
  for (int y = 0; y < h * frames; ++y)
    for (int x = 0; x < w; ++x) {
      u8* p = s.Row(y) + x * 4;  // alpha, blue, green, red; each frame its own blue
      p[0] = 255, p[1] = static_cast<u8>(y / h * 60), p[2] = 80, p[3] = 40;
    }
  return Png(s);
}

}  // namespace lyraban::testing
