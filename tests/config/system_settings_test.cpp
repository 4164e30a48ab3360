#include "core/config/system_settings.h"

#include <gtest/gtest.h>

#include "core/config/config_tree.h"

namespace lyraban {
namespace {

ConfigTree SampleTree() {
  ConfigTree t;
  t.Insert("System", "Info", "Title", "Sample");
  t.Insert("System", "Info", "Vendor", "");
  t.Insert("System", "Setting", "ScreenWidth", "800");
  t.Insert("System", "Setting", "ScreenHeight", "600");
  t.Insert("System", "Setting", "ProductID", "LYRA_SAMPLE");
  t.Insert("System", "Option", "EnableMMX", "TRUE");
  t.Insert("System", "Option", "SplashImage", "logo.png");
  return t;
}

TEST(SystemSettings, ReadsEveryGroupAndKeepsDefaultsForTheRest) {
  SystemSettings s;
  s.Date = "stale";
  ReadSystemSettings(SampleTree(), s, true);
  EXPECT_EQ(s.Title, "Sample");
  EXPECT_EQ(s.Vendor, "");  // present but empty: not the default
  EXPECT_EQ(s.Version, "???");
  EXPECT_EQ(s.Date, "???");
  EXPECT_EQ(s.ScreenWidth, 800);
  EXPECT_EQ(s.ScreenHeight, 600);
  EXPECT_EQ(s.ProductID, "LYRA_SAMPLE");
  EXPECT_TRUE(s.EnableMMX);
  EXPECT_EQ(s.SplashImage, "logo.png");
  EXPECT_EQ(s.GameCodePage.kind(), CodePage::Kind::Gbk);
}

TEST(SystemSettings, MmxNeedsTheProcessorAndAWordAndMissingGroupsGiveDefaults) {
  SystemSettings s;
  ReadSystemSettings(SampleTree(), s, false);
  EXPECT_FALSE(s.EnableMMX);
  ConfigTree t;
  t.Insert("System", "Option", "EnableMMX", "1");
  t.Insert("Game", "Setting", "ScreenWidth", "2");
  ReadSystemSettings(t, s, true);
  EXPECT_FALSE(s.EnableMMX);
  EXPECT_EQ(s.ScreenWidth, 640);
  EXPECT_EQ(s.ProductID, "");
  EXPECT_EQ(s.Title, "???");
}

TEST(SystemSettings, CodePageSetting) {
  for (const char* sjis : {"932", "sjis", "SJIS", "Shift_JIS", "shift-jis", "SHIFT-JIS"}) {
    ConfigTree t;
    t.Insert("System", "Setting", "CodePage", sjis);
    SystemSettings s;
    ReadSystemSettings(t, s, false);
    EXPECT_EQ(s.GameCodePage.kind(), CodePage::Kind::ShiftJis) << sjis;
  }
  for (const char* gbk : {"936", "gbk", "", "9320", "shiftjis"}) {
    ConfigTree t;
    t.Insert("System", "Setting", "CodePage", gbk);
    SystemSettings s;
    s.GameCodePage = CodePage(CodePage::Kind::ShiftJis);
    ReadSystemSettings(t, s, false);
    EXPECT_EQ(s.GameCodePage.kind(), CodePage::Kind::Gbk) << gbk;
  }
}

}  // namespace
}  // namespace lyraban
