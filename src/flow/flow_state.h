#pragma once
#include <set>
#include <string>
#include <string_view>

#include "base/types.h"

namespace lyraban {

class SaveArchive;
class TextLines;

// The record of the story's routes: which story points (script base names
// listed in the check list) the reader passed on the current route and ever
// since the last reset, and the ways between them.
class FlowState {
 public:
  // Link keys are "left<TAB>entered".
  static std::string LinkKey(std::string_view from, std::string_view to);

  // Every non-empty line of the check list becomes a story point.
  void LoadChecklist(const TextLines& lines);
  void ClearChecklist() { checklist_.clear(); }

  // A script file was entered; `scriptName` may carry an extension, which is
  // cut at its last '.'. Names outside the check list are ignored.
  void FlowPass(std::string_view scriptName);
  // A new route begins: the current route is forgotten, the visited sets stay.
  void FlowNewRoute();
  // Everything is forgotten.
  void FlowReset();

  // One routine for both directions of the save section; reading replaces
  // the last node and the four sets.
  void SerializeFlow(SaveArchive& section);

  // 3 last node, 2 on the route, 1 visited, 0 never reached.
  u8 NodeState(std::string_view name) const;
  // 2 on the route, 1 visited, 0 never passed.
  u8 LinkState(std::string_view key) const;

  const std::string& lastNode() const { return lastNode_; }
  const std::set<std::string, std::less<>>& routeNodes() const { return routeNodes_; }
  const std::set<std::string, std::less<>>& routeLinks() const { return routeLinks_; }
  const std::set<std::string, std::less<>>& visitedNodes() const { return visitedNodes_; }
  const std::set<std::string, std::less<>>& visitedLinks() const { return visitedLinks_; }
  bool IsStoryPoint(std::string_view name) const { return checklist_.find(name) != checklist_.end(); }

 private:
  std::set<std::string, std::less<>> checklist_;
  std::string lastNode_;
  std::set<std::string, std::less<>> routeNodes_;    // AN
  std::set<std::string, std::less<>> routeLinks_;    // AL
  std::set<std::string, std::less<>> visitedNodes_;  // VN
  std::set<std::string, std::less<>> visitedLinks_;  // VL
};

}  // namespace lyraban
