#include "sysinfo/system_info.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace lyraban {
namespace {

TEST(BuildDate, MonthNamesGiveYearMonthDay) {
  // The compiler's date, and as shown.
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"Jul 15 2004", "2004/07/15"}, {"Jan  1 2026", "2026/01/1"}, {"DEC 31 1999", "1999/12/31"},
      {"sept 9 2001", "2001/09/9"},  {"Xyz 15 2004", "?"},         {"*** 15 2004", "?"},
      {"Ju 15 2004", "?"},           {"Jul 15", "?"},              {"", "?"}};
  // clang-format on
  for (const auto& [compiler, shown] : cases)
    EXPECT_EQ(DescribeBuildDate(compiler), shown) << "compiler date \"" << compiler << "\"";
  // The engine's own date is one of them.
  EXPECT_NE(DescribeBuildDate(), "?");
}

TEST(Memory, MegabytesBelowOneGigabyteThenWholeGigabytes) {
  const std::pair<unsigned long long, const char*> cases[] = {{768, "768 MB"}, {2048, "2 GB"}, {1023, "1023 MB"},
                                                              {1024, "1 GB"},  {3071, "2 GB"}, {0, "0 MB"}};
  for (const auto& [megabytes, shown] : cases) EXPECT_EQ(DescribeMemory(megabytes << 20), shown) << megabytes << " MB";
  // Part of a megabyte does not count.
  EXPECT_EQ(DescribeMemory((768ull << 20) + (1 << 19)), "768 MB");
  std::string line;
  EXPECT_TRUE(DescribeMemory(line));
  EXPECT_FALSE(line.empty());
  // Video memory is rounded to whole megabytes, and empty when unknown.
  EXPECT_EQ(FormatVideoMemory(0), "");
  EXPECT_EQ(FormatVideoMemory((256u << 20) + 0x7FFFF), "256 MB");
  EXPECT_EQ(FormatVideoMemory((256u << 20) + 0x80000), "257 MB");
}

TEST(OperatingSystem, DistributionNameAndKernel) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      // os-release, kernel release, the line
      {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", "6.1.0-18-amd64\n",
       "Debian GNU/Linux 12 (bookworm) (Linux 6.1.0-18-amd64)"},
      {"NAME=Arch\nVERSION='rolling'\n", "", "Arch rolling"},
      {"", "5.10", "Linux 5.10"},
      {"PRETTY_NAME=\"say \\\"hi\\\"\"", "", "say \"hi\""},
  };
  std::string line;
  for (const auto& [release, kernel, want] : cases) {
    EXPECT_TRUE(FormatOperatingSystem(release, kernel, line)) << release;
    EXPECT_EQ(line, want);
  }
  line = "unchanged";
  EXPECT_FALSE(FormatOperatingSystem("ID=debian\n", " ", line));
  EXPECT_EQ(line, "unchanged");
  EXPECT_TRUE(DescribeOperatingSystem(line));
}

TEST(Graphics, LibraryDriverAndRenderer) {
  std::string line;
  for (const auto& [driver, renderer, want] : {std::tuple{"x11", "opengl", "SDL 2.26.5 (x11, opengl)"},
                                               {"", "software", "SDL 2.26.5 (software)"},
                                               {"", "", "SDL 2.26.5"}}) {
    EXPECT_TRUE(FormatGraphics("SDL 2.26.5", driver, renderer, line));
    EXPECT_EQ(line, want);
  }
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
