#include "flow/flow_chart.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "base/strings.h"
#include "flow/flow_state.h"
#include "resources/text_lines.h"

namespace lyraban {

namespace {

// Grid numbers far outside any screen are clamped here, so that offsets and
// pixel arithmetic never overflow; such elements are simply off the chart.
constexpr i64 kGridLimit = i64{1} << 32;

i64 ClampGrid(i64 value) { return std::clamp(value, -kGridLimit, kGridLimit); }

// A leading decimal integer as atoi reads it (optional sign, digits; anything
// after them ignored); 0 when there is none.
i64 ParseNumber(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  i64 value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kGridLimit) value = kGridLimit;
  }
  return negative ? -value : value;
}

bool StartsWithDigitOrSign(std::string_view text) {
  if (text.empty()) return false;
  if (text[0] == '-' || text[0] == '+') return text.size() > 1 && text[1] >= '0' && text[1] <= '9';
  return text[0] >= '0' && text[0] <= '9';
}

u8 NodeTypeOf(std::string_view word) {
  if (EqualsNoCase(word, "select")) return FlowChart::kSelect;
  if (EqualsNoCase(word, "switch")) return FlowChart::kSwitch;
  if (EqualsNoCase(word, "keypoint")) return FlowChart::kKeypoint;
  return FlowChart::kPlain;
}

void FillClamped(Surface& surface, FlowColour c, i64 x0, i64 y0, i64 x1, i64 y1) {
  x0 = std::max<i64>(x0, 0);
  y0 = std::max<i64>(y0, 0);
  x1 = std::min<i64>(x1, surface.width());
  y1 = std::min<i64>(y1, surface.height());
  if (x0 >= x1 || y0 >= y1) return;
  FillRect(surface, c.red, c.green, c.blue, static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
           static_cast<int>(y1 - y0));
}

}  // namespace

const FlowChart::Label* FlowChart::LabelAt(i64 x, i64 y) const {
  for (const auto& label : labels) {
    if (label.x == x && label.y == y) return &label;
  }
  return nullptr;
}

FlowChart ParseFlowData(const TextLines& lines, const FlowState& state) {
  FlowChart chart;
  enum class Block { None, Params, Node } block = Block::None;
  i64 offsetX = 0, offsetY = 0;
  FlowChart::Node node;
  TokenList args;

  auto endBlock = [&] {
    if (block == Block::Node) chart.nodes.push_back(std::move(node));
    node = FlowChart::Node{};
    block = Block::None;
  };

  for (std::size_t i = 0; i < lines.LineCount(); ++i) {
    args.Split(lines.Line(i));
    if (args.Count() == 0 || args[0].starts_with(";")) {
      endBlock();
      continue;
    }
    const std::string_view word = args[0];
    if (block == Block::None) {
      if (EqualsNoCase(word, "params")) {
        block = Block::Params;
      } else {
        block = Block::Node;
        node.type = NodeTypeOf(word);
        node.x = ClampGrid(ParseNumber(args[1]) + offsetX);
        node.y = ClampGrid(ParseNumber(args[2]) + offsetY);
      }
      continue;
    }
    if (block == Block::Params) {
      if (EqualsNoCase(word, "offset")) {
        offsetX = ParseNumber(args[1]);
        offsetY = ParseNumber(args[2]);
      }
      continue;
    }
    if (EqualsNoCase(word, "flag")) {
      node.name = std::string(args[1]);
      node.state = state.NodeState(node.name);
    } else if (EqualsNoCase(word, "chapt")) {
      chart.labels.push_back({std::string(args[1]), node.x, node.y});
    } else if (EqualsNoCase(word, "link")) {
      FlowChart::Link link;
      link.x = node.x;
      link.y = node.y;
      link.state = state.LinkState(FlowState::LinkKey(node.name, args[1]));
      for (std::size_t a = 2; a < args.Count(); ++a) {
        const std::string_view segment = args[static_cast<i64>(a)];
        if (segment.size() < 2 || !StartsWithDigitOrSign(segment.substr(1))) continue;
        const char axis = static_cast<char>(segment[0] | 0x20);
        if (axis == 'x') {
          link.segments.push_back({true, ClampGrid(ParseNumber(segment.substr(1)) + offsetX)});
        } else if (axis == 'y') {
          link.segments.push_back({false, ClampGrid(ParseNumber(segment.substr(1)) + offsetY)});
        }
      }
      chart.links.push_back(std::move(link));
    }
  }
  endBlock();
  return chart;
}

FlowColour FlowNodeColour(u8 type, u8 state) {
  if (state == 3) return {255, 255, 255};
  if (type == FlowChart::kSwitch || state == 2) return {255, 255, 130};
  if (state == 1) return type == FlowChart::kSelect ? FlowColour{130, 255, 255} : FlowColour{100, 100, 200};
  return type == FlowChart::kKeypoint ? FlowColour{255, 180, 255} : FlowColour{50, 50, 100};
}

FlowColour FlowLinkColour(u8 state) {
  if (state == 2) return {255, 180, 0};
  if (state == 1) return {100, 100, 200};
  return {50, 50, 100};
}

void DrawFlowChart(Surface& chart, const FlowChart& flow) {
  if (!chart.HasPixels()) return;
  std::vector<const FlowChart::Link*> links;
  for (const auto& link : flow.links) links.push_back(&link);
  std::stable_sort(links.begin(), links.end(), [](auto* a, auto* b) { return a->state < b->state; });
  for (const auto* link : links) {
    const FlowColour colour = FlowLinkColour(link->state);
    i64 x = link->x, y = link->y;
    for (const auto& segment : link->segments) {
      if (segment.horizontal) {
        FillClamped(chart, colour, std::min(x, segment.target) * 16 - 1, y * 16 - 1,
                    std::max(x, segment.target) * 16 + 1, y * 16 + 1);
        x = segment.target;
      } else {
        FillClamped(chart, colour, x * 16 - 1, std::min(y, segment.target) * 16 - 1, x * 16 + 1,
                    std::max(y, segment.target) * 16 + 1);
        y = segment.target;
      }
    }
  }
  std::vector<const FlowChart::Node*> nodes;
  for (const auto& node : flow.nodes) nodes.push_back(&node);
  std::stable_sort(nodes.begin(), nodes.end(), [](auto* a, auto* b) { return a->state < b->state; });
  for (const auto* node : nodes) {
    FillClamped(chart, FlowNodeColour(node->type, node->state), node->x * 16 - 4, node->y * 16 - 4, node->x * 16 + 4,
                node->y * 16 + 4);
  }
}

}  // namespace lyraban
