#pragma once
#include "base/trace.h"
#include "flow/flow_chart.h"
#include "flow/flow_state.h"
#include "graphics/png.h"
#include "screens/backlog.h"
#include "screens/screen_host.h"

namespace lyraban {

// The chart screen: the story's routes over the darkened base picture, with
// the chapter label of the grid point under the pointer. Any click, confirm
// or cancel closes it.
class FlowchartScreen {
 public:
  // `reader` serves both "img" (the base picture) and "flow" (the chart).
  FlowchartScreen(ScreenHost& host, ResourceReader reader, PenFactory makePen)
      : host_(host), reader_(std::move(reader)), makePen_(std::move(makePen)) {}

  // Draws the chart surface for the current record: the screen's size and
  // format, black, the base picture blended at half opacity, then the chart.
  // Also returns the chart so the caller can find labels.
  bool BuildChart(const FlowState& state, Surface& chart, FlowChart& flow);

  void ShowFlowchart(const FlowState& state);

 private:
  ScreenHost& host_;
  ResourceReader reader_;
  PenFactory makePen_;
};

}  // namespace lyraban
