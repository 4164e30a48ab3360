#include "text/message_text.h"

#include <algorithm>

#include "text/text_pen.h"

namespace lyraban {

namespace {

// Characters that may not begin a line; they hang past the right margin.
constexpr const char* kLineStartForbidden[] = {"々", "ヽ", "ヾ", "ゝ", "ゞ", "〃", "、", "。", "？", "！", "」", "』",
                                               "）", "】", "ぁ", "ぃ", "ぅ", "ぇ", "ぉ", "っ", "ゃ", "ゅ", "ょ", "ゎ",
                                               "ァ", "ィ", "ゥ", "ェ", "ォ", "ッ", "ャ", "ュ", "ョ", "ヮ"};

// Kana-class characters as ranges of Shift-JIS codes: hiragana, katakana,
// full-width letters and digits, full-width space and punctuation.
struct CodeRange {
  u32 first, last;
};
constexpr CodeRange kKanaRanges[] = {{0x829F, 0x82F1}, {0x8340, 0x8396}, {0x8260, 0x8279}, {0x8281, 0x829A},
                                     {0x824F, 0x8258}, {0x8140, 0x8156}, {0x8160, 0x817A}};

TextCode MarkupCode(char c) {
  switch (c) {
    case '@':
      return kCodePause;
    case '/':
      return kCodeLineBreak;
    case '>':
      return kCodeFaster;
    case '<':
      return kCodeSlower;
    case '|':
      return kCodeRubyBase;
    case '(':
      return kCodeRubyOpen;
    case ')':
      return kCodeRubyClose;
    case '[':
      return kCodeEmphasisOn;
    case ']':
      return kCodeEmphasisOff;
    case '{':
      return kCodeUnpacedOn;
    case '}':
      return kCodeUnpacedOff;
    default:
      return 0;
  }
}

void AppendUtf8(std::string& out, u32 cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

MessageText::MessageText(GlyphRasterizer& rasterizer, platform::FontService& fonts, const UserSettings& settings,
                         Trace& trace)
    : rasterizer_(rasterizer), settings_(settings), trace_(trace) {
  fontA_ = CreateFont(fonts, kSize, 700);
  fontB_ = CreateFont(fonts, kSize, 400);
  nameFont_ = CreateFont(fonts, kSize, 400);
  if (!fontA_ || !fontB_ || !nameFont_) trace_.DebugTrace("メッセージウィンドウのフォントを作成できません");

  const CodePage& cp = rasterizer_.codePage();
  for (const char* c : kLineStartForbidden)
    if (TextCode code = cp.CodeFromUtf8(c)) forbidden_.push_back(code);

  const CodePage shiftJis(CodePage::Kind::ShiftJis);
  for (const CodeRange& range : kKanaRanges) {
    for (u32 sjis = range.first; sjis <= range.last; ++sjis) {
      if (cp.kind() == CodePage::Kind::ShiftJis) {
        kana_.push_back(sjis);
        continue;
      }
      const u32 unicode = shiftJis.CodeToUnicode(sjis);
      if (unicode == 0) continue;
      std::string utf8;
      AppendUtf8(utf8, unicode);
      if (TextCode code = cp.CodeFromUtf8(utf8)) kana_.push_back(code);
    }
  }
  std::sort(kana_.begin(), kana_.end());
  kana_.erase(std::unique(kana_.begin(), kana_.end()), kana_.end());

  openBracket_ = cp.CodeFromUtf8("「");
  closeBracket_ = cp.CodeFromUtf8("」");
}

MessageText::~MessageText() = default;

Font* MessageText::font(FontRole role) {
  switch (role) {
    case FontRole::A:
      return fontA_.get();
    case FontRole::B:
      return fontB_.get();
    default:
      return nameFont_.get();
  }
}

CharClass MessageText::ClassOf(TextCode code) const {
  return std::binary_search(kana_.begin(), kana_.end(), code) ? CharClass::Kana : CharClass::Other;
}

bool MessageText::IsLineStartForbidden(TextCode code) const {
  return code != 0 && std::find(forbidden_.begin(), forbidden_.end(), code) != forbidden_.end();
}

void MessageText::ParseMessageText(std::string_view text) {
  codes_.clear();
  next_ = 0;
  const CodePage& cp = rasterizer_.codePage();
  for (std::size_t i = 0; i < text.size() && text[i] != 0; ++i) {
    const char c = text[i];
    const auto byte = static_cast<u8>(c);
    if (cp.IsLeadByte(byte)) {
      if (i + 1 < text.size() && text[i + 1] != 0)
        codes_.push_back((static_cast<u32>(byte) << 8) | static_cast<u8>(text[++i]));
      else
        codes_.push_back(byte);
    } else if (c == '\\') {
      // The escaped byte is drawn as it is; nothing after it gives code 0.
      if (i + 1 < text.size() && text[i + 1] != 0)
        codes_.push_back(static_cast<u8>(text[++i]));
      else
        codes_.push_back(0);
    } else if (TextCode control = MarkupCode(c)) {
      codes_.push_back(control);
    } else {
      codes_.push_back(byte);
    }
  }
}

std::string MessageText::PlainMessageText() const {
  std::string out;
  bool skipping = false;
  for (TextCode code : codes_) {
    if (code >= 0x10000) {
      if (code == kCodeLineBreak) out.push_back('\n');
      skipping = code == kCodeRubyOpen;
      continue;
    }
    if (skipping || code == 0) continue;
    if (code > 0xFF) out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
  }
  return out;
}

void MessageText::BeginMessage() {
  next_ = 0;
  timeUsed_ = 0;
  speedLevel_ = 2;
  rubyX = penX;
  rubyY = penY - kSize / 2;
  previousClass_ = CharClass::None;
  explicitBase_ = inRuby_ = unpaced_ = emphasis_ = false;
  ruby_.clear();
}

bool MessageText::TypeMessage(Surface& surface, int budget) {
  for (;;) {
    if (budget >= 0 && budget <= timeUsed_) return true;
    if (next_ >= codes_.size()) {
      codes_.clear();
      ruby_.clear();
      next_ = 0;
      return false;
    }
    const TextCode code = codes_[next_++];
    if (code >= 0x10000) {
      switch (code) {
        case kCodePause:
          timeUsed_ += 40;
          break;
        case kCodeLineBreak:
          NewLine();
          break;
        case kCodeFaster:
          speedLevel_ = std::min(4, speedLevel_ + 1);
          break;
        case kCodeSlower:
          speedLevel_ = std::max(0, speedLevel_ - 1);
          break;
        case kCodeRubyBase:
          explicitBase_ = true;
          rubyX = penX;
          rubyY = penY - 12;
          break;
        case kCodeRubyOpen:
          inRuby_ = true;
          break;
        case kCodeRubyClose:
          inRuby_ = false;
          break;
        case kCodeEmphasisOn:
          emphasis_ = true;
          break;
        case kCodeEmphasisOff:
          emphasis_ = false;
          break;
        case kCodeUnpacedOn:
          unpaced_ = true;
          break;
        case kCodeUnpacedOff:
          unpaced_ = false;
          break;
        default:
          break;
      }
      continue;
    }
    if (inRuby_) {
      explicitBase_ = false;
      ruby_.push_back(code);
      continue;
    }
    if (!ruby_.empty()) {
      const int slot = (penX - rubyX) / static_cast<int>(ruby_.size());
      for (TextCode r : ruby_) DrawRubyCharacter(surface, r, slot);
      ruby_.clear();
    }
    timeUsed_ += unpaced_ ? 0 : 16 >> speedLevel_;
    if (code == 0) continue;
    DrawCharacter(surface, code);
    if (emphasis_) DrawEmphasisMark(surface);
  }
}

void MessageText::Place(Surface& surface, int x, int y) {
  if (settings_.TextShadow) rasterizer_.CompositeGlyph(surface, x + 1, y + 1, TextColour{0, 0, 0});
  rasterizer_.CompositeGlyph(surface, x, y, colour);
}

void MessageText::Notify(TextCode code, int x, int y, double scale, GlyphRole role, FontRole font) {
  if (observer_) observer_(PlacedGlyph{code, x, y, scale, role, font});
}

void MessageText::DrawCharacter(Surface& surface, TextCode code) {
  if (!IsLineStartForbidden(code) && penX + kSize > area.right) NewLine();
  const CharClass cls = ClassOf(code);
  if (!explicitBase_ && cls != previousClass_) {
    rubyX = penX;
    rubyY = penY - 12;
  }
  previousClass_ = cls;
  FontRole role;
  if (settings_.FontKind == 1)
    role = FontRole::A;
  else if (settings_.FontKind == 2)
    role = FontRole::B;
  else
    role = cls == CharClass::Kana ? FontRole::A : FontRole::B;
  rasterizer_.RenderGlyph(font(role), code, 1.0);
  Place(surface, penX, penY);
  Notify(code, penX, penY, 1.0, GlyphRole::Text, role);
  const int before = penX;
  penX += rasterizer_.advanceX();
  penY += rasterizer_.advanceY();
  emphasisX = (before + penX - kSize) / 2;
  emphasisY = penY - kSize + kSize / 4;
}

void MessageText::DrawRubyCharacter(Surface& surface, TextCode code, int slot) {
  rasterizer_.RenderGlyph(fontB_.get(), code, 0.5);
  const int room = std::max(0, slot - rasterizer_.advanceX());
  const int half = room / 2;
  rubyX += half;
  Place(surface, rubyX, rubyY);
  Notify(code, rubyX, rubyY, 0.5, GlyphRole::Ruby, FontRole::B);
  rubyX += rasterizer_.advanceX() + (room - half);
  rubyY += rasterizer_.advanceY();
}

void MessageText::DrawEmphasisMark(Surface& surface) {
  // The mark's ink, whatever its face's side bearings, is centred over the
  // character's cell.
  rasterizer_.RenderCodePoint(nameFont_.get(), kEmphasisMark, 1.0);
  const int x = (2 * emphasisX + kSize - 2 * rasterizer_.originX() - rasterizer_.width()) / 2;
  Place(surface, x, emphasisY);
  Notify(kEmphasisMark, x, emphasisY, 1.0, GlyphRole::Emphasis, FontRole::Name);
}

int MessageText::DrawNameText(Surface& surface, std::string_view text, int x, int y) {
  ForEachCode(rasterizer_.codePage(), text, [&](u32 code) {
    rasterizer_.RenderGlyph(nameFont_.get(), code, 1.0);
    Place(surface, x, y);
    Notify(code, x, y, 1.0, GlyphRole::Text, FontRole::Name);
    x += rasterizer_.advanceX();
    y += rasterizer_.advanceY();
  });
  return x;
}

}  // namespace lyraban
