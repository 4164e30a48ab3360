#include "core/config/config_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "core/config/system_settings.h"
#include "resources/resources.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

// Loads a folder of loose config files (name, text) into a tree that held a
// stale entry before; loading must empty it first.
ConfigTree Load(std::initializer_list<std::pair<const char*, const char*>> files) {
  testing::TempDir game;
  for (auto [name, text] : files) game.Write(std::string("data/config/") + name, text);
  Trace trace;
  Resources resources(trace);
  resources.OpenDataFolder(game.str());
  ConfigTree tree;
  tree.Insert("Stale", "Left", "over", "x");
  EXPECT_TRUE(LoadConfigTree(tree, resources));
  return tree;
}

std::string Value(const ConfigTree& tree, std::string_view section, std::string_view sub, std::string_view key) {
  ConfigCursor cursor;
  if (!SelectConfigSection(tree, cursor, section, sub)) return "<no section>";
  return GetConfigString(cursor, key, "<absent>");
}

TEST(ConfigTree, FilesMergeInListOrderFirstDefinitionWinsAnyLetterCase) {
  const ConfigTree tree = Load({{"CONFIG.TXT", "second.txt\r\n\r\nmissing.txt\r\nFIRST.TXT\r\n"},
                                {"first.txt", "[SYSTEM.SETTING]\r\nScreenWidth=1024\r\nScreenHeight=768\r\n"},
                                {"second.txt", "[System.Setting]\r\nScreenWidth=800\r\nscreenwidth=900\r\n"}});
  EXPECT_EQ(Value(tree, "sYsTeM", "sEtTiNg", "SCREENWIDTH"), "800");
  EXPECT_EQ(Value(tree, "System", "Setting", "ScreenHeight"), "768");
  EXPECT_EQ(tree.sections().count("Stale"), 0u);
  EXPECT_TRUE(Load({{"other.txt", "[System.Info]\r\nTitle=X\r\n"}}).empty());  // no list: nothing read
}

TEST(ConfigTree, HeadersAndKeyValueCutting) {
  const ConfigTree tree =
      Load({{"config.txt", "a.txt\r\nb.txt\r\n"},
            {"a.txt",
             "Orphan=1\r\n[System]\r\nNoSub=1\r\n[.Option]\r\nSplash=s.png\r\n[Game.Flags\r\nLost=1\r\n[.Info]\r\n"
             "AlsoLost=1\r\n[Define.Flag.Extra]\r\nx=1\r\n[Sound.Bgm] trailing\r\n; Commented=1\r\nNoEquals\r\n"
             "Title = Long Name\r\nVendor=\tStudio ; maker\r\nDate=\r\nKey With Blank=v\r\nEq=a=b\r\n"
             "  Indented=yes\r\n[]\r\nTrailing=tail  \r\n"},
            // Section and subsection do not carry over into the next file.
            {"b.txt", "Carried=1\r\n[System.Info]\r\nTitle=FromB\r\n"}});
  // clang-format off
  const std::pair<const char*, const char*> bgm[] = {{"Title", "Long"}, {"Vendor", "Studio"}, {"Date", ""},
      {"Key", "v"}, {"Eq", "a=b"}, {"Indented", "yes"}, {"Trailing", "tail"}, {"NoEquals", "<absent>"},
      {"; Commented", "<absent>"}, {"Carried", "<absent>"}};
  // clang-format on
  for (auto [key, value] : bgm) EXPECT_EQ(Value(tree, "Sound", "Bgm", key), value) << key;
  EXPECT_EQ(Value(tree, "System", "Option", "Splash"), "s.png");
  EXPECT_EQ(Value(tree, "Define", "Flag.Extra", "x"), "1");
  EXPECT_EQ(Value(tree, "System", "Info", "Title"), "FromB");
  // Nothing was filed under an empty or broken name.
  ASSERT_EQ(tree.sections().size(), 3u);
  EXPECT_EQ(tree.sections().at("System").size(), 2u);
  EXPECT_EQ(tree.sections().at("System").at("Option").size(), 1u);  // a broken header homes no keys
  EXPECT_EQ(tree.sections().at("Sound").at("Bgm").size(), 7u);
}

TEST(ConfigCursor, PrivateCopyAndConversions) {
  // asBool: 1 or 0 for the words, -1 where the default must come back.
  struct Case {
    const char* text;
    int asInt, asBool;
  };
  // clang-format off
  const Case cases[] = {{"", 0, -1}, {"-17", -17, -1}, {"+8", 8, -1}, {" \t12px", 12, -1}, {"abc", 0, -1},
      {"99999999999", INT32_MAX, -1}, {"-99999999999", INT32_MIN, -1}, {"ON", 0, 1}, {"True", 0, 1}, {"oFF", 0, 0},
      {"FALSE", 0, 0}};
  // clang-format on
  for (const Case& k : cases) {
    ConfigTree tree;
    tree.Insert("S", "A", "k", k.text);
    ConfigCursor c;
    ASSERT_TRUE(SelectConfigSection(tree, c, "S", "A"));
    tree.Clear();  // the cursor reads its own copy
    EXPECT_EQ(GetConfigInt(c, "k", 640), k.asInt) << k.text;
    for (bool d : {false, true}) EXPECT_EQ(GetConfigBool(c, "k", d), k.asBool < 0 ? d : k.asBool == 1) << k.text;
    EXPECT_FALSE(SelectConfigSection(tree, c, "S", "A"));
    EXPECT_EQ(GetConfigInt(c, "k", 640) + GetConfigBool(c, "k", true), 641);  // emptied: defaults
  }
}

TEST(SystemSettings, GroupsDefaultsMmxAndCodePage) {
  ConfigTree t;
  // clang-format off
  for (auto [sub, key, value] : {std::tuple{"Info", "Title", "Sample"}, {"Info", "Vendor", ""},
       {"Setting", "ScreenWidth", "800"}, {"Setting", "CodePage", "sjis"}, {"Option", "EnableMMX", "TRUE"},
       {"Option", "SplashImage", "logo.png"}})
    // clang-format on
    t.Insert("System", sub, key, value);
  SystemSettings s;
  s.Date = "stale";
  ReadSystemSettings(t, s, true);
  EXPECT_EQ(s.Title + "|" + s.Vendor + "|" + s.Version + "|" + s.Date + "|" + s.SplashImage,
            "Sample||???|???|logo.png");
  EXPECT_EQ(s.ScreenWidth, 800);
  EXPECT_EQ(s.ScreenHeight, 480);
  EXPECT_TRUE(s.EnableMMX);
  EXPECT_EQ(s.GameCodePage.kind(), CodePage::Kind::ShiftJis);
  ReadSystemSettings(t, s, false);
  EXPECT_FALSE(s.EnableMMX);
  for (const char* sjis : {"932", "SJIS", "Shift_JIS", "shift-jis"})
    EXPECT_EQ(CodePageFromSetting(sjis), CodePage::Kind::ShiftJis) << sjis;
  for (const char* gbk : {"936", "", "9320", "shiftjis"})
    EXPECT_EQ(CodePageFromSetting(gbk), CodePage::Kind::Gbk) << gbk;
}

}  // namespace
}  // namespace lyraban
