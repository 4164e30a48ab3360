#include "base/usage_doc.h"

#include <algorithm>
#include <cstring>

namespace lyraban {

std::string FormatHelp(const ProgramDoc& doc) {
  std::string out;
  bool first = true;
  for (const char* form : doc.synopsis) {
    out += first ? "usage: " : "       ";
    out += doc.name;
    out += ' ';
    out += form;
    out += '\n';
    first = false;
  }
  std::size_t width = 0;
  for (auto items : {doc.arguments, doc.options})
    for (const UsageItem& item : items) width = std::max(width, std::strlen(item.term));
  for (auto items : {doc.arguments, doc.options})
    for (const UsageItem& item : items) {
      out += "  ";
      out += item.term;
      out.append(width + 2 - std::strlen(item.term), ' ');
      out += item.text;
      out += '\n';
    }
  return out;
}

}  // namespace lyraban
