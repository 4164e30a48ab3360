#include "core/base/codepage.h"

#include <cerrno>
#include <iconv.h>

namespace lyraban {

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

std::string CodePage::ToUtf8(std::string_view text) const { return Convert("UTF-8", IconvName(), text, "\xEF\xBF\xBD", false); }

std::string CodePage::FromUtf8(std::string_view utf8) const { return Convert(IconvName(), "UTF-8", utf8, "?", true); }

}  // namespace lyraban
