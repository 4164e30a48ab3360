#pragma once
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "base/strings.h"
#include "base/trace.h"
#include "base/types.h"

namespace lyraban {

struct MapIcon {
  i32 frames = 0;
  std::string image;
};

struct MapPlace {
  i32 x = 0, y = 0;
  std::string label;  // shown while the place is hovered; may be empty
  i32 labelX = 0, labelY = 0;
};

// The icons and places of a map selection, read from a text file of
//   ICON: name frames image
//   PLACE: name x y label labelX labelY
// lines (keywords in any letter case, ";" comments, lines without ":"
// ignored). Names are keys without regard to letter case; a later line with
// the same name replaces the earlier one.
class MapDefinition {
 public:
  void Clear() {
    icons_.clear();
    places_.clear();
  }
  // A line with a ':' whose keyword is neither ICON nor PLACE, which the
  // reader passes over (the game checker reports them).
  using IgnoredLineFn = std::function<void(std::size_t lineIndex)>;

  // Adds the declarations of a whole file; `name` only labels diagnostics.
  void Parse(std::string_view text, std::string_view name, Trace& trace, const IgnoredLineFn& ignored = {});

  const MapIcon* FindIcon(std::string_view name) const;
  const MapPlace* FindPlace(std::string_view name) const;
  const std::map<std::string, MapIcon, LessNoCase>& icons() const { return icons_; }
  const std::map<std::string, MapPlace, LessNoCase>& places() const { return places_; }
  std::size_t iconCount() const { return icons_.size(); }
  std::size_t placeCount() const { return places_.size(); }

 private:
  std::map<std::string, MapIcon, LessNoCase> icons_;
  std::map<std::string, MapPlace, LessNoCase> places_;
};

// Decimal with an optional sign, read up to the first other byte; text
// without digits is 0. Values past the i32 range stop growing.
i32 ParseMapNumber(std::string_view text);

}  // namespace lyraban
