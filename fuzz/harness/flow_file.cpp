// The flow chart's "flowdata.txt" and "checklist.txt": parsed against a
// record with a route through the check list, then drawn onto a small chart.
#include <string>

#include "flow/flow_chart.h"
#include "flow/flow_state.h"
#include "fuzz/fuzz_support.h"
#include "graphics/surface.h"
#include "resources/text_lines.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TextLines lines;
  lines.Split(text);
  FlowState state;
  state.LoadChecklist(lines);  // the same bytes as a check list: names abound
  for (std::size_t i = 0; i < lines.LineCount() && i < 8; ++i) state.FlowPass(lines.Line(i));
  const FlowChart chart = ParseFlowData(lines, state);
  Surface surface;
  if (surface.Create(3, 160, 120)) DrawFlowChart(surface, chart);
  chart.LabelAt(3, 4);
  return 0;
}
