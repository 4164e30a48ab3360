// Saving and loading a game in the sample game's scene: the thumbnail, the six
// sections, the slot file written and renamed; and loading it back up to the
// first presented frame (scripts of the chain loaded, layers decoded and
// composed, the frame handed to the platform).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "base/trace.h"
#include "graphics/layer.h"
#include "graphics/surface.h"
#include "graphics/thumbnail.h"
#include "persist/read_log.h"
#include "persist/save_slots.h"
#include "platform/headless/headless_platform.h"
#include "platform/sdl/sdl_audio.h"
#include "resources/resources.h"
#include "script/flags.h"
#include "script/interpreter.h"
#include "script/quiet_host.h"
#include "script/script_state.h"
#include "sound/sound.h"

#ifndef LYRABAN_DEMO_DIR
#define LYRABAN_DEMO_DIR "build/demo"
#endif

namespace lyraban {
namespace {

// The running game in miniature: the sample game's archives, a chapter
// scene on the layers, a two-program call chain, local flags and music.
struct Scene final : SaveSlotHost {
  Scene()
      : resources(trace),
        flags(trace, {}),
        readLog(trace),
        interpreter(resources, readLog, flags, tags, host, platform.clock(), trace),
        sound(resources, platform.clock(), converters, trace) {
    resources.OpenDataFolder(LYRABAN_DEMO_DIR);
    resources.OpenAllArchives();
    screens.Create(800, 600);
    platform.CreateMainWindow(800, 600);
    layers = std::make_unique<LayerSet>(resources, trace, platform.clock(), 800, 600);
    SetUpLayers();
    layers->ComposeLayers(screens.ComposedBuffer());
    interpreter.RootProgram.Load("start.txt");
    interpreter.RootProgram.ResumeLine = 10;
    interpreter.RootProgram.Child = interpreter.RootProgram.MakeChild();
    interpreter.RootProgram.Child->Load("chapter1.txt");
    interpreter.RootProgram.Child->ResumeLine = 80;
    interpreter.ChapterName = "chapter";
    for (int i = 0; i < 200; ++i) flags.SetValue(FlagBank::Local, i, i * 3);
    sound.PlayBGM("bgm_theme.ogg", true);

    slots = std::make_unique<SaveSlots>(folder, *this, trace);
    slots->SetSectionOwner(SaveSectionKind::Script, [this](SaveArchive& a) { SerializeScriptState(interpreter, a); });
    slots->SetSectionOwner(SaveSectionKind::Sound, [this](SaveArchive& a) { sound.SerializeSound(a); });
    slots->SetSectionOwner(SaveSectionKind::Anime, [this](SaveArchive& a) {
      if (a.IsWriting())
        layers->SaveLayers(a);
      else
        layers->LoadLayers(a, screens.ComposedBuffer());
    });
    slots->SetSectionOwner(SaveSectionKind::Flags, [this](SaveArchive& a) { flags.SerializeLocalFlags(a); });
  }
  ~Scene() override {
    sound.Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  void SetUpLayers() {
    layers->SetLayerImage(0, "room.img");
    layers->ApplyLayerDefinition(0, 2);
    layers->SetLayerImage(1, "hikari.img");
    layers->ApplyLayerDefinition(1, 2);
    layers->SetLayerImage(2, "chr_sora.png");
  }

  SaveMoment LocalNow() override { return {2026, 12, 6, 4, 0, 0, 0}; }
  i32 DeathCount() override { return 0; }
  std::string ChapterDate() override { return interpreter.ChapterDate; }
  std::string ChapterName() override { return interpreter.ChapterName; }
  void DrawThumbnail(u8* pixels) override {
    MakeThumbnail(screens.ComposedBuffer(), kThumbnailWidth, kThumbnailHeight, pixels);
  }

  Trace trace;
  platform::HeadlessPlatform platform;
  platform::SdlAudioConverterFactory converters;
  Resources resources;
  FlagStore flags;
  ReadLog readLog;
  NoTags tags;
  QuietHost host;
  Interpreter interpreter;
  SoundSystem sound;
  ScreenBuffers screens;
  std::unique_ptr<LayerSet> layers;
  std::unique_ptr<SaveSlots> slots;
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("lyraban-save-bench-" + std::to_string(::getpid()));
};

void BM_SaveGame(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    if (!scene.slots->SaveGame(1)) state.SkipWithError("the save failed");
  }
}
BENCHMARK(BM_SaveGame)->Unit(benchmark::kMillisecond);

void BM_LoadGameToFirstFrame(benchmark::State& state) {
  Scene scene;
  if (!scene.slots->SaveGame(1)) state.SkipWithError("the save failed");
  for (auto _ : state) {
    // A load meets a different scene: the layers decode their pictures anew.
    state.PauseTiming();
    scene.layers->ClearAllLayers();
    state.ResumeTiming();
    if (!scene.slots->LoadGame(1) || !scene.interpreter.PrepareRun()) state.SkipWithError("the load failed");
    Surface& front = scene.screens.FrontBuffer();
    CopyScreen(front, scene.screens.ComposedBuffer());
    scene.platform.Present(front.pixels(), front.width(), front.height(), front.stride() * front.bytesPerPixel());
  }
}
BENCHMARK(BM_LoadGameToFirstFrame)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lyraban
