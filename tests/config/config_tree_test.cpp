#include "core/config/config_tree.h"

#include <gtest/gtest.h>

#include <string>

#include "core/config/system_settings.h"
#include "resources/resources.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using testing::TempDir;

// A game folder of loose files: data/config/config.txt and the files it
// lists. Lines end in CR LF as the game's text files do.
class ConfigTest : public ::testing::Test {
 protected:
  void WriteConfig(std::string_view name, std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view line : lines) {
      text += line;
      text += "\r\n";
    }
    game.Write("data/config/" + std::string(name), text);
  }

  ConfigTree Load() {
    Resources resources(trace);
    resources.OpenDataFolder(game.str());
    ConfigTree tree;
    tree.Insert("Stale", "Left", "over", "x");  // loading empties the tree first
    EXPECT_TRUE(LoadConfigTree(tree, resources));
    return tree;
  }

  std::string Value(const ConfigTree& tree, std::string_view section, std::string_view subsection,
                    std::string_view key) {
    ConfigCursor cursor;
    if (!SelectConfigSection(tree, cursor, section, subsection)) return "<no section>";
    return GetConfigString(cursor, key, "<absent>");
  }

  TempDir game;
  Trace trace;
};

TEST_F(ConfigTest, FirstDefinitionWinsAcrossFilesInListOrder) {
  WriteConfig("config.txt", {"second.txt", "", "missing.txt", "first.txt"});
  WriteConfig("first.txt", {"[System.Setting]", "ScreenWidth=1024", "ScreenHeight=768"});
  WriteConfig("second.txt",
              {"[System.Setting]", "ScreenWidth=800", "screenwidth=900", "[System.Info]", "Title=Second"});
  const ConfigTree tree = Load();
  EXPECT_EQ(Value(tree, "System", "Setting", "ScreenWidth"), "800");
  EXPECT_EQ(Value(tree, "System", "Setting", "ScreenHeight"), "768");
  EXPECT_EQ(Value(tree, "System", "Info", "Title"), "Second");
  EXPECT_EQ(tree.sections().count("Stale"), 0u);
}

TEST_F(ConfigTest, HeaderFormsAndKeysOutsideAFullHeader) {
  WriteConfig("config.txt", {"a.txt", "b.txt"});
  WriteConfig("a.txt", {
                           "Orphan=1",  // before any header
                           "[System]",
                           "Title=NoSubsection",  // section without subsection
                           "[.Option]",           // keeps System, picks Option
                           "SplashImage=splash.png",
                           "[Game.Flags",  // no closing bracket: keys homeless
                           "Lost=1",
                           "[.Info]",  // section still empty
                           "AlsoLost=1",
                           "[Define.Flag.Extra]",  // split at the first point
                           "x=1",
                           "[Sound.Bgm] trailing text",
                           "; Commented=1",
                           "NoEquals",
                           "Volume=80",
                           "[]",  // changes nothing
                           "Tempo=3",
                       });
  // Section and subsection do not carry over into the next file.
  WriteConfig("b.txt", {"Carried=1", "[System.Info]", "Title=FromB"});
  const ConfigTree tree = Load();
  EXPECT_EQ(Value(tree, "System", "Option", "SplashImage"), "splash.png");
  EXPECT_EQ(Value(tree, "System", "Info", "Title"), "FromB");
  EXPECT_EQ(Value(tree, "Define", "Flag.Extra", "x"), "1");
  EXPECT_EQ(Value(tree, "Sound", "Bgm", "Volume"), "80");
  EXPECT_EQ(Value(tree, "Sound", "Bgm", "Tempo"), "3");
  EXPECT_EQ(Value(tree, "Sound", "Bgm", "NoEquals"), "<absent>");
  EXPECT_EQ(Value(tree, "Sound", "Bgm", "; Commented"), "<absent>");
  EXPECT_EQ(Value(tree, "Sound", "Bgm", "Carried"), "<absent>");
  // Only the subsections named above exist; nothing was filed under an
  // empty or broken name.
  ASSERT_EQ(tree.sections().size(), 3u);
  EXPECT_EQ(tree.sections().at("System").size(), 2u);
  EXPECT_EQ(tree.sections().count("Game"), 0u);
  EXPECT_EQ(tree.sections().at("Sound").size(), 1u);
  EXPECT_EQ(tree.sections().at("Sound").at("Bgm").size(), 2u);
}

TEST_F(ConfigTest, KeyAndValueAreCutAtTheirFirstBlank) {
  WriteConfig("config.txt", {"c.txt"});
  WriteConfig("c.txt", {"[System.Info]", "Title = Long Name", "Vendor=\tStudio ; the maker",
                        "Date=", "Version =", "Key With Blank=v", "Eq=a=b", "  Indented=yes", "Trailing=tail  "});
  const ConfigTree tree = Load();
  EXPECT_EQ(Value(tree, "System", "Info", "Title"), "Long");
  EXPECT_EQ(Value(tree, "System", "Info", "Vendor"), "Studio");
  EXPECT_EQ(Value(tree, "System", "Info", "Date"), "");
  EXPECT_EQ(Value(tree, "System", "Info", "Version"), "");
  EXPECT_EQ(Value(tree, "System", "Info", "Key"), "v");
  EXPECT_EQ(Value(tree, "System", "Info", "Eq"), "a=b");
  EXPECT_EQ(Value(tree, "System", "Info", "Indented"), "yes");
  EXPECT_EQ(Value(tree, "System", "Info", "Trailing"), "tail");
}

TEST_F(ConfigTest, NamesMatchInAnyLetterCase) {
  WriteConfig("CONFIG.TXT", {"UPPER.TXT", "lower.txt"});
  WriteConfig("upper.txt", {"[SYSTEM.INFO]", "TITLE=Upper"});
  WriteConfig("lower.txt", {"[system.setting]", "screenwidth=320"});
  const ConfigTree tree = Load();
  EXPECT_EQ(Value(tree, "System", "Info", "Title"), "Upper");
  EXPECT_EQ(Value(tree, "sYsTeM", "iNfO", "tItLe"), "Upper");
  SystemSettings settings;
  ReadSystemSettings(tree, settings, true);
  EXPECT_EQ(settings.Title, "Upper");
  EXPECT_EQ(settings.ScreenWidth, 320);
}

TEST_F(ConfigTest, WithoutConfigListTheTreeStaysEmpty) {
  WriteConfig("other.txt", {"[System.Info]", "Title=X"});
  const ConfigTree tree = Load();
  EXPECT_TRUE(tree.empty());
  SystemSettings settings;
  ReadSystemSettings(tree, settings, true);
  EXPECT_EQ(settings.Title, "???");
  EXPECT_EQ(settings.ScreenWidth, 640);
}

TEST(ConfigCursor, SelectCopiesAndLeavesTheTreeAlone) {
  ConfigTree tree;
  EXPECT_TRUE(tree.Insert("S", "A", "k", "1"));
  EXPECT_FALSE(tree.Insert("s", "a", "K", "2"));
  ConfigCursor cursor;
  ASSERT_TRUE(SelectConfigSection(tree, cursor, "S", "A"));
  tree.Clear();
  EXPECT_EQ(GetConfigString(cursor, "K", "d"), "1");  // a private copy
  EXPECT_FALSE(SelectConfigSection(tree, cursor, "S", "A"));
  EXPECT_TRUE(cursor.empty());
  tree.Insert("S", "A", "k", "1");
  EXPECT_FALSE(SelectConfigSection(tree, cursor, "S", "B"));
  EXPECT_FALSE(SelectConfigSection(tree, cursor, "T", "A"));
  EXPECT_EQ(GetConfigString(cursor, "k", "d"), "d");
}

TEST(ConfigCursor, IntAndBoolConversions) {
  ConfigTree tree;
  const std::pair<const char*, const char*> values[] = {
      {"Empty", ""},      {"Plain", "42"},        {"Neg", "-17"},
      {"Plus", "+8"},     {"Trail", "12px"},      {"Word", "abc"},
      {"Sign", "-"},      {"Big", "99999999999"}, {"Small", "-99999999999"},
      {"On", "ON"},       {"True", "True"},       {"Off", "oFF"},
      {"False", "FALSE"}, {"One", "1"},           {"Yes", "yes"}};
  for (auto [k, v] : values) tree.Insert("S", "A", k, v);
  ConfigCursor c;
  ASSERT_TRUE(SelectConfigSection(tree, c, "S", "A"));
  EXPECT_EQ(GetConfigInt(c, "Empty", 640), 0);
  EXPECT_EQ(GetConfigInt(c, "Absent", 640), 640);
  EXPECT_EQ(GetConfigInt(c, "Plain", 0), 42);
  EXPECT_EQ(GetConfigInt(c, "Neg", 0), -17);
  EXPECT_EQ(GetConfigInt(c, "Plus", 0), 8);
  EXPECT_EQ(GetConfigInt(c, "Trail", 0), 12);
  EXPECT_EQ(GetConfigInt(c, "Word", 5), 0);
  EXPECT_EQ(GetConfigInt(c, "Sign", 5), 0);
  EXPECT_EQ(GetConfigInt(c, "Big", 0), 2147483647);
  EXPECT_EQ(GetConfigInt(c, "Small", 0), -2147483647 - 1);
  EXPECT_EQ(ParseConfigInt("  \t-3x"), -3);

  EXPECT_TRUE(GetConfigBool(c, "On", false));
  EXPECT_TRUE(GetConfigBool(c, "True", false));
  EXPECT_FALSE(GetConfigBool(c, "Off", true));
  EXPECT_FALSE(GetConfigBool(c, "False", true));
  EXPECT_FALSE(GetConfigBool(c, "One", false));  // neither word: the default
  EXPECT_TRUE(GetConfigBool(c, "One", true));
  EXPECT_TRUE(GetConfigBool(c, "Yes", true));
  EXPECT_FALSE(GetConfigBool(c, "Empty", false));
  EXPECT_TRUE(GetConfigBool(c, "Absent", true));
}

}  // namespace
}  // namespace lyraban
