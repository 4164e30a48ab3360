#include "check/game_checker.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string_view>

#include "base/strings.h"
#include "base/trace.h"
#include "core/config/config_tree.h"
#include "core/config/flag_definitions.h"
#include "core/config/system_settings.h"
#include "graphics/layer.h"
#include "persist/user_settings.h"
#include "platform/clock.h"
#include "resources/resources.h"
#include "resources/text_lines.h"
#include "screens/map_definition.h"
#include "script/flags.h"
#include "script/interpreter.h"
#include "script/program.h"
#include "script/script_outline.h"
#include "script/tags.h"

namespace lyraban {

namespace {

namespace fs = std::filesystem;
using Severity = Finding::Severity;

constexpr size_t kNone = static_cast<size_t>(-1);

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string_view NextWord(std::string_view& text) {
  size_t pos = text.find_first_not_of(" \t");
  if (pos == std::string_view::npos) pos = text.size();
  const size_t end = std::min(text.find_first_of(" \t", pos), text.size());
  std::string_view word = text.substr(pos, end - pos);
  text = text.substr(end);
  return word;
}

// The checker runs nothing in time: waits end at once.
class StillClock final : public platform::Clock {
 public:
  u32 Now() override { return 0; }
  void Sleep(u32) override {}
  void WaitOnWorker(u32) override {}
  void Wake() override {}
};

// A resource a tag names, as the engine would open it.
struct NamedResource {
  const char* what;
  const char* folder;
  std::string name;
};

// Stands in for the engine's subsystems while the real tag table runs a
// tag line: records every resource the line would open, and which image
// definitions it applies with which codes.
class RecordingTargets final : public TagTargets {
 public:
  explicit RecordingTargets(FlagStore& flags) : flags_(flags) {}

  std::vector<NamedResource> named;
  std::vector<std::string> movies;  // movie files are on disk, not resources
  // Definition name -> the codes it is applied with.
  std::map<std::string, std::set<int>, LessNoCase> definitionCodes;

  void ClearAllLayers() override { layerDefinitions_.fill({}); }
  void ResetLayer(int layer) override { SetDefinition(layer, {}); }
  bool SetLayerImage(int layer, std::string_view name) override {
    if (layer < 0 || layer >= LayerSet::kLayerCount) return false;  // as the engine's layers refuse it
    SetDefinition(layer, {});
    Rgb colour;
    if (name.empty() || LookupNamedColour(name, colour)) return true;
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && EqualsNoCase(name.substr(dot + 1), "img")) {
      named.push_back({"image definition", "anime", std::string(name)});
      definitionCodes[std::string(name)].insert(0);
      SetDefinition(layer, name);
    } else {
      named.push_back({"image", "img", std::string(name)});
    }
    return true;  // so the tag goes on to the items after it
  }
  bool ApplyLayerDefinition(int layer, int code) override {
    if (layer >= 0 && layer < LayerSet::kLayerCount && !layerDefinitions_[layer].empty())
      definitionCodes[layerDefinitions_[layer]].insert(code);
    return true;
  }
  void ResetLayerAnchor(int) override {}
  void SetLayerX(int, int) override {}
  void SetLayerY(int, int) override {}
  void SetNextFadeDuration(int) override {}
  void UpdateScreen() override {}
  void PresentScreen() override {}
  void ClearScreenSurfaces() override {}
  void Flash(int, Rgb) override {}
  void Shake(int, int, int, int, int) override {}
  void Wipe(std::string_view rule, int) override { Image("wipe picture", rule); }
  void FadeWipe(std::string_view rule, int) override { Image("wipe picture", rule); }
  void ShowTestImage(const std::array<int, 8>&) override { Image("test picture", "_test.png"); }
  void PlayBGM(std::string_view name, bool) override { Sound("music", "bgm", name); }
  void FadeBGM() override {}
  void StopBGM() override {}
  void PlayEnv(std::string_view name) override { Sound("ambience", "env", name); }
  void StopEnv() override {}
  void PlaySE(std::string_view name) override { Sound("sound effect", "se", name); }
  void StopSE() override {}
  void PlayVoice(std::string_view path) override { Sound("voice", "voice", path); }
  void SetPendingVoice(std::string_view) override {}
  bool PumpInput(u8, bool) override { return false; }
  u8 PendingCommand() override { return 0; }
  void ClearPendingInput() override {}
  bool IsSkipping() override { return false; }
  bool IsAutoMode() override { return false; }
  void RunSaveLoadScreen(SaveLoadMode) override {}
  void RunConfigDialog() override {}
  void SetMessageMode(u8 mode) override { mode_ = mode; }
  void ClockEvent(std::string_view flagA, std::string_view flagB) override {
    // Both are flag names the message window's clock reads.
    for (std::string_view flag : {flagA, flagB})
      if (!flag.empty()) flags_.GetFlag(flag);
  }
  void FlowReset() override {}
  void FlowNewRoute() override {}
  u8 ScriptMode() override { return mode_; }
  void SetChapterDate(std::string_view) override {}
  void SetChapterName(std::string_view) override {}
  void UpdateCaption() override {}
  void PlayMovie(std::string_view name) override {
    if (!name.empty()) movies.emplace_back(name);
  }

 private:
  // Layers outside 0..9 hold nothing, as in the engine.
  void SetDefinition(int layer, std::string_view name) {
    if (layer >= 0 && layer < LayerSet::kLayerCount) layerDefinitions_[layer].assign(name);
  }
  void Image(const char* what, std::string_view name) {
    if (!name.empty()) named.push_back({what, "img", std::string(name)});
  }
  void Sound(const char* what, const char* folder, std::string_view name) {
    if (!name.empty()) named.push_back({what, folder, std::string(name)});
  }

  FlagStore& flags_;
  std::array<std::string, LayerSet::kLayerCount> layerDefinitions_;
  u8 mode_ = kModeAdv;
};

// How many non-empty arguments each tag reads; max -1 = any number.
struct TagArity {
  const char* tag;
  int min;
  int max;
};
constexpr TagArity kTagArity[] = {
    {"wait", 0, 1},   {"reset", 0, 0},  {"date", 0, 1},    {"chapter", 0, 1}, {"img", 0, -1},
    {"fade", 1, 1},   {"fadein", 0, 1}, {"fadeout", 0, 2}, {"bgm", 0, 2},     {"env", 0, 1},
    {"se", 1, 1},     {"voice", 1, 2},  {"flash", 0, 2},   {"shake", 0, 1},   {"wipe", 1, 3},
    {"system", 1, 1}, {"movie", 1, 1},  {"custom", 0, 2},  {"mode", 1, 1},    {"test", 8, 8},
};

class GameChecker {
 public:
  explicit GameChecker(std::string gameFolder) : gameFolder_(std::move(gameFolder)) {
    trace_.SetSink([this](std::string_view m) { messages_.emplace_back(m); });
  }

  std::vector<Finding> Run();

 private:
  CodePage Cp() const { return system_.GameCodePage; }
  std::string Utf8(std::string_view gameText) const { return Cp().ToUtf8(gameText); }
  std::string FileLabel(const char* folder, std::string_view name) const {
    std::string label = std::string(folder) + "/" + Utf8(name);
    std::replace(label.begin(), label.end(), '\\', '/');
    return label;
  }
  void Add(const std::string& file, size_t lineIndex, Severity severity, std::string message) {
    findings_.push_back({file, static_cast<int>(lineIndex + 1), severity, std::move(message)});
  }
  bool Exists(const char* folder, std::string_view name) {
    PackFile file;
    const bool found = resources_.OpenResource(file, folder, name);
    trace_.ClearReason();
    return found;
  }
  // The text files (by name) of a resource folder: archive entries, then
  // loose files that no entry holds, each once, in byte order of their
  // names.
  std::vector<std::string> ListFolder(const char* folder);
  // Turns the engine's own diagnostics caught since the last call into
  // findings on this line.
  void TakeMessages(const std::string& file, size_t lineIndex);
  bool ReadText(const char* folder, const std::string& name, std::string& bytes, TextLines& lines);
  // Line ends and code page of the file ReadText read last, in the bytes
  // as stored (a loose UTF-8 file before the engine converts it).
  void CheckRawText(const std::string& file);
  void CheckNamed(const std::string& file, size_t lineIndex, const char* folder, std::string_view name,
                  const char* what, std::string_view hint = {});

  void CheckConfiguration();
  void CheckScript(const std::string& name);
  void CheckSelect(const std::string& file, const TextLines& lines, const ScriptOutline& outline, size_t at);
  void CheckTag(const std::string& file, size_t lineIndex, std::string_view keyword, std::string_view arguments);
  void CheckDefinition(const std::string& name, const std::set<int>& codes);
  void CheckMap(const std::string& name);

  std::string gameFolder_;
  Trace trace_;
  std::vector<std::string> messages_;
  Resources resources_{trace_};
  ConfigTree config_;
  SystemSettings system_;
  FlagStore flags_{trace_, {}};
  StillClock clock_;
  UserSettings user_{};
  std::unique_ptr<RecordingTargets> targets_ = std::make_unique<RecordingTargets>(flags_);
  std::unique_ptr<TagTable> tags_;
  std::vector<Finding> findings_;
  // What the tag just run clamped or ignored of its arguments.
  std::vector<std::string> tagNotes_;
  std::string raw_;
  bool rawArchived_ = false;
};

std::vector<std::string> GameChecker::ListFolder(const char* folder) {
  std::vector<std::string> names;
  std::set<std::string, LessNoCase> seen;
  const std::string prefix = std::string(folder) + "\\";
  for (const auto& [name, entry] : resources_.directory().entries()) {
    if (!StartsWithNoCase(name, prefix) || name.size() == prefix.size()) continue;
    const std::string rest = name.substr(prefix.size());
    if (rest.find('\\') != std::string::npos || !IsTextResourceName(rest)) continue;
    if (seen.insert(rest).second) names.push_back(rest);
  }
  std::error_code ec;
  for (fs::directory_iterator dir(resources_.dataFolder(), ec), end; !ec && dir != end; dir.increment(ec)) {
    if (!EqualsNoCase(dir->path().filename().string(), folder)) continue;
    std::error_code inner;
    for (fs::directory_iterator it(dir->path(), inner), stop; !inner && it != stop; it.increment(inner)) {
      std::error_code typeError;
      if (!it->is_regular_file(typeError)) continue;
      // Loose names on disk are UTF-8; the game refers to them in its code
      // page, which the lookup maps back.
      const std::string onDisk = it->path().filename().string();
      const std::string gameName = IsValidUtf8(onDisk) ? Cp().FromUtf8(onDisk) : onDisk;
      if (IsTextResourceName(gameName) && seen.insert(gameName).second) names.push_back(gameName);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

void GameChecker::TakeMessages(const std::string& file, size_t lineIndex) {
  std::set<std::string> said;
  for (const std::string& m : messages_) {
    std::string text;
    constexpr std::string_view kUndefined = "変数『", kUndefinedEnd = "』は定義されていません";
    constexpr std::string_view kUnassignable = "』は未定義";
    constexpr std::string_view kExpression = "計算式『", kExpressionEnd = "』の判定に失敗";
    const std::string_view msg = m;
    if (msg.starts_with(kUndefined) && msg.ends_with(kUndefinedEnd)) {
      const std::string_view name =
          msg.substr(kUndefined.size(), msg.size() - kUndefined.size() - kUndefinedEnd.size());
      // "==" where an operator belongs is an operand to the engine; the
      // expression fault it causes is the finding that explains it.
      if (name.starts_with('=')) continue;
      text = "flag '" + std::string(name) + "' is used but never defined (declare it in [Define.Flag])";
      if (name.find('=') != std::string_view::npos) text += "; there is no '=' operator: & + - * / < > and !";
    } else if (msg.starts_with(kUndefined) && msg.ends_with(kUnassignable)) {
      const std::string_view name =
          msg.substr(kUndefined.size(), msg.size() - kUndefined.size() - kUnassignable.size());
      text = "flag '" + std::string(name) + "' is assigned, but no local or global flag of that name is defined";
    } else if (msg.starts_with(kExpression)) {
      const size_t end = msg.find(kExpressionEnd);
      if (end == std::string_view::npos) continue;
      const size_t why = msg.find(Trace::kReasonSeparator, end);
      text = "expression '" + std::string(msg.substr(kExpression.size(), end - kExpression.size())) +
             "' cannot be evaluated";
      if (why != std::string_view::npos) text += ": " + std::string(msg.substr(why + Trace::kReasonSeparator.size()));
    } else {
      continue;  // file messages: the checker reports missing files itself
    }
    if (said.insert(text).second) Add(file, lineIndex, Severity::Error, text);
  }
  messages_.clear();
  trace_.ClearReason();
}

bool GameChecker::ReadText(const char* folder, const std::string& name, std::string& bytes, TextLines& lines) {
  lines.Clear();
  raw_.clear();
  if (!resources_.ReadWholeResource(folder, name, bytes)) {
    messages_.clear();
    trace_.ClearReason();
    return false;
  }
  PackFile file;
  if (resources_.OpenResource(file, folder, name)) {
    rawArchived_ = file.archived();
    raw_.resize(file.size());
    if (!resources_.ReadResource(file, raw_.data(), file.size())) raw_ = bytes;
  }
  // The engine's own line reader; the bytes stay for the raw checks.
  SplitTextLines(lines, bytes);
  return true;
}

void GameChecker::CheckRawText(const std::string& file) {
  std::string_view bytes = raw_;
  bytes = bytes.substr(0, std::min(bytes.size(), bytes.find('\0')));
  const size_t cr = bytes.find('\r');
  size_t loneLf = kNone;
  for (size_t i = 0; i < bytes.size() && loneLf == kNone; ++i)
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) loneLf = i;
  if (cr == std::string_view::npos && loneLf != kNone) {
    Add(file, 0, Severity::Warning,
        "LF-only line ends: Lyraban reads them, but the archive format ends lines at CR; pack with lyrapack create "
        "--convert-text, or save with CR LF");
  } else if (loneLf != kNone) {
    // Under the CR rule that line feed stays inside the line it ends.
    const size_t line = static_cast<size_t>(std::count(bytes.begin(), bytes.begin() + loneLf, '\r'));
    Add(file, line, Severity::Error,
        "mixed line ends: this file ends lines at CR, so the line feed without CR here joins two lines into one");
  }

  const std::string cp = Cp().kind() == CodePage::Kind::ShiftJis ? "Shift-JIS" : "GBK";
  const bool bom = bytes.starts_with("\xEF\xBB\xBF");
  const bool utf8 =
      bom || (std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<u8>(c) >= 0x80; }) &&
              IsValidUtf8(bytes));
  TextLines lines;
  SplitTextLines(lines, bytes.substr(bom ? 3 : 0));
  size_t bad = kNone, badCount = 0;
  std::string what;
  for (size_t i = 0; i < lines.LineCount(); ++i) {
    const std::string_view line = lines.Line(i);
    std::string lost;
    if (utf8 && !rawArchived_) {
      // A loose UTF-8 file is converted when read: find what the code page
      // cannot hold.
      for (size_t k = 0; k < line.size();) {
        const auto lead = static_cast<u8>(line[k]);
        const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (n > 1 && Cp().CodeFromUtf8(line.substr(k, n)) == 0 && lost.empty()) lost = std::string(line.substr(k, n));
        k += n;
      }
    } else if (Cp().ToUtf8(line).find("\xEF\xBF\xBD") != std::string::npos) {
      lost = "?";
    }
    if (lost.empty()) continue;
    if (bad == kNone) bad = i, what = lost;
    ++badCount;
  }
  if (bad == kNone) return;
  std::string message;
  if (utf8 && !rawArchived_)
    message = "'" + what + "' cannot be written in " + cp + ": the game shows '?' instead";
  else if (utf8)
    message =
        "this text is UTF-8, not " + cp + ": the game shows it garbled; pack it with lyrapack create --convert-text";
  else
    message = "bytes that are not " + cp + " text: they show as garbage or not at all";
  if (badCount > 1) message += " (and on " + std::to_string(badCount - 1) + " more lines)";
  Add(file, bad, Severity::Error, message);
}

void GameChecker::CheckNamed(const std::string& file, size_t lineIndex, const char* folder, std::string_view name,
                             const char* what, std::string_view hint) {
  if (Exists(folder, name)) return;
  std::string message =
      std::string(what) + " " + Utf8(name) + " is in no archive and no loose file (folder " + folder + ")";
  if (!hint.empty()) message += std::string("; ") + std::string(hint);
  Add(file, lineIndex, Severity::Error, message);
}

std::vector<Finding> GameChecker::Run() {
  // Start-up order: system.dat alone for the configuration, then every
  // archive and the configuration again.
  resources_.OpenDataFolder(gameFolder_);
  std::error_code ec;
  if (!fs::is_directory(resources_.dataFolder(), ec)) {
    findings_.push_back({"data", 1, Severity::Error, "there is no data folder: " + resources_.dataFolder()});
    return findings_;
  }
  LoadConfigTree(config_, resources_);
  ReadSystemSettings(config_, system_, false);
  trace_.SetCodePage(system_.GameCodePage);
  resources_.OpenAllArchives();
  LoadConfigTree(config_, resources_);
  ReadSystemSettings(config_, system_, false);
  trace_.SetCodePage(system_.GameCodePage);
  messages_.clear();

  flags_.LoadFlagDefinitions(*ReadFlagDefinitions(config_));
  user_.MaleVoices = user_.FemaleVoices = 1;
  tags_ = std::make_unique<TagTable>(*targets_, flags_, user_, clock_);
  tags_->SetScreenSize(system_.ScreenWidth, system_.ScreenHeight);
  tags_->SetTrace(&trace_);
  tags_->SetNoteHook([this](const std::vector<std::string>& notes) { tagNotes_ = notes; });

  CheckConfiguration();

  const std::vector<std::string> scripts = ListFolder("script");
  if (!Exists("script", "start.txt"))
    Add("script/start.txt", 0, Severity::Error, "the game has no start script: script/start.txt is missing");
  for (const std::string& name : scripts) CheckScript(name);
  std::set<std::string, LessNoCase> definitions;
  for (const std::string& name : ListFolder("anime")) definitions.insert(name);
  for (const auto& [name, codes] : targets_->definitionCodes) definitions.insert(name);
  for (const std::string& name : definitions) {
    const auto used = targets_->definitionCodes.find(name);
    CheckDefinition(name, used == targets_->definitionCodes.end() ? std::set<int>{0} : used->second);
  }
  for (const std::string& name : ListFolder("map")) CheckMap(name);
  for (const std::string& name : ListFolder("flow")) {
    std::string bytes;
    TextLines lines;
    if (ReadText("flow", name, bytes, lines)) CheckRawText(FileLabel("flow", name));
  }
  std::stable_sort(findings_.begin(), findings_.end(), [](const Finding& a, const Finding& b) {
    return a.file != b.file ? a.file < b.file : a.line < b.line;
  });
  return findings_;
}

void GameChecker::CheckConfiguration() {
  const std::string listFile = "config/config.txt";
  std::string bytes;
  TextLines list;
  if (!ReadText("config", "config.txt", bytes, list)) {
    Add(listFile, 0, Severity::Error, "config.txt is missing: the game runs on default settings, without flags");
    return;
  }
  CheckRawText(listFile);
  // A scratch tree read file by file, in the engine's order, so a key that
  // an earlier file already set is found.
  ConfigTree tree;
  for (size_t i = 0; i < list.LineCount(); ++i) {
    const std::string name(list.Line(i));
    if (name.empty()) continue;
    std::string text;
    TextLines lines;
    if (!ReadText("config", name, text, lines)) {
      Add(listFile, i, Severity::Error, "config.txt lists " + Utf8(name) + ", which no archive or loose file holds");
      continue;
    }
    const std::string file = FileLabel("config", name);
    CheckRawText(file);
    tree.AddFile(lines,
                 [&](size_t index, std::string_view why) { Add(file, index, Severity::Warning, std::string(why)); });
    for (size_t k = 0; k < lines.LineCount(); ++k) {
      const std::string_view line = lines.Line(k);
      if (!system_.SplashImage.empty() && StartsWithNoCase(line, "SplashImage") &&
          line.find(system_.SplashImage) != std::string_view::npos)
        CheckNamed(file, k, "img", system_.SplashImage, "splash image");
    }
  }
}

void GameChecker::CheckScript(const std::string& name) {
  const std::string file = FileLabel("script", name);
  std::string bytes;
  TextLines lines;
  if (!ReadText("script", name, bytes, lines)) {
    // An empty script is valid; anything else that cannot be read is not.
    if (!Exists("script", name)) Add(file, 0, Severity::Error, "the script cannot be read");
    return;
  }
  CheckRawText(file);
  const size_t count = lines.LineCount();
  tags_->SetVoiceFolder({});

  // The engine's own outline: what it tells the author at run time, the
  // checker reports before.
  const ScriptOutline outline(lines);
  std::map<std::string, size_t> labels;
  for (size_t i = 0; i < count; ++i) {
    const std::string_view line = lines.Line(i);
    const LineKind kind = ClassifyLine(line);
    if (kind == LineKind::Label) {
      const auto [at, fresh] = labels.try_emplace(std::string(line.substr(1)), i);
      if (!fresh)
        Add(file, i, Severity::Warning,
            "label " + Utf8(line) + " is also on line " + std::to_string(at->second + 1) +
                "; GOTO only ever reaches the first");
    } else if (outline.UnmatchedClose(i)) {
      Add(file, i, Severity::Warning, "} without a { before it");
    } else if (outline.UnclosedOpen(i)) {
      Add(file, i, Severity::Error, "this { is never closed by a }");
    }
  }

  for (size_t i = 0; i < count; ++i) {
    if (outline.Choice(i)) continue;
    const std::string_view line = lines.Line(i);
    switch (ClassifyLine(line)) {
      case LineKind::Text:
        if (i + 1 == count)
          Add(file, i, Severity::Warning,
              "text on the script's last line is never shown: only a following line hands a text block to the "
              "message window (add an empty line after it)");
        continue;
      case LineKind::Assignment:
        messages_.clear();
        if (!flags_.Assign(line.substr(1)))
          Add(file, i, Severity::Error, "this assignment does not parse: " + trace_.pendingReason());
        TakeMessages(file, i);
        continue;
      case LineKind::Command:
        break;
      default:
        continue;
    }
    const CommandParts parts = SplitCommand(line);
    const std::string_view keyword = parts.keyword, args = parts.arguments;
    messages_.clear();
    if (keyword.empty() || keyword == ".") continue;
    if (EqualsNoCase(keyword, "IF")) {
      flags_.EvaluateExpression(args);
      TakeMessages(file, i);
      const size_t end = outline.GovernedEnd(i + 1);
      if (end == kNone) {
        Add(file, i, Severity::Error, "the file ends before the line or block that this .IF governs");
      } else if (end == count) {
        Add(file, i, Severity::Warning, "nothing follows the block of this .IF: when it is false the line fails");
      } else if (outline.ElseAfterIf(end) && !EqualsNoCase(lines.Line(end), ".ELSE")) {
        Add(file, end, Severity::Warning,
            "only a line that is exactly .ELSE is seen by the .IF before it; this one always skips its block");
      }
    } else if (EqualsNoCase(keyword, "ELSE")) {
      if (outline.GovernedEnd(i + 1) == kNone)
        Add(file, i, Severity::Error, "the file ends before the line or block that this .ELSE governs");
      else if (!outline.ElseAfterIf(i))
        Add(file, i, Severity::Warning, ".ELSE does not follow the line or block of an .IF: it always skips its block");
    } else if (EqualsNoCase(keyword, "GOTO")) {
      std::string_view label = args;
      if (!label.empty() && label[0] == '#') label.remove_prefix(1);
      if (label.empty())
        Add(file, i, Severity::Error, ".GOTO names no label");
      else if (!labels.contains(std::string(label)))
        Add(file, i, Severity::Error, "label #" + Utf8(label) + " not found in this script");
    } else if (EqualsNoCase(keyword, "CALL") || EqualsNoCase(keyword, "LOAD")) {
      if (args.empty())
        Add(file, i, Severity::Error, "." + std::string(keyword) + " names no script");
      else
        CheckNamed(file, i, "script", args, "script");
    } else if (EqualsNoCase(keyword, "SELECT")) {
      CheckSelect(file, lines, outline, i);
    } else if (EqualsNoCase(keyword, "CASE") || EqualsNoCase(keyword, "ENDSEL")) {
      if (!outline.OfSelect(i))
        Add(file, i, Severity::Warning, "." + std::string(keyword) + " does not belong to a .SELECT");
    } else if (EqualsNoCase(keyword, "EXIT") || EqualsNoCase(keyword, "QUIT")) {
    } else {
      CheckTag(file, i, keyword, args);
    }
  }
}

void GameChecker::CheckSelect(const std::string& file, const TextLines& lines, const ScriptOutline& outline,
                              size_t at) {
  const size_t count = lines.LineCount();
  std::string_view rest = SplitCommand(lines.Line(at)).arguments;
  const std::string mapName(NextWord(rest));
  MapDefinition map;
  bool onMap = false;
  if (!mapName.empty()) {
    std::string text;
    if (resources_.ReadWholeResource("map", mapName, text)) {
      map.Parse(text, mapName, trace_);
      onMap = true;
    } else {
      Add(file, at, Severity::Error,
          "map " + Utf8(mapName) + " is in no archive and no loose file (folder map); the choices show as a list");
    }
    messages_.clear();
    trace_.ClearReason();
  }
  int choices = 0;
  size_t j = at + 1;
  for (; j < count && !StartsWithNoCase(lines.Line(j), ".CASE"); ++j) {
    const std::string_view line = lines.Line(j);
    if (line.empty() || line[0] == ';') continue;
    ++choices;
    if (std::string_view(".#{}?").find(line[0]) != std::string_view::npos)
      Add(file, j, Severity::Warning, "this line is offered as a choice: choices run up to the first .CASE");
    std::string_view words = line;
    if (onMap) {
      const std::string_view icon = NextWord(words), place = NextWord(words);
      if (!map.FindIcon(icon))
        Add(file, j, Severity::Error, "icon " + Utf8(icon) + " is not declared in map " + Utf8(mapName));
      if (!map.FindPlace(place))
        Add(file, j, Severity::Error, "place " + Utf8(place) + " is not declared in map " + Utf8(mapName));
    } else {
      NextWord(words);
    }
    for (int k = 0; k < (onMap ? 2 : 1); ++k)
      if (const std::string_view condition = NextWord(words); !condition.empty()) flags_.EvaluateExpression(condition);
    TakeMessages(file, j);
  }
  if (j >= count) {
    Add(file, at, Severity::Error, "no .CASE follows the choices of this .SELECT before the end of the file");
    return;
  }
  const std::string selectLine = std::to_string(at + 1);
  while (j < count) {
    const std::string_view line = lines.Line(j);
    if (StartsWithNoCase(line, ".CASE")) {
      const std::string_view numbers = SplitCommand(line).arguments;
      size_t pos = numbers.find_first_not_of(" \t");
      bool any = false;
      while (pos != std::string_view::npos && pos < numbers.size() && numbers[pos] >= '0' && numbers[pos] <= '9') {
        const size_t end = std::min(numbers.find_first_not_of("0123456789", pos), numbers.size());
        const int n = ReadDecimal(numbers.substr(pos, end - pos));
        any = true;
        if (n < 1 || n > choices)
          Add(file, j, Severity::Warning,
              "there is no choice " + std::to_string(n) + ": the .SELECT on line " + selectLine + " has " +
                  std::to_string(choices));
        pos = numbers.find_first_not_of(" \t", end);
      }
      if (!any) Add(file, j, Severity::Warning, "a .CASE without numbers never matches");
      const size_t end = outline.GovernedEnd(j + 1);
      if (end == kNone) {
        Add(file, j, Severity::Error, "the file ends before the line or block that this .CASE governs");
        return;
      }
      j = end;
      continue;
    }
    if (EqualsNoCase(line, ".ENDSEL")) return;
    if (ClassifyLine(line) == LineKind::Command) {
      const std::string_view keyword = SplitCommand(line).keyword;
      if (EqualsNoCase(keyword, "ENDSEL")) {
        Add(file, j, Severity::Warning, "only a line that is exactly .ENDSEL ends a choice");
      } else if (EqualsNoCase(keyword, "SELECT")) {
        Add(file, at, Severity::Error,
            "this .SELECT has no .ENDSEL before the next .SELECT on line " + std::to_string(j + 1));
        return;
      }
    }
    if (!line.empty() && line[0] == '{') {
      const size_t end = outline.GovernedEnd(j);
      if (end == kNone) return;  // reported as an unclosed brace
      j = end;
      continue;
    }
    ++j;
  }
  Add(file, at, Severity::Error, "this .SELECT has no .ENDSEL before the end of the file");
}

void GameChecker::CheckTag(const std::string& file, size_t lineIndex, std::string_view keyword,
                           std::string_view arguments) {
  if (!IsTagName(keyword)) {
    ExplainUnknownTag(trace_, keyword);
    Add(file, lineIndex, Severity::Error, trace_.pendingReason() + ": the line fails");
    trace_.ClearReason();
    return;
  }
  TokenList tokens;
  SplitTokens(tokens, arguments);
  const int given = static_cast<int>(tokens.Count());
  for (const TagArity& arity : kTagArity) {
    if (keyword != arity.tag) continue;
    if (given >= arity.min && (arity.max < 0 || given <= arity.max)) break;
    const std::string wanted = arity.min == arity.max ? std::to_string(arity.min)
                               : arity.max < 0        ? "at least " + std::to_string(arity.min)
                                                      : std::to_string(arity.min) + " to " + std::to_string(arity.max);
    Add(file, lineIndex, Severity::Warning,
        "." + std::string(keyword) + " takes " + wanted +
            (arity.max == 1 && arity.min == 1 ? " argument" : " arguments") + ", not " + std::to_string(given) +
            (given > arity.max && arity.max >= 0 ? ": the rest is ignored" : ""));
    break;
  }
  if (keyword == "img" && given > 0 && !(tokens[0][0] >= '0' && tokens[0][0] <= '9'))
    Add(file, lineIndex, Severity::Warning, ".img takes the layer number (0 to 9) first");
  // The real tag runs against recording stand-ins and names what it opens;
  // what it clamps or ignores it says itself, as it does at run time.
  targets_->named.clear();
  targets_->movies.clear();
  messages_.clear();
  tagNotes_.clear();
  trace_.ClearReason();
  if (!tags_->RunTag(keyword, arguments) && !trace_.pendingReason().empty())
    Add(file, lineIndex, Severity::Error, trace_.pendingReason() + ": the line fails");
  trace_.ClearReason();
  for (const std::string& note : tagNotes_) Add(file, lineIndex, Severity::Warning, Utf8(note));
  TakeMessages(file, lineIndex);
  const bool voiceFolderSet = !tags_->VoiceFolder().empty();
  for (const NamedResource& named : targets_->named)
    CheckNamed(file, lineIndex, named.folder, named.name, named.what,
               std::string_view(named.folder) == "voice" && !voiceFolderSet
                   ? "no voice folder was set (.voice \\folder) earlier in this script"
                   : "");
  for (const std::string& movie : targets_->movies) {
    std::string path = Utf8(movie);
    std::replace(path.begin(), path.end(), '\\', '/');
    const std::filesystem::path onDisk =
        path.front() == '/' ? std::filesystem::path(path) : std::filesystem::path(gameFolder_) / path;
    std::error_code error;
    if (!std::filesystem::is_regular_file(onDisk, error))
      Add(file, lineIndex, Severity::Warning,
          "movie " + Utf8(movie) + " is not a file of the game folder (movies are read from disk, not archives)");
  }
}

void GameChecker::CheckDefinition(const std::string& name, const std::set<int>& usedCodes) {
  const std::string file = FileLabel("anime", name);
  std::string bytes;
  TextLines lines;
  if (!ReadText("anime", name, bytes, lines)) return;  // reported where a tag names it
  CheckRawText(file);

  std::set<int> codes = usedCodes;
  codes.insert(0);
  TokenList tokens;
  for (size_t i = 0; i < lines.LineCount(); ++i) {
    if (lines.Line(i).empty() || lines.Line(i)[0] != '#') continue;
    SplitTokens(tokens, lines.Line(i).substr(1));
    for (size_t t = 0; t < tokens.Count(); ++t) codes.insert(ReadDecimal(tokens[static_cast<i64>(t)]));
  }
  std::map<size_t, std::string> ignored;
  LayerSet::Hooks hooks;
  hooks.lookupColour = [](std::string_view colourName, LayerColour& colour) {
    Rgb rgb;
    if (!LookupNamedColour(colourName, rgb)) return false;
    colour = LayerColour{rgb.r, rgb.g, rgb.b};
    return true;
  };
  LayerSet layers(resources_, trace_, clock_, system_.ScreenWidth, system_.ScreenHeight, std::move(hooks));
  layers.SetIgnoredLineHook([&](size_t index, std::string_view why) { ignored.try_emplace(index, why); });
  std::set<std::string, LessNoCase> pictures;
  bool typed = false;
  for (int code : codes) {
    if (!layers.SetLayerImage(1, name)) return;
    layers.ApplyLayerDefinition(1, code);
    const Layer& layer = *layers.layer(1);
    typed = typed || layer.type != LayerType::Empty;
    for (const std::string& picture : {layer.baseName, layer.faceName})
      if (!picture.empty()) pictures.insert(picture);
    for (const OverlaySlot& slot : layer.overlays)
      if (!slot.name.empty()) pictures.insert(slot.name);
  }
  messages_.clear();
  for (const auto& [index, why] : ignored) Add(file, index, Severity::Warning, "this line is ignored: " + why);
  if (!typed) Add(file, 0, Severity::Warning, "no Type=actor, back or movie line: the layer shows nothing");
  for (const std::string& picture : pictures) {
    // Point at the first line that names the picture.
    size_t at = 0;
    for (size_t i = 0; i < lines.LineCount(); ++i) {
      const std::string_view line = lines.Line(i);
      const size_t eq = line.find('=');
      if (eq == std::string_view::npos) continue;
      std::string_view value = line.substr(eq + 1);
      if (NextWord(value) == picture) {
        at = i;
        break;
      }
    }
    CheckNamed(file, at, "img", picture, "image");
  }
}

void GameChecker::CheckMap(const std::string& name) {
  const std::string file = FileLabel("map", name);
  std::string bytes;
  TextLines lines;
  if (!ReadText("map", name, bytes, lines)) return;
  CheckRawText(file);
  MapDefinition map;
  messages_.clear();
  map.Parse(bytes, name, trace_, [&](size_t index) {
    Add(file, index, Severity::Warning, "this line is ignored: the word before ':' is neither ICON nor PLACE");
  });
  // The map reader reports lines without a name as "...（name:line）".
  for (const std::string& m : messages_) {
    const size_t close = m.rfind("）");
    const size_t colon = m.rfind(':', close);
    if (close == std::string::npos || colon == std::string::npos) continue;
    const int line = ReadDecimal(std::string_view(m).substr(colon + 1, close - colon - 1));
    Add(file, line > 0 ? static_cast<size_t>(line - 1) : 0, Severity::Error,
        "an ICON or PLACE line without a name is ignored");
  }
  messages_.clear();
  auto lineNaming = [&](std::string_view keyword, std::string_view key) {
    for (size_t i = 0; i < lines.LineCount(); ++i) {
      const std::string_view line = lines.Line(i);
      const size_t colon = line.find(':');
      if (colon == std::string_view::npos || !StartsWithNoCase(line, keyword)) continue;
      std::string_view rest = line.substr(colon + 1);
      if (EqualsNoCase(NextWord(rest), key)) return i;
    }
    return size_t{0};
  };
  for (const auto& [icon, entry] : map.icons())
    if (!entry.image.empty()) CheckNamed(file, lineNaming("ICON", icon), "img", entry.image, "icon image");
  for (const auto& [place, entry] : map.places())
    if (!entry.label.empty()) CheckNamed(file, lineNaming("PLACE", place), "img", entry.label, "label image");
}

}  // namespace

std::string FormatFinding(const Finding& finding) {
  return finding.file + ":" + std::to_string(finding.line) + ": " +
         (finding.severity == Severity::Error ? "error" : "warning") + ": " + finding.message;
}

std::vector<Finding> CheckGame(const std::string& gameFolder) { return GameChecker(gameFolder).Run(); }

int RunGameCheck(const std::string& gameFolder, std::FILE* out) {
  const std::vector<Finding> findings = CheckGame(gameFolder);
  int errors = 0;
  for (const Finding& f : findings) {
    const std::string line = FormatFinding(f) + "\n";
    std::fwrite(line.data(), 1, line.size(), out);
    if (f.severity == Severity::Error) ++errors;
  }
  std::fflush(out);
  std::fprintf(stderr, "lyraban: %d error(s), %d warning(s)\n", errors, static_cast<int>(findings.size()) - errors);
  return errors > 0 ? 1 : 0;
}

}  // namespace lyraban
