#include "flow/flow_state.h"

#include "persist/save_archive.h"
#include "resources/text_lines.h"

namespace lyraban {

std::string FlowState::LinkKey(std::string_view from, std::string_view to) {
  std::string key;
  key.reserve(from.size() + 1 + to.size());
  key.append(from);
  key.push_back('\t');
  key.append(to);
  return key;
}

void FlowState::LoadChecklist(const TextLines& lines) {
  for (std::size_t i = 0; i < lines.LineCount(); ++i) {
    const std::string_view line = lines.Line(i);
    if (!line.empty()) checklist_.emplace(line);
  }
}

void FlowState::FlowPass(std::string_view scriptName) {
  const auto dot = scriptName.rfind('.');
  const std::string_view name = dot == std::string_view::npos ? scriptName : scriptName.substr(0, dot);
  if (!IsStoryPoint(name)) return;
  routeNodes_.emplace(name);
  visitedNodes_.emplace(name);
  if (!lastNode_.empty()) {
    std::string key = LinkKey(lastNode_, name);
    routeLinks_.insert(key);
    visitedLinks_.insert(std::move(key));
  }
  lastNode_ = name;
}

void FlowState::FlowNewRoute() {
  lastNode_.clear();
  routeNodes_.clear();
  routeLinks_.clear();
}

void FlowState::FlowReset() {
  FlowNewRoute();
  visitedNodes_.clear();
  visitedLinks_.clear();
}

namespace {

using NameSet = std::set<std::string, std::less<>>;

void WriteSet(SaveArchive& section, std::string_view prefix, const NameSet& set) {
  u32 index = 0;
  for (const auto& member : set) {
    std::string value = member;
    section.ExchangeString(std::string(prefix) + std::to_string(index++), value);
  }
}

// Reads `count` members; a damaged or missing member ends that set, keeping
// what came before it.
void ReadSet(SaveArchive& section, std::string_view prefix, u32 count, NameSet& set) {
  for (u32 index = 0; index < count; ++index) {
    std::string value;
    if (!section.ExchangeString(std::string(prefix) + std::to_string(index), value)) return;
    set.insert(std::move(value));
  }
}

}  // namespace

void FlowState::SerializeFlow(SaveArchive& section) {
  if (section.IsWriting()) {
    section.ExchangeString("LastNode", lastNode_);
    u32 counts[4] = {static_cast<u32>(routeNodes_.size()), static_cast<u32>(routeLinks_.size()),
                     static_cast<u32>(visitedNodes_.size()), static_cast<u32>(visitedLinks_.size())};
    section.Exchange("AN_Count", counts[0]);
    section.Exchange("AL_Count", counts[1]);
    section.Exchange("VN_Count", counts[2]);
    section.Exchange("VL_Count", counts[3]);
    WriteSet(section, "AN", routeNodes_);
    WriteSet(section, "AL", routeLinks_);
    WriteSet(section, "VN", visitedNodes_);
    WriteSet(section, "VL", visitedLinks_);
    return;
  }
  lastNode_.clear();
  routeNodes_.clear();
  routeLinks_.clear();
  visitedNodes_.clear();
  visitedLinks_.clear();
  section.ExchangeString("LastNode", lastNode_);
  // The counts only bound the reads; a member that is not there ends its set,
  // so a huge count in a damaged file costs nothing.
  u32 counts[4] = {0, 0, 0, 0};
  section.Exchange("AN_Count", counts[0]);
  section.Exchange("AL_Count", counts[1]);
  section.Exchange("VN_Count", counts[2]);
  section.Exchange("VL_Count", counts[3]);
  ReadSet(section, "AN", counts[0], routeNodes_);
  ReadSet(section, "AL", counts[1], routeLinks_);
  ReadSet(section, "VN", counts[2], visitedNodes_);
  ReadSet(section, "VL", counts[3], visitedLinks_);
}

u8 FlowState::NodeState(std::string_view name) const {
  if (!lastNode_.empty() && name == lastNode_) return 3;
  if (routeNodes_.find(name) != routeNodes_.end()) return 2;
  if (visitedNodes_.find(name) != visitedNodes_.end()) return 1;
  return 0;
}

u8 FlowState::LinkState(std::string_view key) const {
  if (routeLinks_.find(key) != routeLinks_.end()) return 2;
  if (visitedLinks_.find(key) != visitedLinks_.end()) return 1;
  return 0;
}

}  // namespace lyraban
