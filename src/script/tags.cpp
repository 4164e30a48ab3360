#include "script/tags.h"

#include <algorithm>
#include <limits>

#include "base/strings.h"
#include "persist/user_settings.h"
#include "platform/clock.h"
#include "script/flags.h"
#include "script/interpreter.h"

namespace lyraban {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool StartsWithDigit(std::string_view s) { return !s.empty() && s.front() >= '0' && s.front() <= '9'; }

// Input sets of PumpInput: reading text, and a screen of its own.
constexpr u8 kReadingInput = 0;
constexpr u8 kMenuInput = 2;

constexpr int kDefaultEffectMs = 500;
constexpr int kMaxFadeMs = 60000;
constexpr int kLayerCount = 10;
constexpr int kMaxFlashes = 10;
// Spacing of the five standing positions `pos1`..`pos5`.
constexpr int kStandingStep = 133;

const char* const kBlackImage = "black";

struct NamedColour {
  const char* name;
  Rgb colour;
};

constexpr NamedColour kColours[] = {
    {"WHITE", {255, 255, 255}}, {"RED", {255, 0, 0}},      {"BLUE", {192, 192, 255}}, {"PURPLE", {255, 160, 190}},
    {"ORANGE", {255, 160, 0}},  {"YELLOW", {255, 255, 0}}, {"PINK", {255, 100, 180}}, {"SKYBLUE", {142, 208, 255}},
    {"GREEN", {168, 230, 160}}, {"BROWN", {180, 130, 10}}, {"GRAY", {170, 170, 170}}, {"BLACK", {0, 0, 0}},
};

struct NamedShake {
  const char* name;
  ShakePreset preset;
};

constexpr NamedShake kShakes[] = {
    {"slow", {10, 10, 39, 37, 1000}}, {"big", {40, 40, 71, 83, 1500}}, {"small", {5, 5, 71, 83, 1000}},
    {"xonly", {20, 0, 71, 0, 1000}},  {"yonly", {0, 20, 0, 71, 1000}}, {"once", {20, 20, 83, 71, 200}},
};
constexpr ShakePreset kDefaultShake{20, 20, 71, 83, 1000};

// Voice files of the heroines start with these two letters (Akane, Mio, Yuki,
// Saya, Haruka, Rei, Kotone); every other voice counts as male.
constexpr std::string_view kFemaleVoicePrefixes[7] = {"ak", "mi", "yu", "sa", "ha", "re", "ko"};

// The message window modes in the order `mode` numbers them.
constexpr std::string_view kModeWords[] = {"adv", "novel", "novel2", "system", "demo"};

}  // namespace

ShakePreset LookupShakePreset(std::string_view word) {
  for (const NamedShake& s : kShakes)
    if (EqualsNoCase(word, s.name)) return s.preset;
  return kDefaultShake;
}

bool LookupNamedColour(std::string_view name, Rgb& colour) {
  for (const NamedColour& c : kColours) {
    if (EqualsNoCase(name, c.name)) {
      colour = c.colour;
      return true;
    }
  }
  return false;
}

int ReadDecimal(std::string_view text) {
  size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  i64 value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = value * 10 + (text[pos] - '0');
    // Stop growing once past the i32 range; the result saturates below.
    if (value > (i64{1} << 32)) value = i64{1} << 32;
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<i64>(value, std::numeric_limits<i32>::min(), std::numeric_limits<i32>::max()));
}

bool IsFemaleVoiceName(std::string_view name) {
  if (name.size() < 2) return false;
  for (std::string_view prefix : kFemaleVoicePrefixes)
    if (EqualsNoCase(name.substr(0, 2), prefix)) return true;
  return false;
}

bool IsTagName(std::string_view keyword) {
  for (const TagCommand& command : TagTable::Commands())
    if (command.name != nullptr && keyword == command.name) return true;
  return false;
}

void ExplainUnknownTag(Trace& trace, std::string_view keyword) {
  for (const TagCommand& command : TagTable::Commands()) {
    if (command.name != nullptr && EqualsNoCase(keyword, command.name)) {
      trace.Because("unknown tag .%s (tag names are case-sensitive: .%s)", keyword, command.name);
      return;
    }
  }
  trace.Because("unknown tag .%s", keyword);
}

const std::array<TagCommand, kTagCount + 1>& TagTable::Commands() {
  static constexpr std::array<TagCommand, kTagCount + 1> kTable = {{
      {"wait", &TagTable::TagWait},       {"reset", &TagTable::TagReset},     {"date", &TagTable::TagDate},
      {"chapter", &TagTable::TagChapter}, {"img", &TagTable::TagImg},         {"fade", &TagTable::TagFade},
      {"fadein", &TagTable::TagFadeIn},   {"fadeout", &TagTable::TagFadeOut}, {"bgm", &TagTable::TagBgm},
      {"env", &TagTable::TagEnv},         {"se", &TagTable::TagSe},           {"voice", &TagTable::TagVoice},
      {"flash", &TagTable::TagFlash},     {"shake", &TagTable::TagShake},     {"wipe", &TagTable::TagWipe},
      {"system", &TagTable::TagSystem},   {"movie", &TagTable::TagMovie},     {"custom", &TagTable::TagCustom},
      {"mode", &TagTable::TagMode},       {"test", &TagTable::TagTest},       {nullptr, nullptr},
  }};
  return kTable;
}

TagTable::TagTable(TagTargets& targets, FlagStore& flags, const UserSettings& settings, platform::Clock& clock)
    : targets_(targets), flags_(flags), settings_(settings), clock_(clock) {}

bool TagTable::RunTag(std::string_view keyword, std::string_view arguments) {
  if (keyword.empty()) return false;
  for (const TagCommand& command : Commands()) {
    if (command.name == nullptr) break;
    if (keyword != command.name) continue;
    SplitArguments(arguments);
    notes_.clear();
    const bool done = (this->*command.handler)();
    if (done && !notes_.empty()) noteHook_(notes_);
    return done;
  }
  return false;
}

void TagTable::SplitArguments(std::string_view arguments) {
  argText_.assign(arguments);
  args_.clear();
  const std::string_view text(argText_);
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    const size_t start = pos;
    while (pos < text.size() && !IsBlank(text[pos])) ++pos;
    args_.push_back(text.substr(start, pos - start));
  }
}

std::string_view TagTable::Arg(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= args_.size()) return {};
  return args_[index];
}

void TagTable::Wait(int ms) {
  targets_.UpdateScreen();
  targets_.PresentScreen();
  const u8 mode = targets_.ScriptMode();
  const bool scripted = mode == kModeSystem || mode == kModeDemo;
  // Readers who switched effects off skip waits, except in the modes where a
  // script paces its own presentation.
  if (settings_.ScreenEffects == 0 && !scripted) return;
  const u8 input = mode == kModeSystem ? kMenuInput : kReadingInput;
  targets_.ClearPendingInput();
  const u32 start = clock_.Now();
  for (;;) {
    if (!targets_.PumpInput(input, true)) break;
    targets_.UpdateScreen();
    targets_.PresentScreen();
    if (targets_.IsSkipping()) break;
    if (ms < 1) {
      if (targets_.IsAutoMode() || targets_.PendingCommand() != 0) break;
    } else if (ElapsedMs(start, clock_.Now()) > static_cast<u32>(ms)) {
      // A click does not cut a timed wait short.
      break;
    }
  }
  targets_.ClearPendingInput();
}

bool TagTable::TagWait() {
  targets_.ClearPendingInput();
  Wait(ArgInt(0));
  return true;
}

bool TagTable::TagReset() {
  targets_.FlowReset();
  flags_.ClearLocalFlags();
  return true;
}

bool TagTable::TagDate() {
  targets_.SetChapterDate(Arg(0));
  targets_.UpdateCaption();
  return true;
}

bool TagTable::TagChapter() {
  targets_.SetChapterName(Arg(0));
  targets_.UpdateCaption();
  return true;
}

void TagTable::NoteEffectTime(std::string_view tag, std::string_view written, bool capped) {
  const int ms = ReadDecimal(written);
  const std::string said = "." + std::string(tag) + " " + std::string(written);
  if (!written.empty() && ms <= 0)
    Note(said + " is not a positive time: " + std::to_string(kDefaultEffectMs) + " ms is used");
  else if (capped && ms > kMaxFadeMs)
    Note(said + " ms: the cross-fade is cut to " + std::to_string(kMaxFadeMs) + " ms, the wait is not");
}

bool TagTable::TagImg() {
  const int layer = ArgInt(0);
  const bool layerExists = layer >= 0 && layer < kLayerCount;
  if (!Arg(0).empty() && !layerExists)
    Note(".img layer " + std::string(Arg(0)) + " is outside 0 to 9: nothing changes");
  if (Arg(1).empty()) {
    if (Arg(0).empty())
      targets_.ClearAllLayers();
    else
      targets_.ResetLayer(layer);
    return true;
  }
  int numbers = 0;
  for (int i = 1; !Arg(i).empty(); ++i) {
    const std::string_view item = Arg(i);
    if (StartsWithDigit(item)) {
      // The first number is x, the second y; both measure from the top left.
      ++numbers;
      if (numbers == 1) {
        targets_.ResetLayerAnchor(layer);
        targets_.SetLayerX(layer, ReadDecimal(item));
      } else if (numbers == 2) {
        targets_.ResetLayerAnchor(layer);
        targets_.SetLayerY(layer, ReadDecimal(item));
      } else {
        Note(".img: the number " + std::string(item) + " after x and y is ignored");
      }
      continue;
    }
    if (item.size() > 3 && EqualsNoCase(item.substr(0, 3), "pos") && StartsWithDigit(item.substr(3))) {
      const int n = ReadDecimal(item.substr(3));
      if (n >= 1 && n <= 5) {
        targets_.SetLayerX(layer, kStandingStep * n);
        targets_.SetLayerY(layer, screenHeight_);
      } else {
        Note(".img " + std::string(item) + " is not one of pos1 to pos5: ignored");
      }
      continue;
    }
    int x = -1;
    if (EqualsNoCase(item, "center"))
      x = screenWidth_ / 2;
    else if (EqualsNoCase(item, "left"))
      x = screenWidth_ / 4;
    else if (EqualsNoCase(item, "right"))
      x = screenWidth_ * 3 / 4;
    if (x >= 0) {
      // Standing positions keep the image's anchor and put its foot on the
      // bottom edge of the screen.
      targets_.SetLayerX(layer, x);
      targets_.SetLayerY(layer, screenHeight_);
      continue;
    }
    const size_t hash = item.find('#');
    const std::string_view name = item.substr(0, hash);
    const int code = hash == std::string_view::npos ? 0 : ReadDecimal(item.substr(hash + 1));
    if (!targets_.SetLayerImage(layer, name)) {
      if (trace_ && layerExists)
        trace_->Because("img: %s could not be loaded into layer %d", name, layer);
      else if (trace_)
        trace_->Because("img: layer %d is outside 0 to 9", layer);
      return false;
    }
    if (code != 0) targets_.ApplyLayerDefinition(layer, code);
  }
  return true;
}

bool TagTable::TagFade() {
  const int ms = std::clamp(ArgInt(0), 0, kMaxFadeMs);
  if (ms != ArgInt(0))
    Note(".fade " + std::string(Arg(0)) + " ms is outside 0 to " + std::to_string(kMaxFadeMs) + ": " +
         std::to_string(ms) + " is used");
  targets_.SetNextFadeDuration(ms);
  return true;
}

bool TagTable::TagFadeIn() {
  NoteEffectTime("fadein", Arg(0), true);
  int ms = ArgInt(0);
  if (ms <= 0) ms = kDefaultEffectMs;
  targets_.SetNextFadeDuration(ms);
  Wait(ms);
  return true;
}

bool TagTable::TagFadeOut() {
  std::string_view image = kBlackImage;
  int ms = 0;
  if (StartsWithDigit(Arg(0))) {
    ms = ArgInt(0);
    NoteEffectTime("fadeout", Arg(0), true);
  } else {
    if (!Arg(0).empty()) image = Arg(0);
    ms = ArgInt(1);
    NoteEffectTime("fadeout", Arg(1), true);
  }
  if (ms <= 0) ms = kDefaultEffectMs;
  targets_.ClearAllLayers();
  // A missing picture leaves the screen empty, which fades just the same.
  targets_.SetLayerImage(0, image);
  targets_.SetNextFadeDuration(ms);
  Wait(ms);
  return true;
}

bool TagTable::TagBgm() {
  const std::string_view name = Arg(0);
  flags_.MarkSeen(name);
  if (EqualsNoCase(name, "fade"))
    targets_.FadeBGM();
  else if (!name.empty())
    targets_.PlayBGM(name, !EqualsNoCase(Arg(1), "noloop"));
  else
    targets_.StopBGM();
  if (!name.empty() && !EqualsNoCase(name, "fade") && !Arg(1).empty() && !EqualsNoCase(Arg(1), "noloop"))
    Note(".bgm: " + std::string(Arg(1)) + " is not noloop, the music loops");
  return true;
}

bool TagTable::TagEnv() {
  targets_.PlayEnv(Arg(0));
  return true;
}

bool TagTable::TagSe() {
  if (!targets_.IsSkipping()) targets_.PlaySE(Arg(0));
  return true;
}

bool TagTable::TagVoice() {
  const std::string_view name = Arg(0);
  if (!name.empty() && name.front() == '\\') {
    voiceFolder_.assign(name.substr(1));
    return true;
  }
  const u8 allowed = IsFemaleVoiceName(name) ? settings_.FemaleVoices : settings_.MaleVoices;
  if (allowed == 0) {
    if (trace_) trace_->Because("voice %s: this group of voices is switched off in the settings", name);
    return false;
  }
  std::string_view folder = voiceFolder_;
  if (!folder.empty() && folder.front() == '\\') folder.remove_prefix(1);
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder).append("\\").append(name);
  targets_.SetPendingVoice(path);
  if (!Arg(1).empty() && !EqualsNoCase(Arg(1), "ghost"))
    Note(".voice: " + std::string(Arg(1)) + " is not ghost, the voice plays");
  if (!targets_.IsSkipping() && !EqualsNoCase(Arg(1), "ghost")) targets_.PlayVoice(path);
  return true;
}

bool TagTable::TagFlash() {
  Rgb colour{255, 255, 255};
  int count = 0;
  std::string_view written = Arg(0);
  if (StartsWithDigit(Arg(0))) {
    count = ArgInt(0);
  } else {
    if (!LookupNamedColour(Arg(0), colour) && !Arg(0).empty())
      Note(".flash " + std::string(Arg(0)) + " is not a colour of the table: white is used");
    count = ArgInt(1);
    written = Arg(1);
  }
  // The flash itself keeps the count within its bounds.
  if (!written.empty() && (count < 1 || count > kMaxFlashes))
    Note(".flash count " + std::string(written) + " is outside 1 to " + std::to_string(kMaxFlashes) + ": " +
         std::to_string(std::clamp(count, 1, kMaxFlashes)) + " is used");
  targets_.Flash(count, colour);
  return true;
}

bool TagTable::TagShake() {
  if (!Arg(0).empty() && std::none_of(std::begin(kShakes), std::end(kShakes),
                                      [&](const NamedShake& s) { return EqualsNoCase(Arg(0), s.name); }))
    Note(".shake " + std::string(Arg(0)) +
         " is not a preset (slow, big, small, xonly, yonly, once): the default is used");
  const ShakePreset p = LookupShakePreset(Arg(0));
  targets_.Shake(p.amplitudeX, p.amplitudeY, p.rateX, p.rateY, p.durationMs);
  return true;
}

bool TagTable::TagWipe() {
  if (!EqualsNoCase(Arg(1), "fade")) NoteEffectTime("wipe", Arg(1), false);
  if (!Arg(2).empty() && !EqualsNoCase(Arg(2), "fade"))
    Note(".wipe: " + std::string(Arg(2)) + " is ignored (only fade may follow the time)");
  int ms = ArgInt(1);
  if (ms <= 0) ms = kDefaultEffectMs;
  if (EqualsNoCase(Arg(1), "fade") || EqualsNoCase(Arg(2), "fade"))
    targets_.FadeWipe(Arg(0), ms);
  else
    targets_.Wipe(Arg(0), ms);
  return true;
}

bool TagTable::TagSystem() {
  const std::string_view word = Arg(0);
  if (EqualsNoCase(word, "load"))
    targets_.RunSaveLoadScreen(SaveLoadMode::Load);
  else if (EqualsNoCase(word, "save"))
    targets_.RunSaveLoadScreen(SaveLoadMode::Save);
  else if (EqualsNoCase(word, "config"))
    targets_.RunConfigDialog();
  else if (!word.empty())
    Note(".system " + std::string(word) + " does nothing: load, save or config");
  return true;
}

bool TagTable::TagMovie() {
  targets_.ClearAllLayers();
  targets_.SetNextFadeDuration(0);
  targets_.StopBGM();
  targets_.StopEnv();
  targets_.StopSE();
  targets_.ClearScreenSurfaces();
  targets_.PlayMovie(Arg(0));
  return true;
}

bool TagTable::TagCustom() {
  if (Arg(0).empty() && Arg(1).empty())
    targets_.FlowNewRoute();
  else
    targets_.ClockEvent(Arg(0), Arg(1));
  return true;
}

bool TagTable::TagMode() {
  for (u8 mode = 0; mode < std::size(kModeWords); ++mode) {
    if (EqualsNoCase(Arg(0), kModeWords[mode])) {
      targets_.SetMessageMode(mode);
      return true;
    }
  }
  if (!Arg(0).empty()) Note(".mode " + std::string(Arg(0)) + " does nothing: adv, novel, novel2, system or demo");
  return true;
}

bool TagTable::TagTest() {
  std::array<int, 8> numbers{};
  for (int i = 0; i < 8; ++i) numbers[i] = ArgInt(i);
  targets_.ShowTestImage(numbers);
  targets_.PumpInput(kReadingInput, false);
  return true;
}

}  // namespace lyraban
