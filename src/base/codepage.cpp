#include "base/codepage.h"

#include <iconv.h>

#include <cerrno>

namespace lyraban {

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > text.size() || (n == 2 && c < 0xC2)) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

const char* CodePage::IconvName() const { return kind_ == Kind::ShiftJis ? "CP932" : "GBK"; }

bool CodePage::IsLeadByte(u8 byte) const {
  if (kind_ == Kind::ShiftJis) return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
  return byte >= 0x81 && byte <= 0xFE;
}

namespace {

// Converts with iconv, replacing each undecodable input byte by `bad`.
// A UTF-8 source skips a whole unmappable character, so it becomes one mark.
std::string Convert(const char* to, const char* from, std::string_view text, std::string_view bad, bool fromUtf8) {
  std::string out;
  if (text.empty()) return out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // No converter: pass ASCII through so diagnostics stay readable.
    for (char c : text) {
      if (static_cast<unsigned char>(c) < 0x80)
        out.push_back(c);
      else
        out.append(bad);
    }
    return out;
  }
  out.reserve(text.size() * 2);
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char buffer[1024];
  while (inLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    const size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
    out.append(buffer, sizeof buffer - dstLeft);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: drop one byte and mark it.
      out.append(bad);
      do {
        ++in;
        --inLeft;
      } while (fromUtf8 && inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80);
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  char* dst = buffer;
  size_t dstLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  out.append(buffer, sizeof buffer - dstLeft);
  iconv_close(cd);
  return out;
}

}  // namespace

std::string CodePage::ToUtf8(std::string_view text) const {
  return Convert("UTF-8", IconvName(), text, "\xEF\xBF\xBD", false);
}

std::string CodePage::FromUtf8(std::string_view utf8) const { return Convert(IconvName(), "UTF-8", utf8, "?", true); }

u32 CodePage::CodeToUnicode(u32 code) const {
  if (code == 0 || code > 0xFFFF) return 0;
  std::string bytes;
  if (code > 0xFF) bytes.push_back(static_cast<char>(code >> 8));
  bytes.push_back(static_cast<char>(code & 0xFF));
  if (bytes.size() == 2 && !IsLeadByte(static_cast<u8>(bytes[0]))) return 0;
  if (bytes.size() == 1 && IsLeadByte(static_cast<u8>(bytes[0]))) return 0;
  const std::string utf8 = ToUtf8(bytes);
  // Exactly one well-formed character, and not the replacement mark.
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  u32 cp = 0;
  std::size_t len = 0;
  if (n >= 1 && p[0] < 0x80) {
    cp = p[0];
    len = 1;
  } else if (n >= 2 && (p[0] & 0xE0) == 0xC0) {
    cp = ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
    len = 2;
  } else if (n >= 3 && (p[0] & 0xF0) == 0xE0) {
    cp = ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    len = 3;
  } else if (n >= 4 && (p[0] & 0xF8) == 0xF0) {
    cp = ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
    len = 4;
  }
  if (len != n || cp == 0xFFFD) return 0;
  return cp;
}

u32 CodePage::CodeFromUtf8(std::string_view utf8) const {
  if (utf8.empty()) return 0;
  std::size_t len = 1;
  const auto lead = static_cast<unsigned char>(utf8[0]);
  if ((lead & 0xE0) == 0xC0)
    len = 2;
  else if ((lead & 0xF0) == 0xE0)
    len = 3;
  else if ((lead & 0xF8) == 0xF0)
    len = 4;
  if (len > utf8.size()) return 0;
  const std::string bytes = FromUtf8(utf8.substr(0, len));
  if (bytes.size() == 1) {
    // A lone '?' is the unmappable mark unless '?' itself was asked for.
    if (bytes[0] == '?' && utf8[0] != '?') return 0;
    return static_cast<u8>(bytes[0]);
  }
  if (bytes.size() == 2 && IsLeadByte(static_cast<u8>(bytes[0])))
    return (static_cast<u32>(static_cast<u8>(bytes[0])) << 8) | static_cast<u8>(bytes[1]);
  return 0;
}

}  // namespace lyraban
