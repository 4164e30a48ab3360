// The ".img" definition grammar: comment lines, "#" section selectors, key
// lines and anime command lines, applied to a layer for one section code.
#include <algorithm>
#include <string>
#include <vector>

#include "base/strings.h"
#include "graphics/layer.h"

namespace lyraban {
namespace {

// The text up to the first of `stop`, a blank or a tab.
std::string_view WordBefore(std::string_view line, char stop) {
  return line.substr(0, std::min(line.find(stop), line.find_first_of(" \t")));
}

std::string_view FirstToken(std::string_view text) {
  const size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return {};
  const size_t end = text.find_first_of(" \t", start);
  return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// Slot number after a key prefix such as "Img"; -1 when outside 0..9.
int SlotAfter(std::string_view key, size_t prefixLength) {
  const i32 slot = ParseDecimal(key.substr(prefixLength));
  return slot >= 0 && slot < Layer::kSlotCount ? slot : -1;
}

}  // namespace

u8 ParseLayerOpacity(std::string_view token) {
  i64 value = ParseDecimal(token);
  const size_t digitsEnd = token.find_first_not_of("+-0123456789");
  if (digitsEnd != std::string_view::npos && token[digitsEnd] == '%') value = value * 255 / 100;
  return static_cast<u8>(std::clamp<i64>(value, 0, 255));
}

const char* LayerSet::ApplyKeyLine(Layer& layer, std::string_view line) {
  const std::string_view key = WordBefore(line, '=');
  const std::string_view value = FirstToken(line.substr(line.find('=') + 1));

  if (EqualsNoCase(key, "Type")) {
    if (EqualsNoCase(value, "actor"))
      layer.type = LayerType::Actor;
    else if (EqualsNoCase(value, "back"))
      layer.type = LayerType::Back;
    else if (EqualsNoCase(value, "movie"))
      layer.type = LayerType::Movie;
    else
      return "Type must be actor, back or movie";
  } else if (EqualsNoCase(key, "Name")) {
    layer.displayName = value;
  } else if (EqualsNoCase(key, "PosX")) {
    layer.anchorX = ParseDecimal(value);
  } else if (EqualsNoCase(key, "PosY")) {
    layer.anchorY = ParseDecimal(value);
  } else if (EqualsNoCase(key, "Base")) {
    layer.baseName = value;
  } else if (EqualsNoCase(key, "Face")) {
    layer.faceName = value;
  } else if (EqualsNoCase(key, "FaceX")) {
    layer.faceX = ParseDecimal(value);
  } else if (EqualsNoCase(key, "FaceY")) {
    layer.faceY = ParseDecimal(value);
  } else if (StartsWithNoCase(key, "Img")) {
    const int slot = SlotAfter(key, 3);
    if (slot < 0) return "the slot number after Img must be 0 to 9";
    layer.overlays[static_cast<size_t>(slot)].name = value;
  } else if (StartsWithNoCase(key, "Mode")) {
    const int slot = SlotAfter(key, 4);
    if (slot < 0) return "the slot number after Mode must be 0 to 9";
    // An unknown keyword leaves the slot undrawn.
    const auto mode = BlendModeFromKeyword(value);
    layer.overlays[static_cast<size_t>(slot)].mode = static_cast<u8>(mode.value_or(BlendMode::None));
    if (!mode) return "unknown blend mode: the slot is not drawn";
  } else if (StartsWithNoCase(key, "Alpha")) {
    const int slot = SlotAfter(key, 5);
    if (slot < 0) return "the slot number after Alpha must be 0 to 9";
    layer.overlays[static_cast<size_t>(slot)].opacity = ParseLayerOpacity(value);
  } else {
    return "unknown key";
  }
  return nullptr;
}

bool LayerSet::ApplyLayerDefinition(int index, i32 code) {
  Layer* layer = Find(index);
  if (!layer) return false;
  layer->code = code;
  layer->anime.clear();
  dirty_ = true;

  bool active = true;
  bool traced = false;
  TokenList tokens;
  for (size_t i = 0; i < layer->definition.LineCount(); ++i) {
    const std::string_view line = layer->definition.Line(i);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '#') {
      // Lines after a bare "#" apply to every code again.
      SplitTokens(tokens, line.substr(1));
      active = tokens.Count() == 0;
      for (size_t t = 0; t < tokens.Count() && !active; ++t) active = ParseDecimal(tokens[static_cast<i64>(t)]) == code;
      continue;
    }
    if (!active) continue;

    if (line.find('=') != std::string_view::npos) {
      const char* why = ApplyKeyLine(*layer, line);
      if (why && ignoredLine_) ignoredLine_(i, why);
    } else if (const size_t colon = line.find(':'); colon != std::string_view::npos) {
      if (layer->anime.size() >= kMaxAnimeCommands) {
        if (!traced) trace_.DebugTrace("anime program too long, cut (%s)", layer->name);
        traced = true;
        continue;
      }
      layer->anime.push_back(
          ParseAnimeCommand(WordBefore(line, ':'), line.substr(colon + 1), screenWidth_, screenHeight_));
      if (layer->anime.back().opcode == AnimeOpcode::None && ignoredLine_) ignoredLine_(i, "unknown anime command");
    } else if (EqualsNoCase(line, "ResetTimer")) {
      layer->timerBase = clock_.Now();
    } else if (ignoredLine_) {
      ignoredLine_(i, "neither a key line (Key=value), an anime command (word:arguments) nor ResetTimer");
    }
  }
  return true;
}

std::vector<std::string> DefinitionPictureNames(const TextLines& definition, i32 code) {
  std::vector<std::string> names;
  // Applying a code applies code 0 first, so lines of either may name
  // pictures the layer ends up drawing.
  bool activeZero = true, activeCode = true;
  TokenList tokens;
  for (size_t i = 0; i < definition.LineCount(); ++i) {
    const std::string_view line = definition.Line(i);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '#') {
      SplitTokens(tokens, line.substr(1));
      activeZero = activeCode = tokens.Count() == 0;
      for (size_t t = 0; t < tokens.Count(); ++t) {
        const i32 listed = ParseDecimal(tokens[static_cast<i64>(t)]);
        activeZero = activeZero || listed == 0;
        activeCode = activeCode || listed == code;
      }
      continue;
    }
    if ((!activeZero && !activeCode) || line.find('=') == std::string_view::npos) continue;
    const std::string_view key = WordBefore(line, '=');
    const bool namesPicture = EqualsNoCase(key, "Base") || EqualsNoCase(key, "Face") ||
                              (StartsWithNoCase(key, "Img") && SlotAfter(key, 3) >= 0);
    const std::string_view value = FirstToken(line.substr(line.find('=') + 1));
    if (namesPicture && !value.empty() && std::find(names.begin(), names.end(), value) == names.end())
      names.emplace_back(value);
  }
  return names;
}

}  // namespace lyraban
