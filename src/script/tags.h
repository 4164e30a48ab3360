#pragma once
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/trace.h"
#include "base/types.h"
#include "script/tag_runner.h"
#include "script/tag_targets.h"

namespace lyraban {

class FlagStore;
struct UserSettings;
namespace platform {
class Clock;
}

class TagTable;

// One entry of the tag table: a case-sensitive name and the handler that
// reads the current arguments.
struct TagCommand {
  const char* name;
  bool (TagTable::*handler)();
};

inline constexpr int kTagCount = 20;

// Parameters of one screen shake.
struct ShakePreset {
  int amplitudeX;
  int amplitudeY;
  int rateX;
  int rateY;
  int durationMs;
};

// The preset of a `shake` word; unknown words and no word give the default.
ShakePreset LookupShakePreset(std::string_view word);

// The named colour table shared by `flash` and layer colours. False (and
// `colour` untouched) for a name that is not in it.
bool LookupNamedColour(std::string_view name, Rgb& colour);

// A decimal integer with an optional sign, up to the first non-digit; text
// without digits is 0. Values beyond 32 bits saturate.
int ReadDecimal(std::string_view text);

// True when the first two bytes of a voice name are a prefix of the game's
// female characters (compared without regard to letter case).
bool IsFemaleVoiceName(std::string_view name);

// True when the keyword names a tag (compared byte for byte).
bool IsTagName(std::string_view keyword);
// Notes for the trace why an unknown tag failed, naming the tag it
// probably meant when only the letter case differs.
void ExplainUnknownTag(Trace& trace, std::string_view keyword);

// The twenty tag commands and the arguments they read.
class TagTable final : public TagRunner {
 public:
  TagTable(TagTargets& targets, FlagStore& flags, const UserSettings& settings, platform::Clock& clock);

  // False for an empty or unknown keyword (names compare byte for byte) and
  // for a handler that reports failure.
  bool RunTag(std::string_view keyword, std::string_view arguments) override;

  // Where tags that fail note why (nothing when unset).
  void SetTrace(Trace* trace) { trace_ = trace; }
  // Told, after a tag that succeeded, which of its arguments it clamped or
  // ignored, one note each in game text ("… is used", "… is ignored"). The
  // tag itself does exactly what it does without a listener.
  using NoteHook = std::function<void(const std::vector<std::string>& notes)>;
  void SetNoteHook(NoteHook hook) { noteHook_ = std::move(hook); }

  // The timed or click wait of `wait`, `fadein` and `fadeout`.
  void Wait(int ms);

  // The configured screen size that the position words of `img` use.
  void SetScreenSize(int width, int height) {
    screenWidth_ = width;
    screenHeight_ = height;
  }

  // Folder that `voice` names are relative to; set by `voice \folder`.
  const std::string& VoiceFolder() const { return voiceFolder_; }
  void SetVoiceFolder(std::string folder) { voiceFolder_ = std::move(folder); }

  // The table in its fixed order, closed by an entry with a null name.
  static const std::array<TagCommand, kTagCount + 1>& Commands();

  // The arguments of the tag being run.
  std::string_view Arg(int index) const;
  int ArgInt(int index) const { return ReadDecimal(Arg(index)); }
  size_t ArgCount() const { return args_.size(); }
  // Splits an argument text the way every tag sees it; text ending in blanks
  // gives one last empty token.
  void SplitArguments(std::string_view arguments);

 private:
  bool TagWait();
  bool TagReset();
  bool TagDate();
  bool TagChapter();
  bool TagImg();
  bool TagFade();
  bool TagFadeIn();
  bool TagFadeOut();
  bool TagBgm();
  bool TagEnv();
  bool TagSe();
  bool TagVoice();
  bool TagFlash();
  bool TagShake();
  bool TagWipe();
  bool TagSystem();
  bool TagMovie();
  bool TagCustom();
  bool TagMode();
  bool TagTest();

  // Notes an argument the running tag clamps or ignores (only when heard).
  void Note(std::string note) {
    if (noteHook_) notes_.push_back(std::move(note));
  }
  // A time in ms that the tag replaces by its default when it is not
  // positive, and whose cross-fade is capped.
  void NoteEffectTime(std::string_view tag, std::string_view written, bool capped);

  TagTargets& targets_;
  FlagStore& flags_;
  const UserSettings& settings_;
  platform::Clock& clock_;
  Trace* trace_ = nullptr;
  NoteHook noteHook_;
  std::vector<std::string> notes_;
  int screenWidth_ = 640;
  int screenHeight_ = 480;
  std::string voiceFolder_;
  // The argument text is copied so the tokens outlive the caller's buffer.
  std::string argText_;
  std::vector<std::string_view> args_;
};

}  // namespace lyraban
