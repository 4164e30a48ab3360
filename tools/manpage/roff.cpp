#include "roff.h"

#include <cstdio>
#include <vector>

namespace lyraban {

namespace {

// The code point at `i` and its length; U+FFFD and 1 for a broken sequence.
char32_t DecodeUtf8(std::string_view s, std::size_t i, std::size_t& length) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = b(i);
  const std::size_t n = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
  length = 1;
  if (n == 0 || i + n > s.size()) return 0xFFFD;
  char32_t cp = n == 1 ? lead : lead & (0x7F >> n);
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0xFFFD;
    cp = cp << 6 | (b(i + k) & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kSmallest[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
  length = n;
  return cp;
}

std::vector<std::string_view> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + separator.size());
  }
}

bool Indented(std::string_view line) { return line.substr(0, 2) == "  "; }

// "--trace FILE": the first word bold, the rest italic.
std::string Term(std::string_view term) {
  const std::size_t space = term.find(' ');
  std::string out = "\\fB" + RoffEscape(term.substr(0, space)) + "\\fR";
  if (space != std::string_view::npos) out += " \\fI" + RoffEscape(term.substr(space + 1)) + "\\fR";
  return out;
}

void Paragraph(std::string& out, std::string_view text) {
  const std::vector<std::string_view> lines = Split(text, "\n");
  bool restIndented = lines.size() > 1;
  for (std::size_t i = 1; i < lines.size(); ++i) restIndented = restIndented && Indented(lines[i]);
  if (Indented(lines[0])) {
    // An example: kept as laid out.
    out += ".PP\n.RS 4\n.nf\n";
    for (std::string_view line : lines) out += RoffEscape(line.substr(Indented(line) ? 2 : 0)) + "\n";
    out += ".fi\n.RE\n";
  } else if (restIndented) {
    // A term and what it means.
    out += ".TP\n" + Term(lines[0]) + "\n";
    for (std::size_t i = 1; i < lines.size(); ++i) out += RoffEscape(lines[i].substr(2)) + "\n";
  } else {
    out += ".PP\n";
    for (std::string_view line : lines) out += RoffEscape(line) + "\n";
  }
}

void Items(std::string& out, const char* title, std::span<const UsageItem> items) {
  if (items.empty()) return;
  out += ".SH " + RoffEscape(title) + "\n";
  for (const UsageItem& item : items) out += ".TP\n" + Term(item.term) + "\n" + RoffEscape(item.text) + "\n";
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

}  // namespace

std::string RoffEscape(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t length = 1;
    const char32_t cp = DecodeUtf8(utf8, i, length);
    if (cp == '\\') {
      out += "\\e";
    } else if (cp == '-') {
      out += "\\-";
    } else if (cp < 0x80) {
      if (out.empty() && (cp == '.' || cp == '\'')) out += "\\&";
      out += static_cast<char>(cp);
    } else {
      char code[16];
      std::snprintf(code, sizeof code, "\\[u%04X]", static_cast<unsigned>(cp));
      out += code;
    }
    i += length;
  }
  return out;
}

std::string ManualPage(const ProgramDoc& doc, std::string_view version) {
  std::string out;
  out += ".\\\" Made from the program's own description of its command line; edit that, not this.\n";
  out += ".TH " + RoffEscape(Upper(doc.name)) + " " + std::to_string(doc.section) + " \"\" \"Lyraban " +
         RoffEscape(version) + "\" \"" + (doc.section == 6 ? "Games" : "User Commands") + "\"\n";
  out += ".SH NAME\n" + RoffEscape(doc.name) + " \\- " + RoffEscape(doc.summary) + "\n";
  out += ".SH SYNOPSIS\n";
  bool first = true;
  for (const char* form : doc.synopsis) {
    if (!first) out += ".br\n";
    out += "\\fB" + RoffEscape(doc.name) + "\\fR " + RoffEscape(form) + "\n";
    first = false;
  }
  // DESCRIPTION stays first; the arguments and options follow it.
  std::span<const ManualSection> sections = doc.sections;
  if (!sections.empty() && std::string_view(sections.front().title) == "DESCRIPTION") {
    out += ".SH DESCRIPTION\n";
    for (std::string_view p : Split(sections.front().text, "\n\n")) Paragraph(out, p);
    sections = sections.subspan(1);
  }
  Items(out, doc.argumentsTitle, doc.arguments);
  Items(out, "OPTIONS", doc.options);
  for (const ManualSection& section : sections) {
    out += ".SH " + RoffEscape(section.title) + "\n";
    for (std::string_view p : Split(section.text, "\n\n")) Paragraph(out, p);
  }
  return out;
}

}  // namespace lyraban
