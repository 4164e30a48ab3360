#include "script/script_notes.h"

namespace lyraban {

bool ScriptNotes::First(std::string_view script, int line) {
  if (line < 1) return true;
  auto it = noted_.find(script);
  if (it == noted_.end()) it = noted_.emplace(std::string(script), std::vector<bool>()).first;
  std::vector<bool>& bits = it->second;
  const size_t index = static_cast<size_t>(line - 1);
  if (index >= bits.size()) bits.resize(index + 1, false);
  if (bits[index]) return false;
  bits[index] = true;
  return true;
}

}  // namespace lyraban
