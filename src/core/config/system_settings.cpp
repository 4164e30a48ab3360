#include "core/config/system_settings.h"

#include "base/strings.h"
#include "base/trace.h"
#include "core/config/config_tree.h"

namespace lyraban {

namespace {

// A screen side outside the sensible range would leave no screen (0) or
// overflow the arithmetic of everything placed on it; the default is taken.
int ScreenSide(ConfigCursor& cursor, const char* key, int fallback, Trace* trace) {
  const int value = GetConfigInt(cursor, key, fallback);
  if (value >= kMinScreenSide && value <= kMaxScreenSide) return value;
  if (trace)
    trace->DebugTrace("System.Setting の %s=%d は範囲外（%d～%d）なので %d を使う", key, value, kMinScreenSide,
                      kMaxScreenSide, fallback);
  return fallback;
}

}  // namespace

CodePage::Kind CodePageFromSetting(std::string_view value) {
  for (const char* name : {"932", "sjis", "shift_jis", "shift-jis"})
    if (EqualsNoCase(value, name)) return CodePage::Kind::ShiftJis;
  return CodePage::Kind::Gbk;
}

void ReadSystemSettings(const ConfigTree& tree, SystemSettings& s, bool processorHasMmx, Trace* trace) {
  ConfigCursor cursor;
  SelectConfigSection(tree, cursor, "System", "Info");
  s.Title = GetConfigString(cursor, "Title", "???");
  s.Vendor = GetConfigString(cursor, "Vendor", "???");
  s.Version = GetConfigString(cursor, "Version", "???");
  s.Date = GetConfigString(cursor, "Date", "???");

  SelectConfigSection(tree, cursor, "System", "Setting");
  s.ScreenWidth = ScreenSide(cursor, "ScreenWidth", 640, trace);
  s.ScreenHeight = ScreenSide(cursor, "ScreenHeight", 480, trace);
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
