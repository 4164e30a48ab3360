#include "core/decode_ahead.h"

#include <algorithm>

#include "base/strings.h"
#include "graphics/layer.h"  // the definition grammar
#include "resources/resources.h"
#include "resources/text_lines.h"
#include "script/program.h"
#include "script/tags.h"

namespace lyraban {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool StartsWithDigit(std::string_view text) { return !text.empty() && text[0] >= '0' && text[0] <= '9'; }

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    const size_t start = pos;
    while (pos < text.size() && !IsBlank(text[pos])) ++pos;
    if (pos > start) words.push_back(text.substr(start, pos - start));
  }
  return words;
}

bool IsDefinitionName(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot != std::string_view::npos && EqualsNoCase(name.substr(dot + 1), "img");
}

// What setting a layer to `item` ("name" or "name#code") loads. Colours are
// no pictures.
void AddLayerItem(std::string_view item, std::vector<AheadItem>& out) {
  const size_t hash = item.find('#');
  const std::string_view name = item.substr(0, hash);
  if (name.empty()) return;
  AheadItem ahead;
  if (IsDefinitionName(name)) {
    ahead.kind = AheadItem::Kind::Definition;
    ahead.code = hash == std::string_view::npos ? 0 : ReadDecimal(item.substr(hash + 1));
  } else {
    Rgb colour;
    if (LookupNamedColour(name, colour)) return;
  }
  ahead.name = name;
  if (std::find(out.begin(), out.end(), ahead) == out.end()) out.push_back(std::move(ahead));
}

}  // namespace

std::size_t DecodeAhead::DefaultBudget(int screenWidth, int screenHeight) {
  return std::size_t{4} * 4 * static_cast<std::size_t>(std::max(screenWidth, 1)) *
         static_cast<std::size_t>(std::max(screenHeight, 1));
}

DecodeAhead::DecodeAhead(const Resources& resources, std::size_t budgetBytes)
    : resources_(resources),
      cache_([&resources](std::string_view folder, std::string_view name,
                          std::string& bytes) { return resources.ReadWholeResourceQuietly(folder, name, bytes); },
             budgetBytes, [this](const AheadItem& item, std::vector<AheadItem>& out) { Expand(item, out); }) {}

u32 DecodeAhead::ScanLines(const LineSource& line, u32 from, u32 count, bool followScripts,
                           std::vector<AheadItem>& out) {
  std::string_view text;
  u32 i = from;
  for (; i - from < count && line(i, text); ++i) {
    if (ClassifyLine(text) != LineKind::Command) continue;
    const CommandParts parts = SplitCommand(text);
    const std::vector<std::string_view> words = Words(parts.arguments);
    if (parts.keyword == "img") {
      // Past the layer number: positions, and the names to load.
      for (size_t w = 1; w < words.size(); ++w) {
        const std::string_view item = words[w];
        if (StartsWithDigit(item) || (item.size() > 3 && EqualsNoCase(item.substr(0, 3), "pos")) ||
            EqualsNoCase(item, "center") || EqualsNoCase(item, "left") || EqualsNoCase(item, "right"))
          continue;
        AddLayerItem(item, out);
      }
    } else if (parts.keyword == "fadeout") {
      AddLayerItem(words.empty() || StartsWithDigit(words[0]) ? std::string_view("black") : words[0], out);
    } else if (parts.keyword == "wipe" && !words.empty()) {
      AheadItem rule{AheadItem::Kind::Picture, std::string(words[0]), 0};
      if (std::find(out.begin(), out.end(), rule) == out.end()) out.push_back(std::move(rule));
    } else if (followScripts && !words.empty() &&
               (EqualsNoCase(parts.keyword, "LOAD") || EqualsNoCase(parts.keyword, "CALL"))) {
      AheadItem script{AheadItem::Kind::Script, std::string(words[0]), 0};
      if (std::find(out.begin(), out.end(), script) == out.end()) out.push_back(std::move(script));
    }
  }
  return i - from;
}

void DecodeAhead::Expand(const AheadItem& item, std::vector<AheadItem>& out) const {
  // Runs on the worker: quiet reads only.
  std::string bytes;
  TextLines lines;
  const char* folder = item.kind == AheadItem::Kind::Definition ? "anime" : "script";
  if (!resources_.ReadWholeResourceQuietly(folder, item.name, bytes) || !lines.Split(std::move(bytes))) return;
  if (item.kind == AheadItem::Kind::Definition) {
    for (std::string& name : DefinitionPictureNames(lines, item.code))
      out.push_back(AheadItem{AheadItem::Kind::Picture, std::move(name), 0});
    return;
  }
  // One script deep: a script that leads on to another is read when it runs.
  ScanLines(
      [&lines](u32 index, std::string_view& text) {
        if (index >= lines.LineCount()) return false;
        text = lines.Line(index);
        return true;
      },
      0, kLookAheadLines, false, out);
}

void DecodeAhead::LookAhead(const ScriptProgram& root, const ScriptProgram& running) {
  // The running program first, then each caller from where it resumes.
  std::vector<const ScriptProgram*> chain;
  for (const ScriptProgram* p = &root; p && p != &running; p = p->Child.get()) chain.push_back(p);
  if (chain.empty() || chain.back()->Child.get() != &running) chain.clear();
  chain.push_back(&running);
  std::vector<AheadItem> items;
  u32 left = kLookAheadLines;
  for (auto it = chain.rbegin(); it != chain.rend() && left > 0; ++it) {
    const ScriptProgram& program = **it;
    left -= ScanLines([&program](u32 index, std::string_view& text) { return program.GetLine(index, text); },
                      program.NextLine, left, true, items);
  }
  // Most lines see the same window as the line before.
  if (items == lastItems_) return;
  lastItems_ = items;
  cache_.Request(std::move(items));
}

void DecodeAhead::Stop() {
  cache_.Stop();
  lastItems_.clear();
}

}  // namespace lyraban
