#pragma once
#include <array>
#include <string>
#include <string_view>

#include "base/types.h"

namespace lyraban {

// A colour passed as a value: red, green, blue.
struct Rgb {
  u8 r = 0;
  u8 g = 0;
  u8 b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Which face the save/load screen opens with.
enum class SaveLoadMode : u8 { Load = 0, Save = 1 };

// Everything the tag commands act on. Each operation belongs to another
// subsystem (layers, transitions, sound, message window, input, screens,
// flowchart, movie, caption, backlog, interpreter); the engine implements
// this with whatever subsystems it owns, and tests with a recorder.
class TagTargets {
 public:
  virtual ~TagTargets() = default;

  // Layers. Indices outside 0..9 are ignored by the layer code itself.
  virtual void ClearAllLayers() = 0;
  virtual void ResetLayer(int layer) = 0;
  // Also marks the image as seen. False when the picture cannot be loaded.
  virtual bool SetLayerImage(int layer, std::string_view name) = 0;
  virtual bool ApplyLayerDefinition(int layer, int code) = 0;
  virtual void ResetLayerAnchor(int layer) = 0;
  virtual void SetLayerX(int layer, int x) = 0;
  virtual void SetLayerY(int layer, int y) = 0;

  // Transitions, effects and presentation.
  virtual void SetNextFadeDuration(int ms) = 0;
  virtual void UpdateScreen() = 0;
  virtual void PresentScreen() = 0;
  // Fills the three screen surfaces with black.
  virtual void ClearScreenSurfaces() = 0;
  virtual void Flash(int count, Rgb colour) = 0;
  virtual void Shake(int amplitudeX, int amplitudeY, int rateX, int rateY, int durationMs) = 0;
  virtual void Wipe(std::string_view rule, int durationMs) = 0;
  virtual void FadeWipe(std::string_view rule, int durationMs) = 0;
  // The developer's test picture "_test.png" driven by eight numbers.
  virtual void ShowTestImage(const std::array<int, 8>& numbers) = 0;

  // Sound.
  virtual void PlayBGM(std::string_view name, bool loop) = 0;
  virtual void FadeBGM() = 0;
  virtual void StopBGM() = 0;
  virtual void PlayEnv(std::string_view name) = 0;
  virtual void StopEnv() = 0;
  virtual void PlaySE(std::string_view name) = 0;
  virtual void StopSE() = 0;
  virtual void PlayVoice(std::string_view path) = 0;

  // Backlog: the voice of the next recorded entry.
  virtual void SetPendingVoice(std::string_view path) = 0;

  // Input. PumpInput gives false once the program is quitting.
  virtual bool PumpInput(u8 context, bool yield) = 0;
  virtual u8 PendingCommand() = 0;
  virtual void ClearPendingInput() = 0;
  virtual bool IsSkipping() = 0;
  virtual bool IsAutoMode() = 0;

  // Game screens; their results are not used by the tags.
  virtual void RunSaveLoadScreen(SaveLoadMode mode) = 0;
  virtual void RunConfigDialog() = 0;

  // Message window.
  virtual void SetMessageMode(u8 mode) = 0;
  virtual void ClockEvent(std::string_view flagA, std::string_view flagB) = 0;

  // Flowchart: forget the whole current run, or only the current route.
  virtual void FlowReset() = 0;
  virtual void FlowNewRoute() = 0;

  // Interpreter state and the caption that shows it.
  virtual u8 ScriptMode() = 0;
  virtual void SetChapterDate(std::string_view date) = 0;
  virtual void SetChapterName(std::string_view name) = 0;
  virtual void UpdateCaption() = 0;

  // Movie player: plays the file until it ends, a cancel or a quit; a
  // file that cannot be played ends it at once.
  virtual void PlayMovie(std::string_view name) = 0;
};

}  // namespace lyraban
