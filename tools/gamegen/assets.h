#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "canvas.h"
#include "synth.h"

namespace lyraban::gamegen {

// Where generated files go; counts what was written and what failed.
struct Output {
  std::string root;
  std::vector<std::string> files;
  int failures = 0;
  // The game's screen; pictures are drawn for it (see screen_size.h).
  int screenWidth = 800;
  int screenHeight = 600;

  void Picture(const std::string& relative, const Canvas& canvas, bool withAlpha);
  void Sound(const std::string& relative, const Pcm& pcm, float quality,
             const std::vector<std::pair<std::string, std::string>>& comments = {});
};

// Every picture of the game: the splash goes to `system` (it is shown while
// only the first archive is open), everything else to `graphics`.
void MakePictures(Output& graphics, Output& system);
// Every sound: bgm, env, se and voice folders below `sound`.
void MakeSounds(Output& sound);

// Single builders, kept visible for the tests.
inline constexpr int kPromptFrames = 8;
inline constexpr int kPromptSide = 24;
Canvas MakePrompt();
Canvas MakeSelectItem();
// Three (or four, with a disabled look) pictures stacked vertically.
Canvas MakeButtonFrames(int width, int height, int frames, const Rgba& base);
Canvas MakeMessageBox(int kind);  // 0 normal, 1 with clock socket, 2 without clock
Canvas MakeClockHand(float length, float thickness, const Rgba& colour);
Canvas MakeRule(int kind);  // grey rule pictures for wipes
Canvas MakeMapIcon(const Rgba& colour, int shape);
Canvas MakeMapLabel(const Rgba& colour, std::string_view name);
Canvas MakeTitle();

// Loop points of the title music, in samples at its rate.
struct MusicLoop {
  long start;
  long end;
};
Pcm MakeTitleMusic(MusicLoop& loop);

}  // namespace lyraban::gamegen
