#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"
#include "graphics/picture_cache.h"
#include "sound/sound_ahead.h"

namespace lyraban {

class Resources;
class ScriptProgram;
class TextLines;

// Decoding a picture between two frames stalls the frame that shows it. So
// the lines just ahead of the running one are read for the pictures they
// will show (img and fadeout, through layer definitions, and the first lines
// of a script that LOAD or CALL leads to, which covers the branches of a
// choice), and a worker decodes them while the main thread waits for the
// player or an effect. The layers take a finished picture instead of
// decoding it; anything else they decode themselves, as they always did.
// The sounds those lines start (bgm, env, se, voice) are prepared on the
// same worker, in line order among the pictures, for the sound system.
class DecodeAhead {
 public:
  // Lines looked at ahead of the running one, and at the start of a script
  // they lead to: enough to see past a choice's branches to the scene each
  // one opens with.
  static constexpr u32 kLookAheadLines = 24;

  // Four screen-size pictures with alpha (7.7 MB at 800 x 600, 33 MB at
  // 1920 x 1080): the next scene's background, its overlays and characters,
  // which is what removes the stall. Everything held here comes on top of
  // the pictures on screen, so more would mostly hold scenes further off.
  // Pictures beyond wait for room, or are decoded on the spot.
  static std::size_t DefaultBudget(int screenWidth, int screenHeight);

  DecodeAhead(const Resources& resources, std::size_t budgetBytes,
              std::size_t soundBudgetBytes = SoundAhead::kDefaultBudget);

  // Called before every line of `running` (main thread), which `root`
  // leads to through its called programs: when the running program ends
  // within the window, its callers' lines follow. `pending` are pictures
  // the layers name but load only when next composed: lines already run
  // that are still to be seen.
  void LookAhead(const ScriptProgram& root, const ScriptProgram& running, const std::vector<std::string>& pending = {});
  // A picture decoded ahead, or false.
  bool Take(std::string_view name, Surface& pixels) { return cache_.Take(name, pixels); }
  // Restart, load and shut-down: the worker ends and everything is dropped.
  void Stop();
  // While something large loads (a movie's libraries): the worker ends and
  // everything is dropped, and the lines ahead are only noted until Resume
  // has them decoded again.
  void Hold();
  void Resume();
  bool held() const { return held_; }
  PictureCache& cache() { return cache_; }
  SoundAhead& sounds() { return sounds_; }

  // What lines [from, from + count) lead to, nearest first. `line` gives
  // the text of a line, false past the end. Scripts named by LOAD and CALL
  // are listed only with `followScripts`. Gives the number of lines read.
  using LineSource = std::function<bool(u32 index, std::string_view& text)>;
  static u32 ScanLines(const LineSource& line, u32 from, u32 count, bool followScripts, std::vector<AheadItem>& out);

 private:
  void Expand(const AheadItem& item, std::vector<AheadItem>& out) const;
  void Send(std::vector<AheadItem> items);

  const Resources& resources_;
  SoundAhead sounds_;  // before the cache: its worker produces into it
  PictureCache cache_;
  std::vector<AheadItem> lastItems_;
  bool held_ = false;
};

}  // namespace lyraban
