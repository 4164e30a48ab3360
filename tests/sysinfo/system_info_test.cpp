#include "sysinfo/system_info.h"

#include <gtest/gtest.h>

#include <string>

namespace lyraban {
namespace {

TEST(BuildDate, MonthNamesGiveYearMonthDay) {
  const struct {
    const char* compiler;
    const char* shown;
  } cases[] = {
      {"Jul 15 2004", "2004/07/15"},
      {"Jan  1 2026", "2026/01/1"},
      {"DEC 31 1999", "1999/12/31"},
      {"sept 9 2001", "2001/09/9"},
      {"Xyz 15 2004", "?"},
      {"*** 15 2004", "?"},
      {"Ju 15 2004", "?"},
      {"Jul 15", "?"},
      {"", "?"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DescribeBuildDate(c.compiler), c.shown) << "compiler date \"" << c.compiler << "\"";
  // The engine's own date is one of them.
  EXPECT_NE(DescribeBuildDate(), "?");
}

TEST(Memory, MegabytesBelowOneGigabyteThenWholeGigabytes) {
  const struct {
    unsigned long long megabytes;
    const char* shown;
  } cases[] = {{768, "768 MB"}, {2048, "2 GB"}, {1023, "1023 MB"}, {1024, "1 GB"}, {3071, "2 GB"}, {0, "0 MB"}};
  for (const auto& c : cases) EXPECT_EQ(DescribeMemory(c.megabytes << 20), c.shown) << c.megabytes << " MB";
  // Part of a megabyte does not count.
  EXPECT_EQ(DescribeMemory((768ull << 20) + (1 << 19)), "768 MB");
  std::string line;
  EXPECT_TRUE(DescribeMemory(line));
  EXPECT_FALSE(line.empty());
}

TEST(VideoMemory, RoundedToWholeMegabytesAndEmptyWhenUnknown) {
  EXPECT_EQ(FormatVideoMemory(0), "");
  EXPECT_EQ(FormatVideoMemory((256u << 20) + 0x7FFFF), "256 MB");
  EXPECT_EQ(FormatVideoMemory((256u << 20) + 0x80000), "257 MB");
}

TEST(OperatingSystem, DistributionNameAndKernel) {
  std::string line;
  EXPECT_TRUE(FormatOperatingSystem("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
                                    "6.1.0-18-amd64\n", line));
  EXPECT_EQ(line, "Debian GNU/Linux 12 (bookworm) (Linux 6.1.0-18-amd64)");
  EXPECT_TRUE(FormatOperatingSystem("NAME=Arch\nVERSION='rolling'\n", "", line));
  EXPECT_EQ(line, "Arch rolling");
  EXPECT_TRUE(FormatOperatingSystem("", "5.10", line));
  EXPECT_EQ(line, "Linux 5.10");
  EXPECT_TRUE(FormatOperatingSystem("PRETTY_NAME=\"say \\\"hi\\\"\"", "", line));
  EXPECT_EQ(line, "say \"hi\"");
  line = "unchanged";
  EXPECT_FALSE(FormatOperatingSystem("ID=debian\n", " ", line));
  EXPECT_EQ(line, "unchanged");
  EXPECT_TRUE(DescribeOperatingSystem(line));
}

TEST(Graphics, LibraryDriverAndRenderer) {
  std::string line;
  EXPECT_TRUE(FormatGraphics("SDL 2.26.5", "x11", "opengl", line));
  EXPECT_EQ(line, "SDL 2.26.5 (x11, opengl)");
  EXPECT_TRUE(FormatGraphics("SDL 2.26.5", "", "software", line));
  EXPECT_EQ(line, "SDL 2.26.5 (software)");
  EXPECT_TRUE(FormatGraphics("SDL 2.26.5", "", "", line));
  EXPECT_EQ(line, "SDL 2.26.5");
  EXPECT_FALSE(FormatGraphics("", "x11", "opengl", line));
}

TEST(Processor, BrandStringAndCpuinfo) {
  EXPECT_EQ(TrimBrandString(std::string("  Intel(R) Core(TM) i5 CPU\0garbage", 34)), "Intel(R) Core(TM) i5 CPU");
  std::string name;
  EXPECT_TRUE(ProcessorNameFromCpuinfo("processor\t: 0\nvendor_id\t: X\nmodel name\t: Some CPU @ 2GHz\n", name));
  EXPECT_EQ(name, "Some CPU @ 2GHz");
  EXPECT_TRUE(ProcessorNameFromCpuinfo("processor : 0\nHardware\t: BCM2835\n", name));
  EXPECT_EQ(name, "BCM2835");
  EXPECT_FALSE(ProcessorNameFromCpuinfo("processor : 0\nmodel name :   \n", name));
  EXPECT_TRUE(DescribeProcessor(name));
  EXPECT_FALSE(name.empty());
}

TEST(Joystick, ButtonCountOrNothing) {
  EXPECT_EQ(DescribeJoystick(-1), "");
  EXPECT_EQ(DescribeJoystick(0), "已连接   （0 按鍵）");
  EXPECT_EQ(DescribeJoystick(8), "已连接   （8 按鍵）");
}

TEST(MissingFeatures, OneLinePerMissingCapabilityInOrder) {
  EXPECT_EQ(DescribeMissingFeatures(true, true, true, true), "");
  EXPECT_EQ(DescribeMissingFeatures(false, false, false, false),
            "不支持MMX指令集        \n不能使用全屏模式·[DirectDraw]  \n没有声音[DirectSound]             \n"
            "不能播放Movie· [DirectShow]      \n");
  EXPECT_EQ(DescribeMissingFeatures(true, true, false, true), "没有声音[DirectSound]             \n");
}

}  // namespace
}  // namespace lyraban
