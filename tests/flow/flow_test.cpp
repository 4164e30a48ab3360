#include <gtest/gtest.h>

#include "flow/flow_chart.h"
#include "flow/flow_state.h"
#include "flow/flowchart_screen.h"
#include "persist/save_archive.h"
#include "resources/text_lines.h"
#include "screens/screens_fixture.h"
#include "text/fake_fonts.h"
#include "text/text_pen.h"

namespace lyraban::testing {
namespace {

TextLines Lines(const std::string& text) {
  TextLines lines;
  lines.Split(text);
  return lines;
}

FlowState StateWithChecklist(const std::string& names) {
  FlowState state;
  state.LoadChecklist(Lines(names));
  return state;
}

// A node as x, y, type and state; a link segment as horizontal and target.
using Node = std::array<i64, 4>;
using Segment = std::array<i64, 2>;
Node Fields(const FlowChart::Node& n) { return {n.x, n.y, n.type, n.state}; }
Segment Fields(const FlowChart::Segment& s) { return {s.horizontal, s.target}; }

std::array<int, 3> Rgb(const Surface& s, int x, int y) {
  const u8* p = s.Row(y) + x * 3;
  return {p[2], p[1], p[0]};
}
std::array<int, 3> Rgb(FlowColour c) { return {c.red, c.green, c.blue}; }

TEST(FlowState, ARouteThroughThreeStoryPoints) {
  FlowState state = StateWithChecklist("A\r\nB\r\n\r\nC\r\n");
  state.FlowPass("A.txt");
  state.FlowPass("other.txt");  // not a story point
  state.FlowPass("B.txt");
  state.FlowPass("C.old.txt");  // cut at the last dot: "C.old"
  state.FlowPass("C");
  using Set = std::set<std::string, std::less<>>;
  EXPECT_EQ(state.routeNodes(), (Set{"A", "B", "C"}));
  EXPECT_EQ(state.visitedNodes(), (Set{"A", "B", "C"}));
  EXPECT_EQ(state.routeLinks(), (Set{"A\tB", "B\tC"}));
  EXPECT_EQ(state.visitedLinks(), (Set{"A\tB", "B\tC"}));
  EXPECT_EQ(state.lastNode(), "C");
  EXPECT_EQ(state.NodeState("C"), 3);
  EXPECT_EQ(state.NodeState("A"), 2);
}

TEST(FlowState, NewRouteKeepsTheVisitedAndResetForgetsAll) {
  FlowState state = StateWithChecklist("A\r\nB\r\nC\r\nD\r\n");
  for (const char* name : {"A", "B", "C"}) state.FlowPass(name);
  state.FlowNewRoute();
  state.FlowPass("A");
  state.FlowPass("D");
  EXPECT_EQ(state.NodeState("A"), 2);
  EXPECT_EQ(state.NodeState("D"), 3);
  EXPECT_EQ(state.NodeState("B"), 1);
  EXPECT_EQ(state.LinkState("A\tB"), 1);
  EXPECT_EQ(state.LinkState("A\tD"), 2);
  EXPECT_EQ(state.LinkState("C\tA"), 0) << "no link into A: the route began empty";
  state.FlowReset();
  EXPECT_EQ(state.lastNode(), "");
  EXPECT_EQ(state.NodeState("B"), 0);
  EXPECT_TRUE(state.visitedLinks().empty());
}

TEST(FlowState, SectionRoundTripReplacesTheSets) {
  FlowState saved = StateWithChecklist("A\r\nB\r\n");
  saved.FlowPass("A");
  saved.FlowPass("B");
  saved.FlowNewRoute();
  saved.FlowPass("B");
  SaveArchive section;
  saved.SerializeFlow(section);
  SaveArchive reading;
  reading.OpenForReading(section.bytes());
  for (const char* key : {"LastNode", "AN_Count", "AL_Count", "VN_Count", "VL_Count", "AN0", "VN1", "VL0"})
    EXPECT_TRUE(reading.Contains(key)) << key;
  EXPECT_FALSE(reading.Contains("AL0")) << "the new route has no link yet";

  FlowState loaded = StateWithChecklist("Z\r\n");
  loaded.FlowPass("Z");
  loaded.SerializeFlow(reading);
  EXPECT_EQ(loaded.lastNode(), "B");
  EXPECT_EQ(loaded.NodeState("Z"), 0) << "reading empties the sets first";
  EXPECT_EQ(loaded.NodeState("A"), 1);
  EXPECT_EQ(loaded.LinkState("A\tB"), 1);

  // A count far larger than the members written costs nothing.
  SaveArchive forged;
  std::string last = "A";
  u32 huge = 0xFFFFFFFF, one = 1;
  forged.ExchangeString("LastNode", last);
  forged.Exchange("AN_Count", huge);
  for (const char* key : {"AL_Count", "VN_Count", "VL_Count"}) forged.Exchange(key, one);
  forged.ExchangeString("AN0", last);
  SaveArchive forgedReading;
  forgedReading.OpenForReading(forged.bytes());
  loaded.SerializeFlow(forgedReading);
  EXPECT_EQ(loaded.routeNodes().size(), 1u);
  EXPECT_TRUE(loaded.visitedNodes().empty());
}

TEST(FlowChartParse, BlocksOffsetsLinksAndLabels) {
  FlowState state = StateWithChecklist("A\r\nB\r\n");
  state.FlowPass("A");
  state.FlowPass("B");
  const FlowChart chart = ParseFlowData(Lines("params\r\n"
                                              "offset 2 1\r\n"
                                              "\r\n"
                                              "SELECT 3 4\r\n"
                                              "flag A\r\n"
                                              "chapt 序章\r\n"
                                              "colour red\r\n"  // unknown: ignored
                                              "link B x10 y8 z3 x xq\r\n"
                                              "; comment ends the block\r\n"
                                              "keypoint 10 8\r\n"
                                              "flag B\r\n"),  // no closing line: kept at the end
                                        state);
  ASSERT_EQ(chart.nodes.size(), 2u);
  EXPECT_EQ(Fields(chart.nodes[0]), (Node{5, 5, FlowChart::kSelect, 2}));
  EXPECT_EQ(Fields(chart.nodes[1]), (Node{12, 9, FlowChart::kKeypoint, 3}));
  ASSERT_EQ(chart.links.size(), 1u);
  EXPECT_EQ(chart.links[0].state, 2);
  ASSERT_EQ(chart.links[0].segments.size(), 2u);
  EXPECT_EQ(Fields(chart.links[0].segments[0]), (Segment{1, 12}));
  EXPECT_EQ(Fields(chart.links[0].segments[1]), (Segment{0, 9}));
  ASSERT_EQ(chart.labels.size(), 1u);
  EXPECT_EQ(chart.LabelAt(5, 5), &chart.labels[0]);
}

TEST(FlowChartParse, HostileLinesDrawWhatTheyCan) {
  FlowState state;
  const std::string huge = "99999999999999999999999";
  const FlowChart chart = ParseFlowData(Lines("plain\r\n"  // no coordinates: 0, 0
                                              "link X x" +
                                              huge + " y-" + huge +  // far off the chart
                                              "\r\n\r\nplain " + huge + " -" + huge + "\r\n"),
                                        state);
  ASSERT_EQ(chart.nodes.size(), 2u);
  EXPECT_EQ(Fields(chart.nodes[0]), (Node{0, 0, FlowChart::kPlain, 0}));
  Surface surface;
  ASSERT_TRUE(surface.Create(3, 64, 64));
  FillRect(surface, 0, 0, 0, 0, 0, 64, 64);
  DrawFlowChart(surface, chart);  // must clip, not overflow
  EXPECT_EQ(Rgb(surface, 1, 1), Rgb(FlowNodeColour(FlowChart::kPlain, 0))) << "node at the origin is clipped to 4×4";
  EXPECT_EQ(Rgb(surface, 30, 0), Rgb(FlowLinkColour(0))) << "the horizontal segment runs along the top edge";
}

TEST(FlowChartDraw, ColoursOfTheRouteInPixels) {
  FlowState state = StateWithChecklist("A\r\nB\r\nC\r\nD\r\n");
  for (const char* name : {"A", "B", "C"}) state.FlowPass(name);
  state.FlowNewRoute();
  state.FlowPass("A");
  state.FlowPass("D");
  // A (2,2) links to B (6,2) and D (2,6); B links to C (6,6); D is a switch.
  const FlowChart chart = ParseFlowData(Lines("select 2 2\r\nflag A\r\nlink B x6\r\nlink D y6\r\n\r\n"
                                              "plain 6 2\r\nflag B\r\nlink C y6\r\n\r\n"
                                              "plain 6 6\r\nflag C\r\n\r\n"
                                              "keypoint 2 6\r\nflag D\r\n\r\n"
                                              "keypoint 9 9\r\nflag E\r\n"),
                                        state);
  Surface s;
  ASSERT_TRUE(s.Create(3, 200, 200));
  FillRect(s, 0, 0, 0, 0, 0, 200, 200);
  DrawFlowChart(s, chart);
  using C = std::array<int, 3>;
  EXPECT_EQ(Rgb(s, 32, 32), (C{255, 255, 130})) << "A: on the route";
  EXPECT_EQ(Rgb(s, 32, 96), (C{255, 255, 255})) << "D: the last node";
  EXPECT_EQ(Rgb(s, 96, 32), (C{100, 100, 200})) << "B: visited earlier";
  EXPECT_EQ(Rgb(s, 144, 144), (C{255, 180, 255})) << "E: never reached keypoint";
  EXPECT_EQ(Rgb(s, 64, 32), (C{100, 100, 200})) << "link A→B: visited earlier";
  EXPECT_EQ(Rgb(s, 32, 64), (C{255, 180, 0})) << "link A→D: on the route";
  EXPECT_EQ(Rgb(s, 64, 30), (C{0, 0, 0})) << "links are two pixels thick";
  EXPECT_EQ(Rgb(s, 64, 31), (C{100, 100, 200}));
  EXPECT_EQ(Rgb(s, 64, 33), (C{0, 0, 0}));
  EXPECT_EQ(Rgb(s, 27, 32), (C{0, 0, 0})) << "nodes are 8 pixels wide";
  EXPECT_EQ(Rgb(s, 28, 32), (C{255, 255, 130}));
  EXPECT_EQ(Rgb(s, 35, 32), (C{255, 255, 130}));
  EXPECT_EQ(Rgb(s, 36, 32), (C{100, 100, 200})) << "past the node the link shows";
}

TEST(FlowChartDraw, NodeColourRules) {
  EXPECT_EQ(FlowNodeColour(FlowChart::kSwitch, 0), (FlowColour{255, 255, 130}));
  EXPECT_EQ(FlowNodeColour(FlowChart::kSwitch, 3), (FlowColour{255, 255, 255}));
  EXPECT_EQ(FlowNodeColour(FlowChart::kSelect, 1), (FlowColour{130, 255, 255}));
  EXPECT_EQ(FlowNodeColour(FlowChart::kKeypoint, 1), (FlowColour{100, 100, 200}));
  EXPECT_EQ(FlowNodeColour(FlowChart::kSelect, 0), (FlowColour{50, 50, 100}));
}

TEST(FlowchartScreen, LabelShowsWithinEightPixelsOfItsGridPoint) {
  GameFiles files;
  files.files["flow/flowdata.txt"] = "plain 10 5\r\nchapt L\r\n";
  FontRig rig;
  ButtonSets sets{files.reader()};
  FakeScreenHost host{sets};
  host.expectedContext = 2;
  FlowchartScreen screen(host, files.reader(), [&](int size, int gap) {
    auto pen = std::make_unique<TextPen>(rig.rasterizer, rig.fonts, 800, 600);
    pen->SetFont(size, gap);
    return pen;
  });
  FlowState state;
  auto shownAt = [&](i32 x, i32 y) {
    host.Do([=](FakeScreenHost& h) { h.pointer = {x, y, false}; });
    host.Key(3);
    screen.ShowFlowchart(state);
    // The label's white cell starts at the snapped point.
    return Rgb(host.screen, FlowLabelX(x) + 5, FlowLabelY(y) + 5) == std::array<int, 3>{255, 255, 255};
  };
  EXPECT_TRUE(shownAt(160, 80));
  EXPECT_TRUE(shownAt(152, 87));
  EXPECT_FALSE(shownAt(151, 80)) << "nine pixels left of the point";
  EXPECT_FALSE(shownAt(160, 88)) << "eight pixels below belongs to the next cell";
  EXPECT_EQ(FlowLabelX(160), 168);
  EXPECT_EQ(FlowLabelY(80), 64);
}

}  // namespace
}  // namespace lyraban::testing
