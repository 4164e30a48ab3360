#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"
#include "graphics/surface.h"

namespace lyraban {

class FlowState;
class TextLines;

// The chart as "flowdata.txt" describes it, with every element's state taken
// from the flow record. Coordinates are grid units (16 pixels), offsets
// already added; they are kept in 64 bits because the file may hold any
// number.
struct FlowChart {
  enum NodeType : u8 { kPlain = 0, kSelect = 1, kSwitch = 2, kKeypoint = 3 };

  struct Node {
    i64 x = 0, y = 0;
    u8 type = kPlain;
    u8 state = 0;
    std::string name;
  };
  struct Segment {
    bool horizontal = true;
    i64 target = 0;  // the x (horizontal) or y (vertical) the segment ends at
  };
  struct Link {
    i64 x = 0, y = 0;  // where the first segment starts: its node
    std::vector<Segment> segments;
    u8 state = 0;
  };
  struct Label {
    std::string text;
    i64 x = 0, y = 0;
  };

  std::vector<Node> nodes;
  std::vector<Link> links;
  std::vector<Label> labels;

  // The label whose grid point is exactly (x, y), or null.
  const Label* LabelAt(i64 x, i64 y) const;
};

// Builds the chart from the lines of "flowdata.txt". Unknown words are
// ignored; a node block still open at the end of the file is kept.
FlowChart ParseFlowData(const TextLines& lines, const FlowState& state);

struct FlowColour {
  u8 red, green, blue;
  bool operator==(const FlowColour&) const = default;
};
FlowColour FlowNodeColour(u8 type, u8 state);
FlowColour FlowLinkColour(u8 state);

// Draws the links, then the nodes, each in ascending order of state so the
// route taken lies on top.
void DrawFlowChart(Surface& chart, const FlowChart& flow);

// Grid cell under a client point, and the top left at which a label shown
// for it is drawn.
inline i64 FlowCellOf(i32 pixel) { return (i64{pixel} + 8) >> 4; }
inline i32 FlowLabelX(i32 mouseX) { return static_cast<i32>(((i64{mouseX} + 8) & ~i64{15}) + 8); }
inline i32 FlowLabelY(i32 mouseY) { return static_cast<i32>(((i64{mouseY} + 8) & ~i64{15}) - 16); }

}  // namespace lyraban
