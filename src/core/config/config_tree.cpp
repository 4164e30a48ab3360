#include "core/config/config_tree.h"

#include <climits>

#include "resources/resources.h"
#include "resources/text_lines.h"

namespace lyraban {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view CutAtBlank(std::string_view text) {
  std::size_t end = 0;
  while (end < text.size() && !IsBlank(text[end])) ++end;
  return text.substr(0, end);
}

}  // namespace

bool ConfigTree::Insert(std::string_view section, std::string_view subsection, std::string_view key,
                        std::string_view value) {
  auto sec = sections_.find(section);
  if (sec == sections_.end()) sec = sections_.emplace(std::string(section), SubsectionMap()).first;
  auto sub = sec->second.find(subsection);
  if (sub == sec->second.end()) sub = sec->second.emplace(std::string(subsection), KeyMap()).first;
  if (sub->second.find(key) != sub->second.end()) return false;
  sub->second.emplace(std::string(key), std::string(value));
  return true;
}

const ConfigTree::KeyMap* ConfigTree::Find(std::string_view section, std::string_view subsection) const {
  const auto sec = sections_.find(section);
  if (sec == sections_.end()) return nullptr;
  const auto sub = sec->second.find(subsection);
  return sub == sec->second.end() ? nullptr : &sub->second;
}

void ConfigTree::AddFile(const TextLines& lines, const IgnoredLineFn& ignored) {
  auto ignore = [&](std::size_t i, std::string_view why) {
    if (ignored) ignored(i, why);
  };
  std::string section;
  std::string subsection;
  for (std::size_t i = 0; i < lines.LineCount(); ++i) {
    const std::string_view line = lines.Line(i);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      if (close == std::string_view::npos) {
        // A broken header makes the following keys homeless until the
        // next good one.
        section.clear();
        ignore(i, "a header without ']': the keys after it are ignored up to the next header");
        continue;
      }
      const std::string_view inside = line.substr(1, close - 1);
      const std::size_t dot = inside.find('.');
      const std::string_view before = inside.substr(0, dot);
      const std::string_view after = dot == std::string_view::npos ? std::string_view() : inside.substr(dot + 1);
      if (!before.empty()) {
        section.assign(before);
        subsection.clear();
      }
      if (!after.empty()) subsection.assign(after);
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      ignore(i, "neither a [Section.Subsection] header nor a Key=Value line");
      continue;
    }
    if (section.empty() || subsection.empty()) {
      ignore(i, "a key outside a [Section.Subsection] header");
      continue;
    }
    const std::string_view key = CutAtBlank(line.substr(0, equals));
    std::string_view value = line.substr(equals + 1);
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
    // Everything after the value's first blank is ignored, which also makes
    // room for trailing comments.
    if (!Insert(section, subsection, key, CutAtBlank(value)))
      ignore(i, "the key is already set (the first definition wins)");
  }
}

bool LoadConfigTree(ConfigTree& tree, Resources& resources) {
  tree.Clear();
  TextLines list;
  if (!resources.LoadTextLines(list, "config", "config.txt")) return true;
  TextLines file;
  for (std::size_t i = 0; i < list.LineCount(); ++i) {
    const std::string_view name = list.Line(i);
    if (name.empty()) continue;
    if (!resources.LoadTextLines(file, "config", name)) continue;
    tree.AddFile(file);
  }
  return true;
}

bool SelectConfigSection(const ConfigTree& tree, ConfigCursor& cursor, std::string_view section,
                         std::string_view subsection) {
  cursor.keys_.clear();
  const ConfigTree::KeyMap* keys = tree.Find(section, subsection);
  if (!keys) return false;
  cursor.keys_ = *keys;
  return true;
}

std::string GetConfigString(const ConfigCursor& cursor, std::string_view key, std::string_view defaultValue) {
  const auto it = cursor.keys().find(key);
  return it == cursor.keys().end() ? std::string(defaultValue) : it->second;
}

int ParseConfigInt(std::string_view text) {
  std::size_t p = 0;
  while (p < text.size() &&
         (IsBlank(text[p]) || text[p] == '\n' || text[p] == '\r' || text[p] == '\v' || text[p] == '\f'))
    ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
  long long value = 0;
  for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
    value = value * 10 + (text[p] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

int GetConfigInt(const ConfigCursor& cursor, std::string_view key, int defaultValue) {
  const auto it = cursor.keys().find(key);
  return it == cursor.keys().end() ? defaultValue : ParseConfigInt(it->second);
}

bool GetConfigBool(const ConfigCursor& cursor, std::string_view key, bool defaultValue) {
  const auto it = cursor.keys().find(key);
  if (it == cursor.keys().end()) return defaultValue;
  const std::string& v = it->second;
  if (EqualsNoCase(v, "on") || EqualsNoCase(v, "true")) return true;
  if (EqualsNoCase(v, "off") || EqualsNoCase(v, "false")) return false;
  return defaultValue;
}

}  // namespace lyraban
