#pragma once
#include <string>

#include "resources/text_lines.h"

namespace lyraban {

// Whether a script's first line that does anything is a movie tag: the
// movie then plays as soon as the script starts, and its decoder is worth
// loading ahead, while the rest of start-up runs.
bool OpensWithMovie(const TextLines& script);

// The file that movie tag names (its first argument), to be opened ahead;
// empty when the script does not open with a movie.
std::string OpeningMovieName(const TextLines& script);

}  // namespace lyraban
