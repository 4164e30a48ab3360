#include "sysinfo/system_info.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/strings.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace lyraban {

namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

bool ReadSmallFile(const char* path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream out;
  out << in.rdbuf();
  text = out.str();
  return true;
}

// The value of KEY=VALUE in os-release text, quotes and escapes undone.
std::string OsReleaseValue(std::string_view text, std::string_view key) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = TrimBlanks(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=') continue;
    std::string_view raw = line.substr(key.size() + 1);
    std::string value;
    char quote = 0;
    if (!raw.empty() && (raw.front() == '"' || raw.front() == '\'')) {
      quote = raw.front();
      raw.remove_prefix(1);
    }
    for (size_t i = 0; i < raw.size(); ++i) {
      if (quote && raw[i] == quote) break;
      if (quote == '"' && raw[i] == '\\' && i + 1 < raw.size()) ++i;
      value += raw[i];
    }
    return std::string(TrimBlanks(value));
  }
  return {};
}

}  // namespace

std::string DescribeBuildDate(std::string_view compilerDate) {
  static constexpr const char* kMonths[13] = {"***", "jan", "feb", "mar", "apr", "may", "jun",
                                              "jul", "aug", "sep", "oct", "nov", "dec"};
  // Three words: month name, day, year.
  char month[32] = {}, day[32] = {}, year[32] = {};
  const std::string date(compilerDate);
  if (std::sscanf(date.c_str(), "%31s %31s %31s", month, day, year) != 3) return "?";
  if (std::strlen(month) < 3) return "?";
  for (int i = 1; i < 13; ++i) {
    if (EqualsNoCase(std::string_view(month, 3), kMonths[i])) {
      char text[128];
      std::snprintf(text, sizeof text, "%s/%02d/%s", year, i, day);
      return text;
    }
  }
  return "?";
}

std::string DescribeBuildDate() { return DescribeBuildDate(__DATE__); }

bool FormatOperatingSystem(std::string_view osRelease, std::string_view kernelRelease, std::string& line) {
  std::string name = OsReleaseValue(osRelease, "PRETTY_NAME");
  if (name.empty()) {
    name = OsReleaseValue(osRelease, "NAME");
    const std::string version = OsReleaseValue(osRelease, "VERSION");
    if (!name.empty() && !version.empty()) name += " " + version;
  }
  const std::string kernel(TrimBlanks(kernelRelease));
  if (name.empty() && kernel.empty()) return false;
  if (kernel.empty())
    line = name;
  else if (name.empty())
    line = "Linux " + kernel;
  else
    line = name + " (Linux " + kernel + ")";
  return true;
}

bool DescribeOperatingSystem(std::string& line) {
  std::string text;
  if (!ReadSmallFile("/etc/os-release", text)) ReadSmallFile("/usr/lib/os-release", text);
  struct utsname names {};
  const std::string kernel = uname(&names) == 0 ? names.release : "";
  return FormatOperatingSystem(text, kernel, line);
}

bool FormatGraphics(std::string_view library, std::string_view driver, std::string_view renderer, std::string& line) {
  if (library.empty()) return false;
  line = std::string(library);
  std::string detail(driver);
  if (!renderer.empty()) detail += (detail.empty() ? "" : ", ") + std::string(renderer);
  if (!detail.empty()) line += " (" + detail + ")";
  return true;
}

std::string TrimBrandString(std::string_view bytes) {
  const size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
  return std::string(TrimBlanks(bytes));
}

bool ProcessorNameFromCpuinfo(std::string_view cpuinfo, std::string& name) {
  // x86 kernels say "model name"; ARM ones "Processor" or "Hardware".
  for (std::string_view key : {"model name", "Processor", "Hardware", "cpu model"}) {
    size_t pos = 0;
    while (pos < cpuinfo.size()) {
      size_t end = cpuinfo.find('\n', pos);
      if (end == std::string_view::npos) end = cpuinfo.size();
      std::string_view line = cpuinfo.substr(pos, end - pos);
      pos = end + 1;
      const size_t colon = line.find(':');
      if (colon == std::string_view::npos || TrimBlanks(line.substr(0, colon)) != key) continue;
      std::string_view value = TrimBlanks(line.substr(colon + 1));
      if (value.empty()) continue;
      name = std::string(value);
      return true;
    }
  }
  return false;
}

bool DescribeProcessor(std::string& line) {
#if defined(__i386__) || defined(__x86_64__)
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(0x80000000u, &a, &b, &c, &d) && a >= 0x80000004u) {
    char brand[49] = {};
    for (unsigned leaf = 0; leaf < 3; ++leaf) {
      unsigned r[4] = {};
      __get_cpuid(0x80000002u + leaf, &r[0], &r[1], &r[2], &r[3]);
      std::memcpy(brand + leaf * 16, r, 16);
    }
    std::string name = TrimBrandString(std::string_view(brand, 48));
    if (!name.empty()) {
      line = name;
      return true;
    }
  }
#endif
  std::string text;
  if (!ReadSmallFile("/proc/cpuinfo", text)) return false;
  return ProcessorNameFromCpuinfo(text, line);
}

std::string DescribeMemory(u64 bytes) {
  const u64 megabytes = bytes >> 20;
  char text[64];
  if (megabytes < 1024)
    std::snprintf(text, sizeof text, "%llu MB", static_cast<unsigned long long>(megabytes));
  else
    std::snprintf(text, sizeof text, "%llu GB", static_cast<unsigned long long>(megabytes >> 10));
  return text;
}

bool DescribeMemory(std::string& line) {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long size = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || size <= 0) return false;
  line = DescribeMemory(static_cast<u64>(pages) * static_cast<u64>(size));
  return true;
}

u32 GetVideoMemoryBytes(u64 desktopBytes) {
  // Only some kernel drivers (amdgpu) publish their video memory; the first
  // card that does answers.
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/class/drm", ec)) {
    const auto file = entry.path() / "device" / "mem_info_vram_total";
    std::string text;
    if (!ReadSmallFile(file.c_str(), text)) continue;
    unsigned long long total = 0;
    if (std::sscanf(text.c_str(), "%llu", &total) != 1 || total == 0) continue;
    total += desktopBytes;
    return total > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<u32>(total);
  }
  return 0;
}

std::string FormatVideoMemory(u32 bytes) {
  if (bytes == 0) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%u MB", static_cast<unsigned>((static_cast<u64>(bytes) + 0x80000) >> 20));
  return text;
}

std::string DescribeJoystick(int buttons) {
  if (buttons < 0) return {};
  char text[64];
  std::snprintf(text, sizeof text, "已连接   （%d 按鍵）", buttons);
  return text;
}

std::string DescribeMissingFeatures(bool mmx, bool fullScreen, bool sound, bool movies) {
  std::string lines;
  if (!mmx) lines += "不支持MMX指令集        \n";
  if (!fullScreen) lines += "不能使用全屏模式·[DirectDraw]  \n";
  if (!sound) lines += "没有声音[DirectSound]             \n";
  if (!movies) lines += "不能播放Movie· [DirectShow]      \n";
  return lines;
}

}  // namespace lyraban
