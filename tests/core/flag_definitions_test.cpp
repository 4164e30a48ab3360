#include "core/config/flag_definitions.h"

#include <gtest/gtest.h>

namespace lyraban {
namespace {

// The engine reads the names from [Define.Flag] and hands them to the
// flag store: L, G and F keys fill the local, global and seen banks by their
// number; other subsections and undeclared slots give no name.
TEST(FlagDefinitions, KeysFillTheirBankBySlotAndOtherSectionsAreIgnored) {
  ConfigTree config;
  for (auto [key, name] : {std::pair{"L000", "route"},
                           {"g001", "b"},
                           {"G999", "last"},
                           {"F999", "ev_end"},
                           {"F1000", "beyond"},
                           {"X000", "other"}})
    config.Insert("Define", "Flag", key, name);
  config.Insert("Define", "Other", "L001", "elsewhere");
  const auto names = ReadFlagDefinitions(config);
  ASSERT_NE(names, nullptr);
  // Every declared name, as bank letter, slot and name.
  std::vector<std::string> declared;
  for (std::size_t bank = 0; bank < 3; ++bank)
    for (int slot = 0; slot < kFlagSlots; ++slot)
      if (!(*names)[bank][slot].empty())
        declared.push_back(std::string(1, "LGF"[bank]) + std::to_string(slot) + "=" + (*names)[bank][slot]);
  EXPECT_EQ(declared, (std::vector<std::string>{"L0=route", "G1=b", "G999=last", "F999=ev_end"}));
}

}  // namespace
}  // namespace lyraban
