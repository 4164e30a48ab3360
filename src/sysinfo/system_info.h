#pragma once
#include <string>
#include <string_view>

#include "base/types.h"

namespace lyraban {

// The machine description of the version page and the support report. Every
// line is UTF-8 and empty when it could not be found out; nothing here fails
// loudly.
struct SystemReport {
  std::string os;
  std::string graphics;  // the display line (the library, its driver and renderer)
  std::string cpu;
  std::string ram;
  std::string vram;  // "%u MB", or empty where the platform cannot tell
  std::string pad;
  std::string missing;  // one line per missing capability
};

// "Jul 15 2004" as "2004/07/15"; "?" for a month name that is not one.
std::string DescribeBuildDate(std::string_view compilerDate);
// The engine's own build date, from the compiler.
std::string DescribeBuildDate();

// The distribution's name from the text of os-release (PRETTY_NAME, else
// NAME and VERSION) and the kernel release, as "NAME (Linux RELEASE)";
// either part alone when the other is unknown. False when both are.
bool FormatOperatingSystem(std::string_view osRelease, std::string_view kernelRelease, std::string& line);
bool DescribeOperatingSystem(std::string& line);

// "LIBRARY (DRIVER, RENDERER)", leaving out what is empty; false without a
// library version.
bool FormatGraphics(std::string_view library, std::string_view driver, std::string_view renderer, std::string& line);

// The processor's brand string from CPUID, else the "model name" (or
// "Processor"/"Hardware") line of /proc/cpuinfo.
bool DescribeProcessor(std::string& line);
// The brand string as CPUID's 48 bytes hold it: up to the first NUL, blanks
// around it removed.
std::string TrimBrandString(std::string_view bytes);
bool ProcessorNameFromCpuinfo(std::string_view cpuinfo, std::string& name);

// Total physical memory in whole megabytes as "%d MB", from 1024 MB on in
// whole gigabytes as "%d GB".
std::string DescribeMemory(u64 bytes);
bool DescribeMemory(std::string& line);

// Video memory plus the visible desktop, when the graphics driver tells its
// total; 0 where it does not.
u32 GetVideoMemoryBytes(u64 desktopBytes);
// "%u MB" of the bytes rounded to whole megabytes; empty for 0.
std::string FormatVideoMemory(u32 bytes);

// "已连接   （%d 按鍵）" for a joystick with that many buttons; empty for none
// (a negative count).
std::string DescribeJoystick(int buttons);

// The extra-information lines, in order: MMX, full screen, sound, movies.
std::string DescribeMissingFeatures(bool mmx, bool fullScreen, bool sound, bool movies);

}  // namespace lyraban
