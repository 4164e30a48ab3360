#include "screens/map_definition.h"

#include "resources/text_lines.h"

namespace lyraban {

i32 ParseMapNumber(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  i64 value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 0x7FFFFFFF) value = 0x7FFFFFFF;
  }
  return static_cast<i32>(negative ? -value : value);
}

void MapDefinition::Parse(std::string_view text, std::string_view name, Trace& trace, const IgnoredLineFn& ignored) {
  TextLines lines;
  if (!SplitTextLines(lines, text)) return;
  for (std::size_t n = 0; n < lines.LineCount(); ++n) {
    const std::string_view line = lines.Line(n);
    if (line.empty() || line[0] == ';') continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view keyword = line.substr(0, colon);
    while (!keyword.empty() && (keyword.back() == ' ' || keyword.back() == '\t')) keyword.remove_suffix(1);
    const bool icon = EqualsNoCase(keyword, "ICON");
    if (!icon && !EqualsNoCase(keyword, "PLACE")) {
      if (ignored) ignored(n);
      continue;
    }

    TokenList args;
    args.Split(line.substr(colon + 1));
    const std::string_view key = args[0];
    if (key.empty()) {
      trace.DebugTrace("マップ定義の名前がありません（%s:%d）", name, static_cast<int>(n + 1));
      continue;
    }
    if (icon) {
      MapIcon& entry = icons_[std::string(key)];
      entry.frames = ParseMapNumber(args[1]);
      entry.image = std::string(args[2]);
    } else {
      MapPlace& entry = places_[std::string(key)];
      entry.x = ParseMapNumber(args[1]);
      entry.y = ParseMapNumber(args[2]);
      entry.label = std::string(args[3]);
      entry.labelX = ParseMapNumber(args[4]);
      entry.labelY = ParseMapNumber(args[5]);
    }
  }
}

const MapIcon* MapDefinition::FindIcon(std::string_view name) const {
  auto it = icons_.find(name);
  return it == icons_.end() ? nullptr : &it->second;
}

const MapPlace* MapDefinition::FindPlace(std::string_view name) const {
  auto it = places_.find(name);
  return it == places_.end() ? nullptr : &it->second;
}

}  // namespace lyraban
