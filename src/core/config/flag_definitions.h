#pragma once
#include <memory>

#include "core/config/config_tree.h"
#include "script/flags.h"

namespace lyraban {

// The flag names a game declares in the [Define.Flag] subsection of its
// configuration: keys L000..L999 (local), G000..G999 (global) and
// F000..F999 (seen); an undeclared slot has an empty name. Held on the heap:
// three thousand strings are too many for the stack.
std::unique_ptr<FlagStore::Definitions> ReadFlagDefinitions(const ConfigTree& config);

}  // namespace lyraban
