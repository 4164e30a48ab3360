#pragma once
#include <string>
#include <string_view>

#include "base/usage_doc.h"

namespace lyraban {

// Text as it may stand in a roff line: backslashes and hyphen-minus escaped,
// letters outside ASCII as \[uXXXX] (so no input encoding is assumed), and a
// line that would start with a control character ('.' or '\'') guarded.
// Broken UTF-8 bytes become U+FFFD.
std::string RoffEscape(std::string_view utf8);

// The whole manual page of a program, in the man macros.
std::string ManualPage(const ProgramDoc& doc, std::string_view version);

}  // namespace lyraban
