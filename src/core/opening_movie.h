#pragma once
#include "resources/text_lines.h"

namespace lyraban {

// Whether a script's first line that does anything is a movie tag: the
// movie then plays as soon as the script starts, and its decoder is worth
// loading ahead, while the rest of start-up runs.
bool OpensWithMovie(const TextLines& script);

}  // namespace lyraban
