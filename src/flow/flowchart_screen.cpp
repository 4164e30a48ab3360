#include "flow/flowchart_screen.h"

#include <cstring>

#include "graphics/blend.h"
#include "resources/text_lines.h"
#include "text/text_pen.h"

namespace lyraban {

namespace {
constexpr u8 kScreenContext = 2;
constexpr i32 kLabelWidth = 400, kLabelHeight = 20;
}  // namespace

bool FlowchartScreen::BuildChart(const FlowState& state, Surface& chart, FlowChart& flow) {
  const Surface& screen = host_.ScreenSurface();
  if (!screen.HasPixels() || !chart.Create(screen.bytesPerPixel(), screen.width(), screen.height())) return false;
  std::memset(chart.pixels(), 0, chart.ByteSize());
  Surface base;
  if (LoadPng(reader_, "sys_flow_base.png", base)) BlendAll(chart, base, BlendMode::Normal, 0, 0, 128);

  std::string bytes;
  TextLines lines;
  if (reader_ && reader_("flow", "flowdata.txt", bytes)) lines.Split(std::move(bytes));
  flow = ParseFlowData(lines, state);
  DrawFlowChart(chart, flow);
  return true;
}

void FlowchartScreen::ShowFlowchart(const FlowState& state) {
  Surface chart;
  FlowChart flow;
  if (!BuildChart(state, chart, flow)) return;
  std::unique_ptr<TextPen> pen = makePen_ ? makePen_(20, 20) : nullptr;
  Surface label;
  label.Create(4, kLabelWidth, kLabelHeight);

  host_.ClearInput();
  for (;;) {
    if (!host_.PumpInput(kScreenContext, true)) break;
    Surface& target = host_.ScreenSurface();
    CopyScreen(target, chart);
    const Pointer pointer = host_.MousePointer();
    const FlowChart::Label* shown = flow.LabelAt(FlowCellOf(pointer.x), FlowCellOf(pointer.y));
    if (shown && pen && label.HasPixels()) {
      const i32 x = FlowLabelX(pointer.x), y = FlowLabelY(pointer.y);
      // A one-pixel black outline, then the white text.
      pen->right = kLabelWidth;
      pen->bottom = kLabelHeight;
      std::memset(label.pixels(), 0, label.ByteSize());
      pen->colour = {0, 0, 0};
      pen->Reset();
      pen->DrawString(label, shown->text, false);
      BlitAll(target, label, x + 1, y);
      BlitAll(target, label, x, y + 1);
      BlitAll(target, label, x - 1, y);
      BlitAll(target, label, x, y - 1);
      std::memset(label.pixels(), 0, label.ByteSize());
      pen->colour = {255, 255, 255};
      pen->Reset();
      pen->DrawString(label, shown->text, false);
      BlitAll(target, label, x, y);
    }
    host_.PresentScreen();
    const u8 command = host_.PendingCommand();
    if (command >= 1 && command <= 3) break;
    if (command != 0) host_.ClearInput();
  }
  host_.ClearInput();
}

}  // namespace lyraban
