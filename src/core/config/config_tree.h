#pragma once
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "base/strings.h"

namespace lyraban {

class Resources;
class TextLines;

// The game's configuration: section -> subsection -> key -> value, merged
// from every file that "config.txt" lists. All three levels compare without
// regard to ASCII letter case. The first definition of a key wins, so the
// file listed first decides.
class ConfigTree {
 public:
  using KeyMap = std::map<std::string, std::string, LessNoCase>;
  using SubsectionMap = std::map<std::string, KeyMap, LessNoCase>;
  using SectionMap = std::map<std::string, SubsectionMap, LessNoCase>;

  void Clear() { sections_.clear(); }
  bool empty() const { return sections_.empty(); }
  const SectionMap& sections() const { return sections_; }

  // A line that adding a file passes over, with the reason (the game checker
  // reports them; the engine ignores them silently).
  using IgnoredLineFn = std::function<void(std::size_t lineIndex, std::string_view why)>;

  // Adds the key lines of one configuration file. Section and subsection
  // start empty for every file; keys outside a full section.subsection
  // header are ignored.
  void AddFile(const TextLines& lines, const IgnoredLineFn& ignored = {});
  // Inserts a value unless the key already has one. True when inserted.
  bool Insert(std::string_view section, std::string_view subsection, std::string_view key, std::string_view value);
  // The key map of section / subsection, or null.
  const KeyMap* Find(std::string_view section, std::string_view subsection) const;

 private:
  SectionMap sections_;
};

// Empties the tree, then reads "config.txt" of the folder "config" and every
// file it names, one name a line, in order. Without "config.txt" the tree
// stays empty. Missing files and malformed lines are skipped silently.
bool LoadConfigTree(ConfigTree& tree, Resources& resources);

// A private copy of one subsection's keys; reading through it never touches
// the tree.
class ConfigCursor {
 public:
  void Clear() { keys_.clear(); }
  bool empty() const { return keys_.empty(); }
  const ConfigTree::KeyMap& keys() const { return keys_; }

 private:
  friend bool SelectConfigSection(const ConfigTree&, ConfigCursor&, std::string_view, std::string_view);
  ConfigTree::KeyMap keys_;
};

// Empties the cursor; copies section / subsection into it when the tree has
// it. False (cursor empty) otherwise.
bool SelectConfigSection(const ConfigTree& tree, ConfigCursor& cursor, std::string_view section,
                         std::string_view subsection);

// The value when the key is present (an empty value included), else the
// default.
std::string GetConfigString(const ConfigCursor& cursor, std::string_view key, std::string_view defaultValue);
// The value read as a decimal integer: leading blanks, an optional sign,
// then digits up to the first non-digit; no digits gives 0. Absent: default.
int GetConfigInt(const ConfigCursor& cursor, std::string_view key, int defaultValue);
// "on"/"true" and "off"/"false" in any letter case; anything else, and an
// absent key, give the default.
bool GetConfigBool(const ConfigCursor& cursor, std::string_view key, bool defaultValue);

// The integer conversion GetConfigInt applies, saturating at the int range.
int ParseConfigInt(std::string_view text);

}  // namespace lyraban
