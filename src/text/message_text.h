#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/surface.h"
#include "persist/user_settings.h"
#include "platform/font.h"
#include "text/glyph.h"

namespace lyraban {

// One element of a parsed dialogue line: a character code (below 0x10000)
// or one of the control codes.
using TextCode = u32;

inline constexpr TextCode kCodePause = 0x10001;        // '@'
inline constexpr TextCode kCodeLineBreak = 0x10002;    // '/'
inline constexpr TextCode kCodeFaster = 0x10003;       // '>'
inline constexpr TextCode kCodeSlower = 0x10004;       // '<'
inline constexpr TextCode kCodeRubyBase = 0x10005;     // '|'
inline constexpr TextCode kCodeRubyOpen = 0x10006;     // '('
inline constexpr TextCode kCodeRubyClose = 0x10007;    // ')'
inline constexpr TextCode kCodeEmphasisOn = 0x10008;   // '['
inline constexpr TextCode kCodeEmphasisOff = 0x10009;  // ']'
inline constexpr TextCode kCodeUnpacedOn = 0x1000A;    // '{'
inline constexpr TextCode kCodeUnpacedOff = 0x1000B;   // '}'

// Where text may go inside the message window's text surface. Only left and
// right steer the layout.
struct TextArea {
  int left = 0, top = 0, right = 0, bottom = 0;
};
inline constexpr TextArea kWindowTextArea{80, 70, 640, 180};
inline constexpr TextArea kNovelTextArea{80, 0, 720, 730};

enum class CharClass : u8 { None, Kana, Other };

// Which font a glyph was drawn with, and for what.
enum class GlyphRole : u8 { Text, Ruby, Emphasis };
enum class FontRole : u8 { A, B, Name };

// One glyph as the layout placed it (pen position of its cell). The code is
// the code page's, except for the emphasis mark, which is Unicode.
struct PlacedGlyph {
  TextCode code = 0;
  int x = 0, y = 0;
  double scale = 1.0;
  GlyphRole role = GlyphRole::Text;
  FontRole font = FontRole::A;
};

// Parses one dialogue line into codes and types it out, a time budget at a
// time, into a surface: kinsoku at the right margin, ruby readings spread
// over their base, emphasis dots, pauses and speed changes.
class MessageText {
 public:
  static constexpr int kSize = 24;
  static constexpr int kLinePitch = 40;

  // Makes fonts A (bold), B and the name font from the service, and turns
  // the fixed characters into codes of the rasterizer's code page. Reads
  // FontKind and TextShadow from the settings whenever it draws.
  MessageText(GlyphRasterizer& rasterizer, platform::FontService& fonts, const UserSettings& settings, Trace& trace);
  ~MessageText();

  void ParseMessageText(std::string_view text);
  std::string PlainMessageText() const;
  // Per-message reset; the pen stays where it is.
  void BeginMessage();
  // Draws codes until their cost reaches `budget` (everything when below 0).
  // True while codes remain.
  bool TypeMessage(Surface& surface, int budget);
  void NewLine() {
    penX = area.left;
    penY += kLinePitch;
  }
  void SelectTextArea(const TextArea& a) { area = a; }
  void AppendCode(TextCode code) { codes_.push_back(code); }

  // Draws code-page text with the name font at (x, y), shadow first when the
  // setting asks for it; returns the pen x after the last character.
  int DrawNameText(Surface& surface, std::string_view text, int x, int y);

  CharClass ClassOf(TextCode code) const;
  bool IsLineStartForbidden(TextCode code) const;

  const std::vector<TextCode>& codes() const { return codes_; }
  std::size_t nextIndex() const { return next_; }
  int timeUsed() const { return timeUsed_; }
  int speedLevel() const { return speedLevel_; }
  // Codes of the corner brackets in the code page.
  TextCode openBracketCode() const { return openBracket_; }
  TextCode closeBracketCode() const { return closeBracket_; }
  // The emphasis dot is the engine's own mark, drawn from Unicode (the
  // katakana middle dot) since GBK has no such character.
  static constexpr u32 kEmphasisMark = 0x30FB;
  Font* font(FontRole role);

  // Sees every glyph as it is placed (diagnostics, tests).
  void SetPlacementObserver(std::function<void(const PlacedGlyph&)> observer) { observer_ = std::move(observer); }

  int penX = 0, penY = 0;
  int rubyX = 0, rubyY = 0;
  int emphasisX = 0, emphasisY = 0;
  TextArea area = kWindowTextArea;
  TextColour colour;

 private:
  void DrawCharacter(Surface& surface, TextCode code);
  void DrawRubyCharacter(Surface& surface, TextCode code, int slot);
  void DrawEmphasisMark(Surface& surface);
  void Place(Surface& surface, int x, int y);
  void Notify(TextCode code, int x, int y, double scale, GlyphRole role, FontRole font);

  GlyphRasterizer& rasterizer_;
  const UserSettings& settings_;
  Trace& trace_;
  std::unique_ptr<Font> fontA_, fontB_, nameFont_;
  std::vector<TextCode> forbidden_;
  std::vector<TextCode> kana_;  // sorted
  TextCode openBracket_ = 0, closeBracket_ = 0;

  std::vector<TextCode> codes_;
  std::size_t next_ = 0;
  int timeUsed_ = 0;
  int speedLevel_ = 2;
  CharClass previousClass_ = CharClass::None;
  bool explicitBase_ = false, inRuby_ = false, unpaced_ = false, emphasis_ = false;
  std::vector<TextCode> ruby_;
  std::function<void(const PlacedGlyph&)> observer_;
};

}  // namespace lyraban
