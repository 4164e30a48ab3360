#pragma once
#include <string_view>

#include "base/trace.h"
#include "base/types.h"
#include "graphics/png.h"
#include "screens/button_sets.h"
#include "screens/map_definition.h"
#include "screens/screen_host.h"

namespace lyraban {

// The choice menu of a SELECT block, as a list of labelled items or as a map
// of places. Items go into the engine's choice group; RunChoice shows them
// and waits for the player.
class ChoiceMenu {
 public:
  static constexpr i32 kItemX = 100, kItemTop = 160, kItemPitch = 70;
  static constexpr i32 kTextTop = 20;
  // Half the pen size: each byte of a label is half a 26-pixel cell wide.
  static constexpr i32 kTextHalfWidth = 13;

  // `reader` serves the map files (folder "map"); the groups load their own
  // images.
  ChoiceMenu(ButtonSets& sets, ScreenHost& host, ResourceReader reader, Trace& trace)
      : sets_(sets), host_(host), reader_(std::move(reader)), trace_(trace) {}

  // An ordinary choice: no items, a cleared text overlay, map mode off.
  void BeginChoices();
  // Adds "sys_select_item.png" as item `count` with the label drawn on the
  // overlay; the button reports `id`.
  void AddChoice(i32 id, std::string_view text);

  // A map choice: empties the items and tables, reads "map"/name. False when
  // the file cannot be read; map mode then stays off and the caller offers
  // the choice lines as an ordinary choice.
  bool PrepareMap(std::string_view name);
  // The icon's button at the place, reporting `id`; nothing when the icon or
  // the place is unknown. Disabled places cannot be picked.
  void AddMapPlace(i32 id, std::string_view icon, std::string_view place, bool enabled);

  // Shows the choice and waits: the picked id, or 0 when the choice was
  // abandoned (a game loaded, back to the title, quitting). The items are
  // gone afterwards.
  i32 RunChoice();
  i32 RunMap() { return RunChoice(); }

  bool mapMode() const { return mapMode_; }
  i32 itemCount() const { return count_; }
  const MapDefinition& map() const { return map_; }

 private:
  void EmptyItems();
  i32 Finish(i32 result, bool skipWasOn);

  ButtonSets& sets_;
  ScreenHost& host_;
  ResourceReader reader_;
  Trace& trace_;
  MapDefinition map_;
  i32 count_ = 0;
  bool mapMode_ = false;
};

}  // namespace lyraban
