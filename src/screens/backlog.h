#pragma once
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/types.h"
#include "graphics/png.h"
#include "graphics/surface.h"
#include "screens/button_sets.h"
#include "screens/screen_host.h"

namespace lyraban {

class SaveArchive;
class TextPen;

struct BacklogEntry {
  std::string Name;
  std::string Text;  // plain text, line feeds kept
  std::string Voice;
};

// The last 60 shown lines in a ring. Entry k (1 = newest) lives in slot
// (write index + 60 − k) mod 60; age 0 is the slot about to be overwritten.
class BacklogStore {
 public:
  static constexpr u32 kSlots = 60;

  // The voice tag names the voice of the next line; empty clears it.
  void SetPendingVoice(std::string_view path) { pendingVoice_ = path; }
  const std::string& pendingVoice() const { return pendingVoice_; }
  // Overwrites the oldest slot; the pending voice goes with the line.
  void AddBacklogEntry(std::string_view name, std::string_view text);
  // The script's resume point: a loaded game rewrites from here.
  void MarkBacklogPage() { pageMark_ = writeIndex_; }
  // Entry of age k (taken modulo 60).
  const BacklogEntry& GetBacklogEntry(u32 age) const;
  // All slots empty, indices and pending voice cleared.
  void Clear();

  // One routine for both directions of the save section. Reading sets the
  // write index to the saved page mark, so the lines the script replays
  // after the resume point overwrite their old copies.
  void SerializeBacklog(SaveArchive& section);

  u32 writeIndex() const { return writeIndex_; }
  u32 pageMark() const { return pageMark_; }

 private:
  std::array<BacklogEntry, kSlots> ring_{};
  u32 writeIndex_ = 0;
  u32 pageMark_ = 0;
  std::string pendingVoice_;
};

// Makes a screen's pen at a size and line gap; null when no font can be made.
using PenFactory = std::function<std::unique_ptr<TextPen>(int size, int gap)>;

// The backlog screen: the darkened scene, eight rows of past lines with a
// replay button each, a scroll bar with a draggable handle and two scroll
// icons. Runs until the player cancels.
class BacklogScreen {
 public:
  static constexpr i32 kRows = 8;
  static constexpr i32 kRowHeight = 75;
  static constexpr i32 kMaxPosition = 49;
  static constexpr i32 kBarX = 780;
  static constexpr i32 kUpId = 100, kDownId = 101;

  BacklogScreen(ScreenHost& host, ButtonSets& sets, ResourceReader reader, PenFactory makePen,
                std::function<void(std::string_view voice)> playVoice)
      : host_(host),
        sets_(sets),
        reader_(std::move(reader)),
        makePen_(std::move(makePen)),
        playVoice_(std::move(playVoice)) {}

  // Shows the store until a cancel command (or a quit); the caller redraws
  // the scene afterwards.
  void RunBacklog(const BacklogStore& store);

  // Scroll position for the handle dragged to client y.
  static i32 PositionForHandleY(i32 y);
  // Where the handle is drawn for a position.
  static i32 HandleY(i32 position) { return 520 - position * 500 / kMaxPosition; }

 private:
  void DrawRows(const BacklogStore& store, i32 position, TextPen* pen, Surface& text);

  ScreenHost& host_;
  ButtonSets& sets_;
  ResourceReader reader_;
  PenFactory makePen_;
  std::function<void(std::string_view)> playVoice_;
};

}  // namespace lyraban
