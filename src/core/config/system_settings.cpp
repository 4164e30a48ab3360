#include "core/config/system_settings.h"

#include "base/strings.h"
#include "core/config/config_tree.h"

namespace lyraban {

CodePage::Kind CodePageFromSetting(std::string_view value) {
  for (const char* name : {"932", "sjis", "shift_jis", "shift-jis"})
    if (EqualsNoCase(value, name)) return CodePage::Kind::ShiftJis;
  return CodePage::Kind::Gbk;
}

void ReadSystemSettings(const ConfigTree& tree, SystemSettings& s, bool processorHasMmx) {
  ConfigCursor cursor;
  SelectConfigSection(tree, cursor, "System", "Info");
  s.Title = GetConfigString(cursor, "Title", "???");
  s.Vendor = GetConfigString(cursor, "Vendor", "???");
  s.Version = GetConfigString(cursor, "Version", "???");
  s.Date = GetConfigString(cursor, "Date", "???");

  SelectConfigSection(tree, cursor, "System", "Setting");
  s.ScreenWidth = GetConfigInt(cursor, "ScreenWidth", 640);
  s.ScreenHeight = GetConfigInt(cursor, "ScreenHeight", 480);
  s.ProductID = GetConfigString(cursor, "ProductID", "");
  s.GameCodePage = CodePage(CodePageFromSetting(GetConfigString(cursor, "CodePage", "")));

  SelectConfigSection(tree, cursor, "System", "Option");
  s.EnableMMX = processorHasMmx ? GetConfigBool(cursor, "EnableMMX", false) : false;
  s.SplashImage = GetConfigString(cursor, "SplashImage", "");
}

bool ProcessorHasMmx() {
#if defined(__i386__) || defined(__x86_64__)
  return __builtin_cpu_supports("mmx");
#else
  return false;
#endif
}

}  // namespace lyraban
