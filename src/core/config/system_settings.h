#pragma once
#include <string>
#include <string_view>

#include "base/codepage.h"

namespace lyraban {

class ConfigTree;
class Trace;

// Screen sides a game may configure; others fall back to the default.
inline constexpr int kMinScreenSide = 16;
inline constexpr int kMaxScreenSide = 4096;

// What the game says about itself in the section System.
struct SystemSettings {
  std::string Title = "???";
  std::string Vendor = "???";
  std::string Version = "???";
  std::string Date = "???";
  int ScreenWidth = 640;
  int ScreenHeight = 480;
  std::string ProductID;
  bool EnableMMX = false;
  std::string SplashImage;
  // The code page the game's text is written in (System / Setting /
  // CodePage): "932", "sjis", "shift_jis" or "shift-jis" select Shift-JIS,
  // anything else GBK.
  CodePage GameCodePage{CodePage::Kind::Gbk};
};

// Reads System / Info, System / Setting and System / Option through one
// cursor; a missing subsection leaves that group at its defaults. EnableMMX
// is read only when `processorHasMmx`, otherwise it is false. A screen size
// out of range is replaced by the default, with a diagnostic on `trace`.
void ReadSystemSettings(const ConfigTree& tree, SystemSettings& settings, bool processorHasMmx,
                        Trace* trace = nullptr);

// Whether this machine's processor reports MMX.
bool ProcessorHasMmx();

// The code page a CodePage setting names.
CodePage::Kind CodePageFromSetting(std::string_view value);

}  // namespace lyraban
