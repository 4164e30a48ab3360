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

DecodeAhead::DecodeAhead(const Resources& resources, std::size_t budgetBytes, std::size_t soundBudgetBytes)
    : resources_(resources),
      sounds_(
          [&resources](const char* folder, std::string_view name, std::vector<u8>& bytes) {
            std::string text;
            if (!resources.ReadWholeResourceQuietly(folder, name, text)) return false;
            bytes.assign(text.begin(), text.end());
            return true;
          },
          soundBudgetBytes),
      cache_([&resources](std::string_view folder, std::string_view name,
                          std::string& bytes) { return resources.ReadWholeResourceQuietly(folder, name, bytes); },
             budgetBytes, [this](const AheadItem& item, std::vector<AheadItem>& out) { Expand(item, out); },
             [this](const AheadItem& item) {
               sounds_.Produce(SoundAhead::Item{static_cast<SoundAhead::Kind>(item.code), item.name});
             }) {}

u32 DecodeAhead::ScanLines(const LineSource& line, u32 from, u32 count, bool followScripts,
                           std::vector<AheadItem>& out) {
  std::string_view text;
  // Voices are named within the folder a ".voice \folder" line set; one
  // set before the window is not known here, so those voices are left out.
  std::string voiceFolder;
  bool voiceFolderKnown = false;
  const auto addSound = [&out](SoundAhead::Kind kind, std::string name) {
    AheadItem sound{AheadItem::Kind::Sound, std::move(name), static_cast<i32>(kind)};
    if (std::find(out.begin(), out.end(), sound) == out.end()) out.push_back(std::move(sound));
  };
  u32 i = from;
  for (; i - from < count && line(i, text); ++i) {
    if (ClassifyLine(text) != LineKind::Command) continue;
    const CommandParts parts = SplitCommand(text);
    const std::vector<std::string_view> words = Words(parts.arguments);
    if (parts.keyword == "bgm" && !words.empty() && !EqualsNoCase(words[0], "fade")) {
      const bool loop = words.size() < 2 || !EqualsNoCase(words[1], "noloop");
      addSound(loop ? SoundAhead::Kind::Music : SoundAhead::Kind::MusicOnce, std::string(words[0]));
    } else if (parts.keyword == "env" && !words.empty()) {
      addSound(SoundAhead::Kind::Env, std::string(words[0]));
    } else if (parts.keyword == "se" && !words.empty()) {
      addSound(SoundAhead::Kind::Se, std::string(words[0]));
    } else if (parts.keyword == "voice" && !words.empty()) {
      if (words[0].front() == '\\') {
        std::string_view folder = words[0].substr(1);
        if (!folder.empty() && folder.front() == '\\') folder.remove_prefix(1);
        voiceFolder.assign(folder);
        voiceFolderKnown = true;
      } else if (voiceFolderKnown && (words.size() < 2 || !EqualsNoCase(words[1], "ghost"))) {
        addSound(SoundAhead::Kind::Voice, voiceFolder + "\\" + std::string(words[0]));
      }
    } else if (parts.keyword == "img") {
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

void DecodeAhead::LookAhead(const ScriptProgram& root, const ScriptProgram& running,
                            const std::vector<std::string>& pending) {
  // The running program first, then each caller from where it resumes.
  std::vector<const ScriptProgram*> chain;
  for (const ScriptProgram* p = &root; p && p != &running; p = p->Child.get()) chain.push_back(p);
  if (chain.empty() || chain.back()->Child.get() != &running) chain.clear();
  chain.push_back(&running);
  std::vector<AheadItem> items;
  for (const std::string& name : pending) items.push_back(AheadItem{AheadItem::Kind::Picture, name, 0});
  u32 left = kLookAheadLines;
  for (auto it = chain.rbegin(); it != chain.rend() && left > 0; ++it) {
    const ScriptProgram& program = **it;
    left -= ScanLines([&program](u32 index, std::string_view& text) { return program.GetLine(index, text); },
                      program.NextLine, left, true, items);
  }
  // Most lines see the same window as the line before.
  if (items == lastItems_) return;
  lastItems_ = items;
  if (held_) return;
  Send(std::move(items));
}

void DecodeAhead::Send(std::vector<AheadItem> items) {
  std::vector<SoundAhead::Item> sounds;
  for (const AheadItem& item : items)
    if (item.kind == AheadItem::Kind::Sound)
      sounds.push_back(SoundAhead::Item{static_cast<SoundAhead::Kind>(item.code), item.name});
  sounds_.SetWanted(std::move(sounds));
  cache_.Request(std::move(items));
}

void DecodeAhead::Stop() {
  cache_.Stop();
  sounds_.Clear();
  lastItems_.clear();
  held_ = false;
}

void DecodeAhead::Hold() {
  cache_.Stop();
  sounds_.Clear();
  held_ = true;
}

void DecodeAhead::Resume() {
  if (!held_) return;
  held_ = false;
  if (!lastItems_.empty()) Send(lastItems_);
}

}  // namespace lyraban
